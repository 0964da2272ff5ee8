#pragma once

// CatalogueList: the server's list of catalogue files, one BMessage of
// parallel arrays with one slot per file, and what is read into a slot from
// a file's attributes. The functions work on a list message the caller owns;
// they keep its arrays the same length, so that the values of one slot
// always stay together. A value-free class of static functions; any thread,
// one list at a time.
//
// Fields of a slot, in the order they are first added:
//   "name" string | "node" int64 | "title" string | "date" 'TIME' 4 bytes
//   "type" int32 | "size" int64 | "path" string | "medianr" int32
//   "offset" int64 | "job_id" int32 | "mode" int32 | "base_id" int32
//   "pw" int32 | "dest" string (the destination add-on; empty when the
//   catalogue file does not say)

#include <string>

#include <app/Message.h>
#include <support/Errors.h>

class BNode;

// One catalogue file as the list keeps it. The defaults are those of a file
// without attributes.
struct CatalogueSlot {
	static constexpr const char* kNoTitle = "- no title -";
	// Bytes of the title attribute that are read, terminator included.
	static constexpr size_t kTitleBufferSize = 64;

	std::string name;
	int64 node = 0;
	std::string title = kNoTitle;
	int32 date = 0;
	int64 size = -1;
	int32 jobId = 0;
	int32 mode = 1;
	int32 baseId = 0;
	int32 password = 0;
	std::string destination;
};

class CatalogueList {
public:
	// A name that can only mean a catalogue file directly inside the
	// catalogue folder: not empty, no '/', not hidden (the temporary files
	// of a writer are), and short enough for a leaf name. Names from other
	// processes are checked with it before anything is opened or removed.
	static bool IsFileName(const char* name);

	// The slot of a file from its attributes; missing or short ones keep
	// their defaults. The node must be open.
	static CatalogueSlot ReadSlot(BNode* node, const char* name, int64 inode);

	static int32 CountSlots(const BMessage& list);
	[[nodiscard]] static status_t Append(BMessage* list, const CatalogueSlot& slot);
	// Removes the slot from every field, so that later slots move down by
	// one with all their values.
	[[nodiscard]] static status_t Remove(BMessage* list, int32 slot);
	// The first slot with that name or inode; -1 when none has it.
	static int32 FindName(const BMessage& list, const char* name);
	static int32 FindNode(const BMessage& list, int64 node);

	// The fields of a slot that tell the clients of a new catalogue:
	// "mode", "base_id", "job_id", "type", "name", "title", "date", "size"
	// "pw" and "dest". B_BAD_INDEX for a slot that does not exist.
	[[nodiscard]] static status_t AddNotice(const BMessage& list, int32 slot,
		BMessage* notice);
	// The list as clients see it: every field but "node".
	static void CopyForClients(const BMessage& list, BMessage* copy);
};
