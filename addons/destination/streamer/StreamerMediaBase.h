#pragma once

// StreamerMediaBase: the list of the backups on one tape, kept in a file
// named by the tape's media ID in the streamer's data folder, as one
// flattened message:
//
//   "media_id" string | "lastfilemark" int32 (the filemark after which the
//   next backup goes: the backups on tape plus 1)
//   per backup, in tape order: "backup_id" string | "filemark" int32 (the
//   filemark that opens it) | "cachesize" int32 | "hwcompression" int32 |
//   "active" int32 (0: deleted)
//   "listincomplete" int32 1 while the list may lack backups on the tape
//   "tailfree" int32: the "lastfilemark" a deletion set, saying that what the
//   tape holds from there on was deleted and may be written over
//
// The file is the user's and may be damaged or stale: every value is
// checked as it is used, and the tape itself decides in the end.

#include <string>

#include <app/Message.h>

#include "StreamerTapeRecords.h"

class StreamerMediaBase {
public:
	// A fresh list of an empty tape.
	void Create(const std::string& mediaId);
	// Reads the file of the media ID; 1 when it cannot be read. Entries of a
	// backup whose closing filemark was never written are dropped.
	int32 Read(const std::string& folder, const std::string& mediaId);
	// 0; 3 without a media ID; 2 when the file cannot be written.
	int32 Write(const std::string& folder) const;

	std::string MediaId() const;
	int32 LastFilemark() const;
	void SetLastFilemark(int32 filemark);
	bool IsListIncomplete() const;
	void SetListIncomplete(bool incomplete);

	int32 CountBackups() const;
	// Entry index; false past the end.
	bool BackupAt(int32 index, StreamerTapeRecords::BackupId* id, int32* filemark,
		bool* active) const;
	// The index of the active backup of that name, -1 when none.
	int32 Find(const std::string& name) const;
	void Append(const StreamerTapeRecords::BackupId& id, int32 filemark);
	// Marks the entry deleted; when it was the last on the tape, the next
	// backup goes after the last active one, over the deleted ones.
	void Delete(int32 index);
	// Whether the tape after "lastfilemark" holds only deleted backups.
	bool IsTailFree() const;

private:
	void _RemoveLast();

	BMessage fMessage;
};
