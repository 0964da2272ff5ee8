#include "FuzzReplay.h"

#include <support/DataIO.h>

#include "MVJobListFile.h"

bool ReaderAccepts(const uint8_t* data, size_t size)
{
	BMemoryIO source(data, size);
	JobTable jobs;
	return MVJobListFile::Read(&source, &jobs) == MVJobListFile::kRead;
}
