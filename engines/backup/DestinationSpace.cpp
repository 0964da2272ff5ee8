#include "DestinationSpace.h"

#include "MVVolume.h"

void DestinationSpace::SetVolume(MVVolume* volume)
{
	fVolume = volume;
	fEstimate = kUnknown;
	fQueried = false;
	// A tape cannot tell its free space ahead; it says when it is full.
	fIsTape = volume != nullptr && volume->GetType() == kVolumeTypeStreamer;
}

int64 DestinationSpace::Query()
{
	fQueried = true;
	fEstimate = fVolume != nullptr ? fVolume->GetFreeSpace() : kUnknown;
	if (fEstimate < 0)
		fEstimate = kUnknown;
	int64 answer = fEstimate;
	// A tape is asked again after every kTapeAskInterval bytes: its
	// early-warning zone holds what is written until then.
	if (fIsTape && fEstimate > kTapeAskInterval)
		fEstimate = kTapeAskInterval;
	return answer;
}

bool DestinationSpace::WouldAsk(int64 length) const
{
	return !fQueried || (fEstimate != kUnknown && fEstimate < length);
}

bool DestinationSpace::Fits(int64 length)
{
	if (!WouldAsk(length))
		return true;
	// The estimate only ever falls short of the truth when something else
	// freed space meanwhile; one fresh answer settles it.
	int64 freeBytes = Query();
	return freeBytes == kUnknown || freeBytes >= length;
}

void DestinationSpace::Consumed(int64 length)
{
	if (fEstimate == kUnknown || length <= 0)
		return;
	fEstimate = fEstimate > length ? fEstimate - length : 0;
}
