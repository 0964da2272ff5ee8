#pragma once

// The rule by which stored reports are pruned, kept in "report.prefs" beside
// the server (a Preferences store with the identifier "MVREPORT"):
//
//   "mode"       0 never delete; 1 delete reports older than "days";
//                2 keep only the newest "count" reports
//   "days"       age limit in days (default 30)
//   "count"      reports kept in mode 2 (default 0)
//   "overwrite"  non-zero: a deleted or overwritten backup takes its job's
//                reports along
//
// A value object; any thread.

#include <vector>

#include <app/Message.h>

#include "ReportListEntry.h"

struct ReportPrunePolicy {
	static constexpr const char* kFileName = "report.prefs";
	static constexpr const char* kIdentifier = "MVREPORT";
	static constexpr int32 kNever = 0;
	static constexpr int32 kByAge = 1;
	static constexpr int32 kByCount = 2;

	int32 mode = kByAge;
	int32 days = 30;
	int32 count = 0;
	int32 overwrite = 0;

	// The stored rule, or the defaults for what the file lacks or when it
	// cannot be read.
	static ReportPrunePolicy Load(const char* path);
	[[nodiscard]] status_t Save(const char* path) const;

	// Reads "mode", "days", "count" and "overwrite"; missing fields keep
	// the values of this rule.
	ReportPrunePolicy With(const BMessage& fields) const;
	void AddTo(BMessage* message) const;

	// The reports the rule deletes at time now. A negative "days" or
	// "count" deletes nothing, as no such limit can be meant.
	std::vector<int32> Select(const std::vector<ReportListEntry>& reports, time_t now) const;
};
