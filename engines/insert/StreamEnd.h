#pragma once

// Where a backup's stream on the medium in the drive ends. Destinations seek
// only from the start or from the position, never from the end, so the end
// is found by probing: seek, then read one byte.

#include "ArchiveStream.h"

// The length of the stream: probes at doubling positions until one finds no
// byte, then halves the gap, about 2 log2(length) probes in all. A negative
// error when no length up to 2^62 is found. The position is left anywhere.
[[nodiscard]] int64 FindStreamEnd(ArchiveSource* source);
