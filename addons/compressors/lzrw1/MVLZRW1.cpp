#include "MVLZRW1.h"

#include <new>

#include "Lzrw1Codec.h"

MVLZRW1::MVLZRW1() = default;

MVLZRW1::~MVLZRW1() = default;

status_t MVLZRW1::Archive(BMessage* into, bool deep) const
{
	status_t status = MVCruncher::Archive(into, deep);
	if (status != B_OK)
		return status;
	return into->AddString("class", "MVLZRW1");
}

const char* MVLZRW1::MenuName() const
{
	return "LZRW1";
}

void MVLZRW1::GetMenuName(char* buffer, size_t bufferSize) const
{
	_CopyText(MenuName(), buffer, bufferSize);
}

uint32 MVLZRW1::Compress(const uint8* source, uint8* destination, uint32 length)
{
	return uint32(Lzrw1Compress(source, length, destination));
}

uint32 MVLZRW1::Decompress(const uint8* source, uint8* destination, uint32 length)
{
	size_t restored;
	if (Lzrw1Decompress(source, length, destination, kCruncherDestinationSize, &restored) != B_OK)
		return kCruncherBadData;
	return uint32(restored);
}

MVCruncher* MVLZRW1::Instantiate(const BMessage* archive)
{
	if (!_ArchiveNamesClass(archive, "MVLZRW1"))
		return nullptr;
	return new (std::nothrow) MVLZRW1();
}
