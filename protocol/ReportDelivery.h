#pragma once

// Delivery of a whole report to a viewer ('rpRP'). A small report travels
// inside the message; one whose flattened form exceeds the threshold is
// copied into a shared memory area named "mv msg server area", and the
// message carries int32 "area_id" and int64 "area_size" (the flattened
// bytes) instead of the lines. The viewer maps the area, reads the report
// and replies; the report server then deletes the area.
//
// Both sides treat the other as untrusted: the reader checks the size it is
// told against the area it mapped and unflattens strictly. Any thread.

#include <app/Message.h>
#include <kernel/OS.h>

class ReportDelivery {
public:
	static constexpr uint32 kMsgReport = 'rpRP';
	static constexpr uint32 kMsgAcknowledge = 'xxxx';
	static constexpr const char* kAreaName = "mv msg server area";
	static constexpr const char* kClientAreaName = "client area";
	// Reports whose flattened form is larger than this go through an area.
	static constexpr size_t kAreaThreshold = 64 * 1024;

	// Builds the 'rpRP' message of report (without "user"). When the
	// report goes through an area, *area is the new area, which the caller
	// owns and deletes; otherwise *area is -1.
	[[nodiscard]] static status_t Build(const BMessage& report, size_t threshold,
		BMessage* delivery, area_id* area);
	// The viewer's side: the report of an 'rpRP' message. A delivery
	// through an area is acknowledged with a reply kMsgAcknowledge, which
	// lets the sender delete the area, whether or not it could be read.
	[[nodiscard]] static status_t Receive(BMessage* delivery, BMessage* report);
};
