#pragma once

// MVTreeEntryLog: one node of a catalogue tree, the catalogue's description
// of one backed-up item as the registry reports it. SetTo() fills it by
// asking the registry for a catalogue path ("/<backup>/<volume>/..."); the
// tree also makes entries straight from an element of a subtree answer.
//
// The entry keeps a copy of the registry's messenger; it is owned by the
// tree that holds it and used by that tree's thread only.

#include <ctime>
#include <string>

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVTreeEntry.h"

// Item types as the catalogue records them.
enum : int32 {
	kLogTypeFile = 0,
	kLogTypeDirectory = 1,
	kLogTypeSymLink = 2,
	kLogTypeVolumeRoot = 3,
};

// What holds a backup, from the name of its destination add-on.
enum class MVMediaKind : uint8 {
	kUnknown,		// a catalogue that does not say
	kImageFolder,	// "MVImage"
	kTape,			// "MVSCSIStreamer"
};

MVMediaKind MediaKindOf(const char* destinationAddOn);

// The fields of one entry, as a plain value.
struct MVLogEntryData {
	std::string name;
	int32 type = 0;
	int32 mediaNumber = 0;
	int32 level = 0;
	std::string fullPath;
	int64 offset = 0;
	int64 size = 0;
	time_t date = 0;
	int32 index = 0;
	// For a backup of the catalogue list: a password protects it.
	bool isProtected = false;
	MVMediaKind mediaKind = MVMediaKind::kUnknown;

	// Element index of a registry answer; false when it has no "name".
	bool SetFromReply(const BMessage& reply, int32 element);
};

class MVTreeEntryLog : public MVTreeEntry {
public:
	explicit MVTreeEntryLog(const BMessenger& registry);
	MVTreeEntryLog(const BMessenger& registry, const MVLogEntryData& data,
		const char* redirection = nullptr);
	~MVTreeEntryLog() override;

	// Asks the registry for the entry of a catalogue path. False, with an
	// empty name and path and all numbers 0, when the registry does not
	// know it or cannot be reached.
	bool SetTo(const std::string& path) override;
	const char* Name() const override { return fData.name.c_str(); }
	void GetName(std::string* name) const override { *name = fData.name; }
	bool IsDirectory() const override;

	int32 Type() const { return fData.type; }
	int32 MediaNr() const { return fData.mediaNumber; }
	int32 Level() const { return fData.level; }
	// The path the item had when it was backed up; null when unknown.
	const char* FullPath() const;
	int64 Offset() const { return fData.offset; }
	int64 Size() const { return fData.size; }
	time_t Date() const { return fData.date; }
	int32 Index() const { return fData.index; }
	const MVLogEntryData& Data() const { return fData; }

private:
	BMessenger fRegistry;
	MVLogEntryData fData;
};
