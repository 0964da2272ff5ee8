#pragma once

// One line of a backup's report before it is sent: line type, text id and
// the arguments of that text. A plain value.

#include "MVTextArgument.h"

struct BackupReportLine {
	int32 lineType = 0;
	int32 textID = 0;
	MVTextArguments arguments;
};
