#pragma once

// MVLogAnswer: reads an answer of the catalogue registry's browse request
// ('MVLd') element by element: the entries of a backup's listing, or the
// backups of the catalogue list (path "/"). The answer comes from catalogue
// files and other processes, so it is untrusted: an element exists only
// where every array that is read has one (arrays of unequal length end at
// the shortest), and an array of another type than the registry's counts
// as empty. The running number ("aktfilenr" or "index") is optional.
//
// The reader keeps a reference to the answer, which must outlive it. Used
// by one thread at a time.

#include <app/Message.h>

#include "MVTreeEntryLog.h"

class MVLogAnswer {
public:
	explicit MVLogAnswer(const BMessage& reply);

	int32 CountEntries() const { return fEntries; }
	// False outside 0 .. CountEntries() - 1.
	bool EntryAt(int32 element, MVLogEntryData* data) const;

	int32 CountBackups() const { return fBackups; }
	// A backup as the catalogue view shows it: its catalogue name, type -1,
	// its size and date, medium 1, offset 0, its title as path, index -1.
	bool BackupAt(int32 element, MVLogEntryData* data) const;

private:
	const BMessage& fReply;
	int32 fEntries;
	int32 fBackups;
};
