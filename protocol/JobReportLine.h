#pragma once

// One report line before it is sent: line type, text id and the arguments
// of that text. A plain value.

#include "MVTextArgument.h"

struct JobReportLine {
	int32 lineType = 0;
	int32 textID = 0;
	MVTextArguments arguments;
};
