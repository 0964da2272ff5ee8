#pragma once

// The report commands of `morvane`: list the stored reports (reports) and
// print one report in English, following a running job's report to the
// job's end on request (report).

#include <cstdio>
#include <memory>
#include <string>

#include <app/Message.h>

#include "Command.h"

namespace ReportCommands {

// "reports" or "report"; null for other names.
std::unique_ptr<Command> Make(const std::string& name);

// Prints a report message ("report_id", "job_id", "title", "job_type",
// "date" and the line arrays "linetype", "text_id", "reportline") as text,
// or as one JSON object.
void PrintReport(const BMessage& report, FILE* out);
void PrintReportJson(const BMessage& report, FILE* out);

}	// namespace ReportCommands
