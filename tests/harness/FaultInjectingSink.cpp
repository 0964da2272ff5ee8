#include "FaultInjectingSink.h"

#include <support/Errors.h>

int64 FaultInjectingSink::Write(const void* buffer, int64 length)
{
	if (fWritten >= fFailAt)
		return B_IO_ERROR;
	int64 allowed = fFailAt - fWritten;
	int64 count = length < allowed ? length : allowed;
	int64 written = fTarget->Write(buffer, count);
	if (written > 0)
		fWritten += written;
	return written;
}
