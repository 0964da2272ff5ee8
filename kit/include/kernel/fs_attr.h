#pragma once

// What an attribute is: its type code and the size of its data in bytes.
// See BNode for how attributes are stored on Linux.

#include <sys/types.h>

#include <support/SupportDefs.h>

struct attr_info {
	uint32 type;
	off_t size;
};
