#include "FrameAssembler.h"

#include <algorithm>
#include <cstring>

#include "MessageFormat.h"

namespace MorvaneKit {

namespace {

// A buffer larger than this is given back after its frame.
constexpr size_t kKeptBuffer = 64 * 1024;

}	// namespace

uint32 FrameAssembler::_Length() const
{
	return LoadLE<uint32>(fHeader + 8);
}

bool FrameAssembler::Consume(const char* data, size_t size, const Delivery& deliver,
	const char** why)
{
	while (size > 0) {
		if (fHeaderBytes < kFrameHeaderSize) {
			size_t take = std::min(size, kFrameHeaderSize - fHeaderBytes);
			memcpy(fHeader + fHeaderBytes, data, take);
			fHeaderBytes += take;
			data += take;
			size -= take;
			if (fHeaderBytes < kFrameHeaderSize)
				return true;
			if (memcmp(fHeader, kFrameMagic, 4) != 0) {
				*why = "not a message frame";
				return false;
			}
			if (_Length() > kMaxFramePayload) {
				*why = "frame too long";
				return false;
			}
		}
		size_t take = std::min(size, size_t(_Length()) - fPayload.size());
		fPayload.insert(fPayload.end(), data, data + take);
		data += take;
		size -= take;
		if (fPayload.size() == _Length() && !_Finish(deliver, why))
			return false;
	}
	// A header whose frame is empty is complete without a byte more.
	if (fHeaderBytes == kFrameHeaderSize && _Length() == 0)
		return _Finish(deliver, why);
	return true;
}

bool FrameAssembler::_Finish(const Delivery& deliver, const char** why)
{
	BMessage message;
	status_t status = UnflattenWithDelivery(&message, fPayload.data(), fPayload.size());
	if (status != B_OK) {
		*why = strerror_status(status);
		return false;
	}
	port_id port = LoadLE<int32>(fHeader + 4);
	fHeaderBytes = 0;
	if (fPayload.capacity() > kKeptBuffer)
		std::vector<char>().swap(fPayload);
	else
		fPayload.clear();
	deliver(port, std::move(message));
	return true;
}

}	// namespace MorvaneKit
