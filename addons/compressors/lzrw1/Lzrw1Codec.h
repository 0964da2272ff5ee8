#pragma once

// The LZRW1 block coder (stream layout in Lzrw1Format.h). Pure functions on
// caller-owned buffers, no allocation, safe to call from any thread.

#include <support/Errors.h>
#include <support/SupportDefs.h>

// Compresses length bytes from source into destination, which
// has room for length + 1 bytes and is never written past them. Returns the
// stream length: at most length for the compressed form, length + 1 for the
// stored form that incompressible input gets.
size_t Lzrw1Compress(const uint8* source, size_t length, uint8* destination);

// Restores a stream of exactly length bytes into destination, which holds
// capacity bytes. Input is never read past length bytes and destination never
// written past capacity, whatever the stream. B_OK with *restored the number
// of bytes restored; B_BAD_DATA for a stream that is truncated, refers to
// data before its start or would restore more than capacity bytes (then
// *restored is 0). Bytes of destination past the restored ones may change.
[[nodiscard]] status_t Lzrw1Decompress(const uint8* source, size_t length, uint8* destination,
	size_t capacity, size_t* restored);
