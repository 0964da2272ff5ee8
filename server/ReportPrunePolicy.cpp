#include "ReportPrunePolicy.h"

#include <algorithm>

#include "Preferences.h"

namespace {

constexpr int64 kSecondsPerDay = 86400;

} // namespace

ReportPrunePolicy ReportPrunePolicy::Load(const char* path)
{
	ReportPrunePolicy policy;
	Preferences store(path, kIdentifier);
	if (store.InitCheck() != Preferences::kOK)
		return policy;
	policy.mode = store.GetInt32("mode", policy.mode);
	policy.days = store.GetInt32("days", policy.days);
	policy.count = store.GetInt32("count", policy.count);
	policy.overwrite = store.GetInt32("overwrite", policy.overwrite);
	return policy;
}

status_t ReportPrunePolicy::Save(const char* path) const
{
	Preferences store(path, kIdentifier);
	// Only the rule is kept in this file; whatever else a damaged file held
	// goes, but a file that cannot be opened is not replaced blindly.
	if (store.InitCheck() == Preferences::kCannotOpen || store.InitCheck() == Preferences::kNoMemory)
		return B_IO_ERROR;
	status_t status = store.Set("mode", mode);
	if (status == B_OK)
		status = store.Set("days", days);
	if (status == B_OK)
		status = store.Set("count", count);
	if (status == B_OK)
		status = store.Set("overwrite", overwrite);
	if (status != B_OK)
		return status;
	return store.Save() == Preferences::kOK ? B_OK : B_IO_ERROR;
}

ReportPrunePolicy ReportPrunePolicy::With(const BMessage& fields) const
{
	ReportPrunePolicy policy = *this;
	policy.mode = fields.GetInt32("mode", mode);
	policy.days = fields.GetInt32("days", days);
	policy.count = fields.GetInt32("count", count);
	policy.overwrite = fields.GetInt32("overwrite", overwrite);
	return policy;
}

void ReportPrunePolicy::AddTo(BMessage* message) const
{
	message->AddInt32("mode", mode);
	message->AddInt32("days", days);
	message->AddInt32("count", count);
	message->AddInt32("overwrite", overwrite);
}

std::vector<int32> ReportPrunePolicy::Select(const std::vector<ReportListEntry>& reports,
	time_t now) const
{
	std::vector<int32> doomed;
	if (mode == kByAge && days >= 0) {
		int64 limit = int64(days) * kSecondsPerDay;
		for (const ReportListEntry& report : reports) {
			if (int64(report.date) + limit < int64(now))
				doomed.push_back(report.reportID);
		}
		return doomed;
	}
	if (mode == kByCount && count >= 0 && reports.size() > size_t(count)) {
		std::vector<ReportListEntry> newestFirst = reports;
		std::stable_sort(newestFirst.begin(), newestFirst.end(),
			[](const ReportListEntry& a, const ReportListEntry& b) { return a.date > b.date; });
		for (size_t i = size_t(count); i < newestFirst.size(); i++)
			doomed.push_back(newestFirst[i].reportID);
	}
	return doomed;
}
