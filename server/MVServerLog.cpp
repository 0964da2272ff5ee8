#include "MVServerLog.h"

#include <algorithm>
#include <ctime>

#include <storage/Entry.h>
#include <storage/StorageDefs.h>

MVServerLog::MVServerLog(const char* folder, off_t maxSize, FILE* echo)
	:
	fFolder(folder != nullptr ? folder : ""),
	fMaxSize(maxSize > kMinMaxSize ? maxSize : kMinMaxSize),
	fEcho(echo)
{
	if (fFolder.empty())
		return;
	fPath = fFolder + "/" + kFileName;
	fStatus = _Open(0);
}

MVServerLog::~MVServerLog() = default;

void MVServerLog::Log(const char* format, ...)
{
	va_list arguments;
	va_start(arguments, format);
	LogV(format, arguments);
	va_end(arguments);
}

void MVServerLog::LogV(const char* format, va_list arguments)
{
	char text[kMaxLineLength + 1];
	vsnprintf(text, sizeof(text), format, arguments);
	LogText(text);
}

void MVServerLog::LogText(const char* text)
{
	std::string line = _Line(text != nullptr ? text : "");
	std::lock_guard<std::mutex> guard(fLock);
	if (fEcho != nullptr) {
		fwrite(line.data(), 1, line.size(), fEcho);
		fflush(fEcho);
	}
	if (fStatus == B_OK)
		_WriteToFile(line);
}

std::string MVServerLog::_Line(const char* text) const
{
	char stamp[32];
	time_t now = time(nullptr);
	struct tm local;
	localtime_r(&now, &local);
	strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S ", &local);

	std::string line(stamp);
	// A line must fit into an empty file below the limit.
	size_t room = std::min(kMaxLineLength, size_t(fMaxSize) - line.size() - 2);
	for (size_t i = 0; text[i] != '\0' && i < room; i++) {
		unsigned char c = static_cast<unsigned char>(text[i]);
		line += c < 0x20 || c == 0x7f ? ' ' : char(c);
	}
	line += '\n';
	return line;
}

status_t MVServerLog::_Open(uint32 extraMode)
{
	status_t status = fFile.SetTo(fPath.c_str(),
		B_WRITE_ONLY | B_CREATE_FILE | B_OPEN_AT_END | extraMode);
	if (status != B_OK)
		return status;
	status = fFile.GetSize(&fSize);
	if (status != B_OK)
		fFile.Unset();
	return status;
}

void MVServerLog::_Rotate()
{
	fFile.Unset();
	BEntry entry(fPath.c_str());
	// A failed rename leaves the old file; it is emptied instead, which
	// still keeps the file below its limit.
	uint32 extraMode = entry.Rename(kOldFileName, true) == B_OK ? 0u : uint32(B_ERASE_FILE);
	fStatus = _Open(extraMode);
}

void MVServerLog::_WriteToFile(const std::string& line)
{
	if (fSize + off_t(line.size()) >= fMaxSize) {
		_Rotate();
		if (fStatus != B_OK) {
			if (fEcho != nullptr)
				fprintf(fEcho, "MorvaneServer: the log file %s cannot be written: %s\n",
					fPath.c_str(), strerror_status(fStatus));
			return;
		}
	}
	ssize_t written = fFile.Write(line.data(), line.size());
	if (written > 0)
		fSize += written;
	if (written != ssize_t(line.size())) {
		fStatus = written < 0 ? status_t(written) : B_IO_ERROR;
		fFile.Unset();
		if (fEcho != nullptr)
			fprintf(fEcho, "MorvaneServer: the log file %s cannot be written: %s\n",
				fPath.c_str(), strerror_status(fStatus));
	}
}
