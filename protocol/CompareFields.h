#pragma once

// The fields of a compare job's "compare" message: "compareall" or the
// nine single items, each an int32 that compares when non-zero, in the
// order the report lists them.

#include <support/SupportDefs.h>

constexpr const char* kCompareAllField = "compareall";
constexpr int32 kCompareItemCount = 9;
constexpr const char* kCompareItemFields[kCompareItemCount] = {"filedata", "attribute", "size",
	"mdate", "cdate", "symlinkdata", "permissions", "uid", "gid"};
