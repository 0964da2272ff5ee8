#pragma once

// DestinationSpace: a running estimate of a destination's free space, so
// that a backup need not ask before every record. Asking can be expensive (a
// fixed-size folder volume sums the files below it), so the estimate comes
// from one query and falls by every byte written; the destination is asked
// again only when the estimate says a record does not fit. A tape, which
// only says when it has become full (its early warning), is asked again
// after every kTapeAskInterval bytes.
//
// The destination is not owned and must outlive the object while it is set.
// One thread at a time.

#include <support/SupportDefs.h>

class MVVolume;

class DestinationSpace {
public:
	static constexpr int64 kUnknown = -1;
	static constexpr int64 kTapeAskInterval = 256 * 1024;

	void SetVolume(MVVolume* volume);

	// Asks the destination; the free bytes, or kUnknown when it cannot tell.
	int64 Query();
	// Whether length bytes fit. A destination that cannot tell its free
	// space is taken to have room: its writes are checked all the same.
	bool Fits(int64 length);
	// Whether Fits(length) would ask the destination.
	bool WouldAsk(int64 length) const;
	void Consumed(int64 length);
	int64 Estimate() const { return fEstimate; }

private:
	MVVolume* fVolume = nullptr;
	int64 fEstimate = kUnknown;
	bool fQueried = false;
	bool fIsTape = false;
};
