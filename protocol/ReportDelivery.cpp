#include "ReportDelivery.h"

#include <cstring>
#include <vector>

status_t ReportDelivery::Build(const BMessage& report, size_t threshold, BMessage* delivery,
	area_id* area)
{
	*area = -1;
	BMessage copy(report);
	copy.what = kMsgReport;
	copy.RemoveName("user");
	ssize_t size = copy.FlattenedSize();
	if (size < 0)
		return status_t(size);
	if (size_t(size) <= threshold) {
		*delivery = std::move(copy);
		return B_OK;
	}

	void* address = nullptr;
	area_id newArea = create_area(kAreaName, &address, B_ANY_ADDRESS, size_t(size),
		B_NO_LOCK, B_READ_AREA | B_WRITE_AREA);
	if (newArea < 0)
		return newArea;
	status_t status = copy.Flatten(static_cast<char*>(address), size);
	if (status != B_OK) {
		(void)delete_area(newArea);
		return status;
	}
	BMessage small(kMsgReport);
	for (const char* name : {"report_id", "job_id", "job_type"})
		small.AddInt32(name, copy.GetInt32(name, 0));
	small.AddString("title", copy.GetString("title", ""));
	int32 date = 0;
	(void)copy.FindTime("date", &date);
	small.AddTime("date", date);
	small.AddInt32("area_id", newArea);
	small.AddInt64("area_size", int64(size));
	*delivery = std::move(small);
	*area = newArea;
	return B_OK;
}

status_t ReportDelivery::Receive(BMessage* delivery, BMessage* report)
{
	int32 source;
	if (delivery->FindInt32("area_id", &source) != B_OK) {
		*report = *delivery;
		return B_OK;
	}
	int64 size = delivery->GetInt64("area_size", -1);
	void* address = nullptr;
	area_id clone = clone_area(kClientAreaName, &address, B_ANY_ADDRESS, B_READ_AREA, source);
	status_t status = clone < 0 ? clone : B_OK;
	if (status == B_OK) {
		area_info info;
		status = get_area_info(clone, &info);
		if (status == B_OK && (size <= 0 || uint64(size) > info.size))
			status = B_BAD_DATA;
		if (status == B_OK) {
			// Unflattened from a private copy: the sender could still write
			// to the shared pages while they are parsed.
			std::vector<char> copy(static_cast<const char*>(address),
				static_cast<const char*>(address) + size);
			BMessage message;
			status = message.Unflatten(copy.data(), copy.size());
			if (status == B_OK)
				*report = std::move(message);
		}
		(void)delete_area(clone);
	}
	(void)delivery->SendReply(kMsgAcknowledge);
	return status;
}
