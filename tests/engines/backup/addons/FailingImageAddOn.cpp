// An image destination whose writes fail once a backup has written 100,000
// bytes, as a disk that breaks in the middle of a backup does.

#include "MVImage.h"

namespace {

constexpr int64 kFailAfter = 100000;

class FailingImage : public MVImage {
public:
	int32 Start(const char* name, int32 mode) override
	{
		fWritten = 0;
		return MVImage::Start(name, mode);
	}

	int64 Write(const void* buffer, int64 length) override
	{
		if (fWritten + length > kFailAfter)
			return B_IO_ERROR;
		fWritten += length;
		return MVImage::Write(buffer, length);
	}

private:
	int64 fWritten = 0;
};

}	// namespace

extern "C" __attribute__((visibility("default"))) MVVolume* instantiate_mvvolume()
{
	return new FailingImage;
}
