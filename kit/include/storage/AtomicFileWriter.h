#pragma once

// AtomicFileWriter: replaces a file as a whole or not at all, for files that
// must never be found half-written (job list, preferences, catalogues,
// reports).
//
// SetTo creates a temporary file ".<name>.<random>~" in the target's folder
// and hands it out through File(). Commit() syncs it, renames it over the
// target and syncs the folder; until then the old file is untouched. A
// writer destroyed or discarded without Commit() removes its temporary file
// and leaves the old one as it was.
//
// A symbolic link at the target is followed: the file it names is replaced
// and the link stays. A replaced file keeps its permission bits (and, where
// the process may set them, its owner and group); a new one gets mode less
// the umask. The writer is used by one thread at a time; the BFile it hands
// out lives until Commit(), Discard() or the writer's end.

#include <sys/types.h>

#include <string>

#include <storage/File.h>
#include <support/Errors.h>

class AtomicFileWriter {
public:
	AtomicFileWriter() = default;
	explicit AtomicFileWriter(const char* path, mode_t mode = 0644);
	~AtomicFileWriter();
	AtomicFileWriter(const AtomicFileWriter&) = delete;
	AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

	// Starts a new replacement of the file at a system path; a replacement
	// in progress is discarded first. B_IS_A_DIRECTORY when a folder is in
	// the way, B_READ_ONLY_DEVICE on a read-only volume.
	[[nodiscard]] status_t SetTo(const char* path, mode_t mode = 0644);
	[[nodiscard]] status_t InitCheck() const { return fStatus; }

	// The temporary file, open for reading and writing; null when no
	// replacement is in progress.
	BFile* File();

	// Puts the new contents in place. When it fails before the rename, the
	// old file stays and the temporary one is removed. After the rename
	// only the folder's sync can fail: the new contents are then in place
	// but may not survive a crash, and that error is returned.
	[[nodiscard]] status_t Commit();
	void Discard();

	// Writes a whole file in one call.
	[[nodiscard]] static status_t WriteFile(const char* path, const void* data, size_t size,
		mode_t mode = 0644);

	// Whether a leaf name is that of a writer's temporary file.
	static bool IsTemporaryName(const char* leaf);
	// Removes the temporary files that writers killed before their end left
	// in a folder (a system path); call it only when no writer works there.
	// The number of files removed.
	static int32 RemoveStaleTemporaries(const char* folder);

private:
	[[nodiscard]] status_t _CreateTemporary(const std::string& folderPath, const char* leaf);
	[[nodiscard]] status_t _MatchTarget(mode_t mode);

	BFile fFile;
	std::string fTargetNative;
	std::string fTemporaryNative;
	status_t fStatus = B_NO_INIT;
};
