#pragma once

// MVTreeListLog: the MVTreeList whose entries are catalogue entries. Each
// path component of an include line becomes an MVTreeEntryLog filled from
// the registry; folder lines list nothing more, since the registry's
// subtree answers are MVLogBaseList's business. Same ownership and thread
// rules as MVTreeList; the registry queries block the calling thread.

#include <app/Messenger.h>

#include "MVTreeList.h"

class MVTreeListLog : public MVTreeList {
public:
	explicit MVTreeListLog(const BMessenger& registry) : fRegistry(registry) {}
	~MVTreeListLog() override;

protected:
	// A catalogue path gives an entry filled by the registry; anything
	// else an entry with only that name.
	MVTreeEntry* CreateEntry(const char* path) override;
	bool ScanStart(const char* path) override;
	const char* ScanNext() override;

private:
	BMessenger fRegistry;
};
