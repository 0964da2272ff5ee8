#pragma once

// MVJobListFile: the job list file "MorvaneServer.joblist" in the folder of
// the server program, which keeps the job queue across restarts.
//
// Layout (integers of the flattened messages as docs/message-format.md has
// them):
//
//   offset 0    8 bytes  "MVJOBLST"
//   offset 8   92 bytes  zero
//   offset 100  n bytes  flattened message (what 0) whose message array
//                        "joblist" holds the job records in queue order
//   offset 100+n         flattened copy of the job index: parallel arrays
//                        "job_id", "title", "date" ('TIME'), "job_type",
//                        "jobstatus", "oldjobstatus", "server", one slot per
//                        record; for a slot in neither state Waiting (1) nor
//                        Paused (3) the two state fields are exchanged, so
//                        that the file holds the state before Running or Edit
//
// The file comes from disk and is untrusted: Read() checks every field of
// the index against the records and gives an empty queue for anything that
// does not fit. A job that was running or edited comes back Waiting or
// Paused; no worker or subscriber of the process that wrote the file
// survives in what is read.
//
// Save() replaces the file as a whole (AtomicFileWriter), so that a server
// killed while saving leaves either the previous list or the new one.
//
// Stateless; any thread may call it, one at a time per file.

#include <support/DataIO.h>

#include "QueuedJob.h"

class MVJobListFile {
public:
	static constexpr const char* kFileName = "MorvaneServer.joblist";
	// A damaged file is kept under its name with this suffix.
	static constexpr const char* kDamagedSuffix = ".damaged";
	static constexpr char kMagic[8] = {'M', 'V', 'J', 'O', 'B', 'L', 'S', 'T'};
	static constexpr size_t kHeaderSize = 100;

	// Results of writing and saving.
	enum : int32 {
		kSaved = 0,
		kFolderNotUsable = 1,
		kFileNotCreated = 2,
		kHeaderNotWritten = 3,
		kContentsNotWritten = 4,
	};
	// Results of reading and loading.
	enum : int32 {
		kRead = 0,
		kNoFile = 1,
		kHeaderShort = 2,
		kWrongMagic = 3,
		kContentsUnreadable = 4,
	};

	// Writes the whole file to sink: kSaved, kHeaderNotWritten or
	// kContentsNotWritten.
	[[nodiscard]] static int32 Write(BDataIO* sink, const JobTable& jobs);
	// Reads a whole file from source. Anything but kRead leaves jobs empty.
	[[nodiscard]] static int32 Read(BDataIO* source, JobTable* jobs);

	// The same for the file in a folder (a system path).
	[[nodiscard]] static int32 Save(const char* folder, const JobTable& jobs);
	[[nodiscard]] static int32 Load(const char* folder, JobTable* jobs);
	// Moves a damaged file aside, replacing an older damaged one.
	[[nodiscard]] static status_t KeepDamaged(const char* folder);
};
