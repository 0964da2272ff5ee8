#include "FuzzReplay.h"

#include "FrameAssembler.h"

// Accepted: every byte after the first (which the fuzz entry uses to cut
// pieces) forms whole frames, at least one.
bool ReaderAccepts(const uint8_t* data, size_t size)
{
	if (size < 1)
		return false;
	MorvaneKit::FrameAssembler assembler;
	int delivered = 0;
	const char* why = nullptr;
	bool read = assembler.Consume(reinterpret_cast<const char*>(data + 1), size - 1,
		[&delivered](port_id, BMessage&&) { delivered++; }, &why);
	return read && delivered > 0 && !assembler.IsInFrame();
}
