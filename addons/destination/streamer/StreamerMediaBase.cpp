#include "StreamerMediaBase.h"

#include <storage/AtomicFileWriter.h>
#include <storage/File.h>

namespace {

constexpr const char* kMediaIdKey = "media_id";
constexpr const char* kLastFilemarkKey = "lastfilemark";
constexpr const char* kBackupIdKey = "backup_id";
constexpr const char* kFilemarkKey = "filemark";
constexpr const char* kCacheSizeKey = "cachesize";
constexpr const char* kCompressionKey = "hwcompression";
constexpr const char* kActiveKey = "active";
constexpr const char* kListIncompleteKey = "listincomplete";
constexpr const char* kTailFreeKey = "tailfree";
// A media base lists some backups per tape; a file far larger is not one.
constexpr off_t kMaxFileSize = 16 << 20;

int32 Count(const BMessage& message, const char* name)
{
	type_code type;
	int32 count = 0;
	return message.GetInfo(name, &type, &count) == B_OK ? count : 0;
}

}	// namespace

void StreamerMediaBase::Create(const std::string& mediaId)
{
	fMessage.MakeEmpty();
	fMessage.AddInt32(kLastFilemarkKey, 1);
	fMessage.AddString(kMediaIdKey, mediaId.c_str());
}

int32 StreamerMediaBase::Read(const std::string& folder, const std::string& mediaId)
{
	fMessage.MakeEmpty();
	BFile file((folder + "/" + mediaId).c_str(), B_READ_ONLY);
	off_t size = 0;
	if (file.InitCheck() != B_OK || file.GetSize(&size) != B_OK || size <= 0
		|| size > kMaxFileSize)
		return 1;
	std::vector<char> bytes(static_cast<size_t>(size));
	if (file.ReadAt(0, bytes.data(), bytes.size()) != ssize_t(bytes.size())
		|| fMessage.Unflatten(bytes.data(), bytes.size()) != B_OK
		|| MediaId() != mediaId) {
		fMessage.MakeEmpty();
		return 1;
	}
	// Arrays that disagree are cut to the shortest; a backup that never got
	// its closing filemark is dropped.
	int32 complete = Count(fMessage, kBackupIdKey);
	for (const char* key : {kFilemarkKey, kCacheSizeKey, kCompressionKey, kActiveKey})
		complete = std::min(complete, Count(fMessage, key));
	while (CountBackups() > complete || (CountBackups() > 0
			&& CountBackups() >= LastFilemark()))
		_RemoveLast();
	if (LastFilemark() < 1)
		SetLastFilemark(CountBackups() + 1);
	return 0;
}

int32 StreamerMediaBase::Write(const std::string& folder) const
{
	if (MediaId().empty())
		return 3;
	std::vector<char> bytes;
	if (fMessage.Flatten(&bytes) != B_OK)
		return 2;
	return AtomicFileWriter::WriteFile((folder + "/" + MediaId()).c_str(), bytes.data(),
		bytes.size(), 0600) == B_OK ? 0 : 2;
}

std::string StreamerMediaBase::MediaId() const
{
	return fMessage.GetString(kMediaIdKey, "");
}

int32 StreamerMediaBase::LastFilemark() const
{
	return fMessage.GetInt32(kLastFilemarkKey, 1);
}

void StreamerMediaBase::SetLastFilemark(int32 filemark)
{
	(void)fMessage.SetInt32(kLastFilemarkKey, filemark);
}

bool StreamerMediaBase::IsListIncomplete() const
{
	return fMessage.GetInt32(kListIncompleteKey, 0) != 0;
}

void StreamerMediaBase::SetListIncomplete(bool incomplete)
{
	fMessage.RemoveName(kListIncompleteKey);
	if (incomplete)
		fMessage.AddInt32(kListIncompleteKey, 1);
}

int32 StreamerMediaBase::CountBackups() const
{
	return Count(fMessage, kBackupIdKey);
}

bool StreamerMediaBase::BackupAt(int32 index, StreamerTapeRecords::BackupId* id,
	int32* filemark, bool* active) const
{
	const char* name;
	if (index < 0 || fMessage.FindString(kBackupIdKey, index, &name) != B_OK)
		return false;
	id->name = name;
	id->cacheSize = fMessage.GetInt32(kCacheSizeKey, index, 0);
	id->hardwareCompression = fMessage.GetInt32(kCompressionKey, index, 0);
	*filemark = fMessage.GetInt32(kFilemarkKey, index, index + 1);
	*active = fMessage.GetInt32(kActiveKey, index, 0) != 0;
	return true;
}

int32 StreamerMediaBase::Find(const std::string& name) const
{
	const char* found;
	for (int32 index = 0; fMessage.FindString(kBackupIdKey, index, &found) == B_OK; index++) {
		if (name == found && fMessage.GetInt32(kActiveKey, index, 0) != 0)
			return index;
	}
	return -1;
}

void StreamerMediaBase::Append(const StreamerTapeRecords::BackupId& id, int32 filemark)
{
	fMessage.AddString(kBackupIdKey, id.name.c_str());
	fMessage.AddInt32(kFilemarkKey, filemark);
	fMessage.AddInt32(kCacheSizeKey, id.cacheSize);
	fMessage.AddInt32(kCompressionKey, id.hardwareCompression);
	fMessage.AddInt32(kActiveKey, 1);
}

void StreamerMediaBase::Delete(int32 index)
{
	if (index < 0 || index >= CountBackups())
		return;
	(void)fMessage.ReplaceInt32(kActiveKey, index, 0);
	if (index + 1 < LastFilemark() - 1)
		return;
	int32 last = -1;
	for (int32 i = std::min(LastFilemark() - 2, CountBackups() - 1); i >= 0; i--) {
		if (fMessage.GetInt32(kActiveKey, i, 0) != 0) {
			last = i;
			break;
		}
	}
	SetLastFilemark(last + 2);
	(void)fMessage.SetInt32(kTailFreeKey, last + 2);
}

bool StreamerMediaBase::IsTailFree() const
{
	int32 free = 0;
	return fMessage.FindInt32(kTailFreeKey, &free) == B_OK && free == LastFilemark();
}

void StreamerMediaBase::_RemoveLast()
{
	int32 last = CountBackups() - 1;
	for (const char* key : {kBackupIdKey, kFilemarkKey, kCacheSizeKey, kCompressionKey,
			kActiveKey}) {
		if (Count(fMessage, key) > last)
			fMessage.RemoveData(key, last);
	}
}
