#pragma once

// The report files of the "report" folder: one file per stored report, named
// with "%08lu" of its report id (the id taken as unsigned 32-bit).
//
// File layout:
//
//   offset  size  content
//   0       8     "MVREPORT", no terminator
//   8       92    zero bytes
//   100     rest  the report message, flattened (docs/message-format.md):
//                 "report_id", "job_id", "title", "job_type", "date" ('TIME')
//                 and the parallel arrays "linetype", "text_id", "reportline"
//
// and the attributes "MVREPORT:id" ('LONG'), "MVREPORT:job_id" ('LONG'),
// "MVREPORT:title" ('CSTR'), "MVREPORT:date" ('TIME'), "MVREPORT:job_type"
// ('LONG'), which the report list is built from without reading the lines.
//
// A file is written whole or not at all (AtomicFileWriter), attributes
// included. Files are untrusted when read: a short or foreign header, a body
// that does not unflatten, missing or mistyped attributes, or a file larger
// than kMaxFileSize make it unreadable; it is then reported as an error and
// left where it is. Paths are system paths. Any thread, one file at a time.

#include <string>

#include <app/Message.h>

#include "ReportListEntry.h"

class ReportFile {
public:
	static constexpr const char* kIdentifier = "MVREPORT";
	static constexpr size_t kHeaderSize = 100;
	// Covers every report a writer can write: the header and the largest
	// message that flattens.
	static constexpr off_t kMaxFileSize = off_t(kHeaderSize + B_MESSAGE_MAX_FLATTENED_SIZE);
	static constexpr size_t kMaxTitleLength = 4096;

	// The file name of a report.
	static std::string Name(int32 reportID);
	// True when name is a report file name (the canonical form of Name()).
	static bool ParseName(const char* name, int32* reportID);

	// Writes the report message to "<folder>/<Name(id)>" with its
	// attributes and fills *entry (node included).
	[[nodiscard]] static status_t Write(const std::string& folder, const BMessage& report,
		ReportListEntry* entry);
	// The list slot of a report file, from its attributes.
	[[nodiscard]] static status_t ReadEntry(const std::string& path, ReportListEntry* entry);
	// The whole report message of a file.
	[[nodiscard]] static status_t ReadReport(const std::string& path, BMessage* report);
};
