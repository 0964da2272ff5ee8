#include "FuzzReplay.h"

// The scan of InsertScanFuzz.cpp.
bool InsertScanCompletes(const uint8_t* data, size_t size);

// A stream is accepted when it opens with a backup header and the insert's
// scan reads it to the end of the backup, past entries it leaves out.
bool ReaderAccepts(const uint8_t* data, size_t size)
{
	return InsertScanCompletes(data, size);
}
