#include <storage/AtomicFileWriter.h>

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <ctime>

#include <storage/Directory.h>
#include <storage/Entry.h>

#include "StoragePrivate.h"

namespace {

// Temporary names tried before giving up; a clash needs a leftover of the
// same random suffix.
constexpr int kMaxNameAttempts = 64;
// Room left for the dot and suffix in a leaf of at most 255 bytes.
constexpr size_t kMaxLeafPart = 200;


uint64 RandomNumber()
{
	uint64 value = 0;
	if (getrandom(&value, sizeof(value), GRND_NONBLOCK) == sizeof(value))
		return value;
	struct timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	static uint64 sCounter = 0;
	return uint64(now.tv_nsec) ^ (uint64(getpid()) << 32) ^ ++sCounter;
}


std::string TemporaryLeaf(const char* leaf)
{
	char suffix[24];
	snprintf(suffix, sizeof(suffix), ".%08llx~",
		static_cast<unsigned long long>(RandomNumber() & 0xffffffffu));
	return "." + std::string(leaf).substr(0, kMaxLeafPart) + suffix;
}


int SyncFolder(const std::string& native)
{
	int folder = open(MorvaneKit::NativeParent(native).c_str(),
		O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (folder < 0)
		return -1;
	int error;
	do {
		error = fsync(folder);
	} while (error != 0 && errno == EINTR);
	int savedErrno = errno;
	close(folder);
	errno = savedErrno;
	return error;
}

}	// namespace


AtomicFileWriter::AtomicFileWriter(const char* path, mode_t mode)
{
	(void)SetTo(path, mode);
}


AtomicFileWriter::~AtomicFileWriter()
{
	Discard();
}


status_t AtomicFileWriter::SetTo(const char* path, mode_t mode)
{
	Discard();
	VolumeTable::Location location;
	status_t status = MorvaneKit::LocateEntry(path, true, &location);
	if (status == B_OK && (location.IsRoot() || location.IsVolumeRoot()))
		status = B_IS_A_DIRECTORY;
	if (status == B_OK && location.readOnly)
		status = B_READ_ONLY_DEVICE;
	if (status != B_OK)
		return fStatus = status;

	size_t slash = location.path.rfind('/');
	std::string folderPath = location.path.substr(0, slash);
	fTargetNative = location.native;
	status = _CreateTemporary(folderPath, location.path.c_str() + slash + 1);
	if (status == B_OK)
		status = _MatchTarget(mode);
	if (status != B_OK) {
		Discard();
		return fStatus = status;
	}
	return fStatus = B_OK;
}


status_t AtomicFileWriter::_CreateTemporary(const std::string& folderPath, const char* leaf)
{
	status_t status = B_FILE_EXISTS;
	for (int attempt = 0; attempt < kMaxNameAttempts && status == B_FILE_EXISTS; attempt++) {
		std::string temporary = folderPath + "/" + TemporaryLeaf(leaf);
		status = fFile.SetTo(temporary.c_str(),
			B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS);
		if (status == B_OK) {
			std::string native;
			status = VolumeTable::ToNative(temporary.c_str(), &native);
			fTemporaryNative = native;
		}
	}
	return status;
}


// Gives the temporary file the permissions the result must have.
status_t AtomicFileWriter::_MatchTarget(mode_t mode)
{
	struct stat target;
	if (stat(fTargetNative.c_str(), &target) == 0) {
		if (S_ISDIR(target.st_mode))
			return B_IS_A_DIRECTORY;
		// The owner can only be kept by a process allowed to give files
		// away; others write the file as their own, as any editor does.
		(void)fFile.SetOwner(target.st_uid);
		(void)fFile.SetGroup(target.st_gid);
		return fFile.SetPermissions(target.st_mode & 07777);
	}
	if (errno != ENOENT)
		return StatusFromErrno();
	// The file was created 0666 less the umask; apply the same umask to
	// mode, letting an execute bit through where its read bit is allowed.
	mode_t created;
	status_t status = fFile.GetPermissions(&created);
	if (status != B_OK)
		return status;
	mode_t allowed = created | ((created & 0444) >> 2);
	return fFile.SetPermissions(mode & allowed & 07777);
}


BFile* AtomicFileWriter::File()
{
	return fStatus == B_OK ? &fFile : nullptr;
}


status_t AtomicFileWriter::Commit()
{
	if (fStatus != B_OK)
		return fStatus;
	status_t status = fFile.Sync();
	if (status != B_OK) {
		Discard();
		return status;
	}
	fFile.Unset();
	if (rename(fTemporaryNative.c_str(), fTargetNative.c_str()) != 0) {
		status = StatusFromErrno();
		Discard();
		return status;
	}
	fTemporaryNative.clear();
	fStatus = B_NO_INIT;
	return SyncFolder(fTargetNative) == 0 ? B_OK : StatusFromErrno();
}


void AtomicFileWriter::Discard()
{
	fFile.Unset();
	if (!fTemporaryNative.empty())
		unlink(fTemporaryNative.c_str());
	fTemporaryNative.clear();
	fTargetNative.clear();
	fStatus = B_NO_INIT;
}


status_t AtomicFileWriter::WriteFile(const char* path, const void* data, size_t size,
	mode_t mode)
{
	if (data == nullptr && size > 0)
		return B_BAD_VALUE;
	AtomicFileWriter writer;
	status_t status = writer.SetTo(path, mode);
	if (status == B_OK && size > 0)
		status = writer.File()->WriteExactly(data, size);
	return status == B_OK ? writer.Commit() : status;
}


bool AtomicFileWriter::IsTemporaryName(const char* leaf)
{
	// ".<name>.<8 hex digits>~", as TemporaryLeaf() makes them.
	constexpr size_t kSuffixLength = 10;
	if (leaf == nullptr || leaf[0] != '.')
		return false;
	size_t length = strlen(leaf);
	if (length < 2 + kSuffixLength || leaf[length - 1] != '~'
		|| leaf[length - kSuffixLength] != '.') {
		return false;
	}
	for (size_t at = length - kSuffixLength + 1; at < length - 1; at++) {
		if (!isxdigit(static_cast<unsigned char>(leaf[at])))
			return false;
	}
	return true;
}


int32 AtomicFileWriter::RemoveStaleTemporaries(const char* folder)
{
	BDirectory directory(folder);
	BEntry entry;
	std::vector<std::string> stale;
	while (directory.GetNextEntry(&entry) == B_OK) {
		if (entry.IsFile() && IsTemporaryName(entry.Name()))
			stale.emplace_back(entry.Name());
	}
	int32 removed = 0;
	for (const std::string& name : stale) {
		if (BEntry((std::string(folder) + "/" + name).c_str()).Remove() == B_OK)
			removed++;
	}
	return removed;
}
