#pragma once

// The scrambling of a backup's file data with the job's password. It is an
// XOR with the key's bytes, so applying it twice with the same key gives the
// data back; it keeps casual eyes off the data and is no encryption.
//
// A key whose first byte, taken as a signed 8-bit value, is below 33 (empty,
// a space or control character first, or a first byte of 0x80 or more)
// leaves the data unchanged. Otherwise byte i of the data is XORed with key
// byte i mod (key length); the terminating NUL is not used. Every call starts
// at the key's first byte. Without output the data is changed in place,
// otherwise the result goes to output (length bytes) and data stays.

#include <cstddef>

#include <support/SupportDefs.h>

void Crypt(uint8* data, size_t length, const char* key, uint8* output = nullptr);
