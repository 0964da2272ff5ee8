#pragma once

// The reader a replayed corpus is judged by: true when it accepts the bytes.

#include <cstddef>
#include <cstdint>

bool ReaderAccepts(const uint8_t* data, size_t size);
