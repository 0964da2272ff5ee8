#pragma once

// Words for what the server sends as numbers: report lines (a text id and a
// flattened MVReportLine) rendered in English, progress messages as one
// short line, sizes and durations. Lines come from other processes and
// report files: a line that does not unflatten renders as a marker, never
// as a crash. Any thread, once UseEnglish() has run on the main thread.

#include <string>

#include <app/Message.h>

class ReportText {
public:
	// Installs the built-in English texts in MVLocale.
	static void UseEnglish();

	// The line at index of a message with the arrays "text_id" and
	// "reportline" (a report, or a single 'MVJF'/'rpTI' line at index 0).
	static std::string Line(const BMessage& message, int32 index = 0);
	static std::string Line(int32 textID, const void* flattened, size_t size);

	// "12/40 files  3.2 MB of 9.5 MB  1.1 MB/s  0:00:05 left" from a
	// progress message ("count", "maxcount", "size", "maxsize", "speed",
	// "remain").
	static std::string Progress(const BMessage& progress);

	// "512 bytes", "1.5 KB", "3.2 MB", "1.1 GB".
	static std::string Size(int64 bytes);
	// "H:MM:SS"; negative values as "-".
	static std::string Duration(int64 seconds);
	// Local "YYYY-MM-DD HH:MM".
	static std::string Date(int32 seconds);
};
