// Feeds arbitrary bytes to the message reader. Whatever is accepted must
// flatten again to a form that reads back to the very same bytes.

#include <app/Message.h>

#include <cstdlib>
#include <cstring>

#include "MessageFormat.h"

namespace {

void CheckStable(const BMessage& message)
{
	std::vector<char> first;
	if (message.Flatten(&first) != B_OK)
		abort();
	BMessage again;
	if (again.Unflatten(first.data(), first.size()) != B_OK)
		abort();
	std::vector<char> second;
	if (again.Flatten(&second) != B_OK || first != second)
		abort();
}

// Walks every field the way readers of catalogues and settings do.
void ReadEverything(const BMessage& message)
{
	const char* name;
	type_code type;
	int32 count;
	for (int32 i = 0; message.GetInfo(B_ANY_TYPE, i, &name, &type, &count) == B_OK; i++) {
		for (int32 index = 0; index < count; index++) {
			const void* data;
			ssize_t size;
			if (message.FindData(name, type, index, &data, &size) != B_OK)
				abort();
			if (type == B_MESSAGE_TYPE) {
				BMessage nested;
				if (message.FindMessage(name, index, &nested) != B_OK)
					abort();
			} else if (type == B_STRING_TYPE && strlen(static_cast<const char*>(data)) >= size_t(size)) {
				abort();
			}
		}
	}
}

}	// namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	BMessage message;
	if (message.Unflatten(reinterpret_cast<const char*>(data), size) == B_OK) {
		ReadEverything(message);
		CheckStable(message);
	} else if (!message.IsEmpty() || message.what != 0) {
		abort();
	}
	// The transport's reader takes the same bytes with their delivery block.
	BMessage delivered;
	if (MorvaneKit::UnflattenWithDelivery(&delivered, reinterpret_cast<const char*>(data), size)
			== B_OK) {
		ReadEverything(delivered);
	}
	return 0;
}
