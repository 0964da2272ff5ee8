#pragma once

// MVServerLog: the server's log. Every line goes to standard error and, when
// a folder is given, to the file "server.log" in that folder. The file is
// kept below a size limit: a line that would reach the limit first moves the
// file to "server.log.1" (replacing an older one) and starts a new file, so
// that the two files together hold the most recent lines.
//
// A line is "YYYY-MM-DD hh:mm:ss text" in local time. Texts may come from
// other processes or from names on disk, so control characters in them
// become spaces (no text can forge a line of its own) and a text is cut at
// kMaxLineLength bytes.
//
// Threads: any thread may log; lines are written whole, one at a time. A log
// that cannot write its file goes on with standard error alone.

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include <storage/File.h>
#include <support/Errors.h>

class MVServerLog {
public:
	static constexpr const char* kFileName = "server.log";
	static constexpr const char* kOldFileName = "server.log.1";
	static constexpr off_t kDefaultMaxSize = 1 << 20;
	static constexpr size_t kMaxLineLength = 4096;
	// Smaller limits are raised to this.
	static constexpr off_t kMinMaxSize = 256;

	// folder is a system path; null or empty logs to standard error only.
	// echo receives every line as well (null: nothing).
	explicit MVServerLog(const char* folder, off_t maxSize = kDefaultMaxSize,
		FILE* echo = stderr);
	~MVServerLog();
	MVServerLog(const MVServerLog&) = delete;
	MVServerLog& operator=(const MVServerLog&) = delete;

	// Whether the file could be opened.
	[[nodiscard]] status_t InitCheck() const { return fStatus; }
	// The system path of the file; empty without a folder.
	const std::string& Path() const { return fPath; }

	void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
	void LogV(const char* format, va_list arguments);
	void LogText(const char* text);

private:
	std::string _Line(const char* text) const;
	status_t _Open(uint32 extraMode);
	void _Rotate();
	void _WriteToFile(const std::string& line);

	std::mutex fLock;
	std::string fFolder;
	std::string fPath;
	off_t fMaxSize;
	FILE* fEcho;
	BFile fFile;
	off_t fSize = 0;
	status_t fStatus = B_NO_INIT;
};
