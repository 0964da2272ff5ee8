#pragma once

// MVCompareServer: the worker of a compare job. It selects the job's items
// in an invisible catalogue view model, then compares them one by one with
// the live files they were backed up from, as a chain of steps: 'cbhd'
// loads the backup of the current item and opens it on its destination,
// 'chea' takes the next selected item, reads its file header and compares
// what the header recorded with the live entry ('clnk' first reads a
// link's text), 'cdat' compares one data block of a file, 'csto' writes the
// statistics and ends the job with 'MVJf'. A file's comparison stops at its
// first differing block. Media that must be changed are asked for through
// the worker base's media question.
//
// It never writes to the file system: live files are opened read-only and
// examined without following links.
//
// Ownership: the worker owns its model, add-on objects and buffers; the
// server runs it and it deletes itself when it quits. All members are used
// on the worker's thread only.

#include <memory>
#include <string>
#include <vector>

#include <storage/File.h>

#include "CompareOptions.h"
#include "CompareStatistics.h"
#include "FileHeader.h"
#include "MVReadServer.h"
#include "ProgressThrottle.h"

class MVLogDataModel;
struct MVLogDataItem;

class MVCompareServer : public MVReadServer {
public:
	static constexpr uint32 kStepLoadBackup = 'cbhd';
	static constexpr uint32 kStepNextItem = 'chea';
	static constexpr uint32 kStepLink = 'clnk';
	static constexpr uint32 kStepData = 'cdat';
	static constexpr uint32 kStepEnd = 'csto';

	// serverFolder is the server program's folder in system form; the
	// catalogues are read from its "logdata".
	MVCompareServer(std::string serverFolder, const AddOnLoader& loader = AddOnLoader());
	~MVCompareServer() override;

protected:
	void StartJob(const BMessage* job) override;
	void RunStep(uint32 step) override;
	std::vector<JobReportLine> CloseJob(bool aborted, int32 elapsed, int32 paused,
		BMessage* end) override;
	void CountReadError() override;

private:
	void StartCompare(const BMessage* job);
	void BackupHeaderRead();
	void FileHeaderRead();
	void ReadFile();

	void _WriteOpeningLines(const char* title);
	void _CountItems();
	bool _TakeItem(MVLogDataItem** item);
	static std::string _LivePath(const MVLogDataItem& item);
	void _ReadHeader(const MVLogDataItem& item);
	void _ReadLink();
	void CompareFileHeader(const std::string& backupLink);
	void _ItemError(int32 textID, const MVTextArguments& arguments);
	bool _CompareBlock(const uint8* data, uint32 length);
	void _BlockFailed(DataBlockStatus failure);
	bool _LiveFileHasMore();
	void _FinishFile();
	void _Progress(bool force);

	std::unique_ptr<MVLogDataModel> fModel;

	CompareOptions fOptions;
	CompareStatistics fStatistics;
	// Position of the next selected item to take, from 1.
	int32 fPosition = 1;
	// The catalogue name of the backup the load step loads.
	std::string fCurrentBackup;
	FileHeader fHeader;
	std::string fPath;
	std::string fLeaf;
	int64 fEntrySize = 0;
	BFile fSourceFile;
	std::vector<uint8> fReadBuffer;

	ProgressThrottle fProgressThrottle;
};
