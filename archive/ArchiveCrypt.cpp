#include "ArchiveCrypt.h"

#include <cstring>

namespace {

bool KeyScrambles(const char* key)
{
	return key != nullptr && static_cast<int8>(key[0]) >= 33;
}

}

void Crypt(uint8* data, size_t length, const char* key, uint8* output)
{
	uint8* target = output != nullptr ? output : data;
	if (!KeyScrambles(key)) {
		if (output != nullptr)
			memmove(output, data, length);
		return;
	}
	size_t keyLength = strlen(key);
	for (size_t i = 0; i < length; i++)
		target[i] = data[i] ^ static_cast<uint8>(key[i % keyLength]);
}
