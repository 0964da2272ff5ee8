#pragma once

// MVLZRW1: the LZRW1 compressor (stream layout in Lzrw1Format.h). It has no
// settings of its own and no settings window. Ownership and threads as for
// MVCruncher.

#include "MVCruncher.h"

class MVLZRW1 : public MVCruncher {
public:
	MVLZRW1();
	~MVLZRW1() override;

	// Adds "class" = "MVLZRW1" after the entries of MVCruncher.
	[[nodiscard]] status_t Archive(BMessage* into, bool deep = true) const override;
	const char* MenuName() const override;
	void GetMenuName(char* buffer, size_t bufferSize) const override;
	// length + 1 for input that does not shrink (the stored form), else at
	// most length.
	uint32 Compress(const uint8* source, uint8* destination, uint32 length) override;
	// kCruncherBadData for a truncated or damaged stream, or one that would
	// restore more than kCruncherDestinationSize bytes.
	uint32 Decompress(const uint8* source, uint8* destination, uint32 length) override;

	// A new MVLZRW1 when the archive names the class "MVLZRW1", else null.
	static MVCruncher* Instantiate(const BMessage* archive);
};
