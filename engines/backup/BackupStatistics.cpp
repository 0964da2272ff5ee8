#include "BackupStatistics.h"

namespace {

constexpr int64 kMegabyte = 1048576;
constexpr int64 kKilobyte = 1024;

enum : int32 {
	kTextSingle = 279,
	kTextFilesSaved = 9,
	kTextBytesMB = 10,
	kTextBytesKB = 11,
	kTextBytes = 12,
	kTextTime = 13,
	kTextSpeedMB = 14,
	kTextSpeedKB = 15,
	kTextSpeed = 16,
	kTextSuccessful = 17,
	kTextAborted = 18,
	kTextPackRatio = 323,
};

// A byte count in the largest unit it exceeds; the three texts are
// consecutive ids (MB, KB, bytes).
BackupReportLine SizeLine(int32 megabyteText, int64 bytes)
{
	if (bytes > kMegabyte)
		return {BackupStatistics::kLineType, megabyteText, {double(bytes) / kMegabyte}};
	if (bytes > kKilobyte)
		return {BackupStatistics::kLineType, megabyteText + 1, {double(bytes) / kKilobyte}};
	return {BackupStatistics::kLineType, megabyteText + 2, {bytes}};
}

}	// namespace

double BackupStatistics::PackRatio() const
{
	if (rawBytes <= 0)
		return 0.0;
	return 100.0 * double(rawBytes - packedBytes) / double(rawBytes);
}

int64 BackupStatistics::Speed() const
{
	int32 working = elapsedSeconds - pausedSeconds;
	if (elapsedSeconds <= 0 || working <= 0)
		return 0;
	return bytesSaved / working;
}

std::vector<BackupReportLine> BackupStatistics::Lines() const
{
	std::vector<BackupReportLine> lines;
	lines.push_back({kLineType, kTextSingle, {" "}});
	lines.push_back({kLineType, kTextFilesSaved, {filesSaved}});
	lines.push_back(SizeLine(kTextBytesMB, bytesSaved));
	if (packedBytes != rawBytes && packedBytes != 0)
		lines.push_back({kLineType, kTextPackRatio, {PackRatio()}});
	int32 seconds = elapsedSeconds > 0 ? elapsedSeconds : 0;
	lines.push_back({kLineType, kTextTime,
		{int32(seconds / 3600), int32(seconds / 60 % 60), int32(seconds % 60)}});
	lines.push_back(SizeLine(kTextSpeedMB, Speed()));
	lines.push_back({kLineType, aborted ? kTextAborted : kTextSuccessful, {}});
	return lines;
}
