#include "FuzzReplay.h"

#include <app/Message.h>

bool ReaderAccepts(const uint8_t* data, size_t size)
{
	BMessage message;
	return message.Unflatten(reinterpret_cast<const char*>(data), size) == B_OK;
}
