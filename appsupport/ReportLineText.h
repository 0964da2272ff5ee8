#pragma once

// A report line in words of the current language: its text id with the
// arguments of its flattened MVReportLine. Lines come from other processes
// and report files: one that does not unflatten renders as a marker, never
// as a crash. Any thread once the texts are set.

#include <string>

#include <app/Message.h>

namespace ReportLineText {

// The line at index of a message with the arrays "text_id" and
// "reportline" (a report, or a single 'MVJF'/'rpTI' line at index 0).
std::string Render(const BMessage& message, int32 index = 0);
std::string Render(int32 textID, const void* flattened, size_t size);

}	// namespace ReportLineText
