#include "LiveEntryComparer.h"

#include <cstring>

#include <storage/Entry.h>
#include <storage/Node.h>
#include <storage/SymLink.h>
#include <storage/VolumeTable.h>

#include "CompareTexts.h"
#include "JobStatistics.h"

namespace {

LiveType TypeOf(const char* path, const struct stat& status)
{
	if (S_ISLNK(status.st_mode))
		return LiveType::SymLink;
	if (S_ISDIR(status.st_mode)) {
		VolumeTable::Location location;
		if (VolumeTable::Locate(path, &location) == B_OK && location.IsVolumeRoot())
			return LiveType::VolumeRoot;
		return LiveType::Directory;
	}
	return LiveType::File;
}

}	// namespace

std::string LiveEntryComparer::PermissionText(uint32 permissions)
{
	static const char kLetters[] = "rwxrwxrwx";
	std::string text(9, '-');
	for (int32 bit = 0; bit < 9; bit++) {
		if ((permissions & (0400u >> bit)) != 0)
			text[bit] = kLetters[bit];
	}
	return text;
}

void LiveEntryComparer::_Differs(LiveComparison* result, int32 textID, MVTextArguments arguments)
{
	result->lines.push_back({kLineError, textID, std::move(arguments)});
	result->misscompared++;
}

void LiveEntryComparer::_ReadError(LiveComparison* result, int32 textID,
	MVTextArguments arguments)
{
	result->lines.push_back({kLineError, textID, std::move(arguments)});
	result->readErrors++;
}

LiveComparison LiveEntryComparer::Compare(const std::string& path, const std::string& leaf,
	const FileHeader& header, uint16 version, const std::string& backupLink, BFile* file) const
{
	LiveComparison result;
	file->Unset();
	BEntry entry(path.c_str());
	struct stat live;
	if (entry.InitCheck() != B_OK || entry.GetStat(&live) != B_OK) {
		_ReadError(&result, kTextCannotAccessSource, {path});
		return result;
	}
	result.type = TypeOf(path.c_str(), live);
	result.liveSize = live.st_size;
	bool comparesData = fOptions.Compares(CompareItem::FileData)
		&& header.Kind() == EntryKind::File && header.Stat().size != 0;
	if (comparesData && result.type == LiveType::File && S_ISREG(live.st_mode))
		_OpenFile(entry, live, file);

	_CompareStat(leaf, header.Stat(), live, &result);
	uint32 cursor = 0;
	FileHeaderAttribute record;
	if (fOptions.Compares(CompareItem::Attribute)
		&& header.NextAttribute(&cursor, &record, version) == B_OK)
		_CompareAttributes(path, leaf, header, version, file, &result);
	if (fOptions.Compares(CompareItem::SymLinkData)
		&& (result.type == LiveType::SymLink || header.Kind() == EntryKind::SymLink))
		_CompareLink(result.type == LiveType::SymLink ? path : std::string(), leaf, backupLink,
			&result);
	return result;
}

void LiveEntryComparer::_CompareStat(const std::string& leaf, const FileHeaderStat& backup,
	const struct stat& live, LiveComparison* result) const
{
	if (fOptions.Compares(CompareItem::Size) && result->type == LiveType::File
		&& backup.size != int64(live.st_size))
		_Differs(result, kTextSizeDifferent, {leaf, backup.size, int64(live.st_size)});
	if (fOptions.Compares(CompareItem::ModificationDate)
		&& backup.modificationTime != int32(live.st_mtime))
		_Differs(result, kTextModifiedDifferent, {leaf,
			JobStatistics::DateText(time_t(backup.modificationTime)),
			JobStatistics::DateText(live.st_mtime)});
	if (fOptions.Compares(CompareItem::CreationDate) && backup.changeTime != int32(live.st_ctime))
		_Differs(result, kTextCreatedDifferent, {leaf,
			JobStatistics::DateText(time_t(backup.changeTime)),
			JobStatistics::DateText(live.st_ctime)});
	if (fOptions.Compares(CompareItem::Group) && backup.group != uint32(live.st_gid))
		_Differs(result, kTextGroupDifferent, {leaf, backup.group, uint32(live.st_gid)});
	if (fOptions.Compares(CompareItem::User) && backup.user != uint32(live.st_uid))
		_Differs(result, kTextUserDifferent, {leaf, backup.user, uint32(live.st_uid)});
	uint32 livePermissions = uint32(live.st_mode) & 07777;
	if (fOptions.Compares(CompareItem::Permissions) && backup.permissions != livePermissions)
		_Differs(result, kTextPermissionsDifferent, {leaf, PermissionText(backup.permissions),
			PermissionText(livePermissions)});
}

// Each attribute record is compared with the live value from the record's
// position on: its length and its bytes. Attributes only the live entry has
// are not reported.
// Opens the regular file examined as status, unless another entry took its
// place since.
void LiveEntryComparer::_OpenFile(const BEntry& entry, const struct stat& status, BFile* file)
{
	struct stat opened;
	if (file->SetTo(&entry, B_READ_ONLY) != B_OK || file->GetStat(&opened) != B_OK
		|| opened.st_ino != status.st_ino || opened.st_dev != status.st_dev)
		file->Unset();
}

// An open file is the node whose attributes are read; others are opened for
// it (without following a link).
void LiveEntryComparer::_CompareAttributes(const std::string& path, const std::string& leaf,
	const FileHeader& header, uint16 version, BFile* file, LiveComparison* result) const
{
	BNode ownNode;
	BNode& node = file->InitCheck() == B_OK ? *file : ownNode;
	if (&node == &ownNode)
		(void)ownNode.SetTo(path.c_str());
	if (node.InitCheck() != B_OK) {
		_ReadError(result, kTextCannotReadLiveAttributes, {leaf});
		return;
	}
	std::vector<uint8> value;
	uint32 cursor = 0;
	FileHeaderAttribute record;
	while (header.NextAttribute(&cursor, &record, version) == B_OK) {
		attr_info info;
		if (record.position < 0 || node.GetAttrInfo(record.name, &info) != B_OK
			|| info.size < 0) {
			_ReadError(result, kTextCannotReadLiveAttribute, {leaf, record.name});
			continue;
		}
		// What the live value holds from the record's position on.
		int64 live = record.position < info.size ? info.size - record.position : 0;
		if (live != int64(record.length)) {
			_Differs(result, kTextAttributeSizeDifferent, {leaf, record.name,
				int32(record.length), live});
			continue;
		}
		value.resize(record.length);
		ssize_t read = record.length > 0 ? node.ReadAttr(record.name, info.type,
			record.position, value.data(), value.size()) : 0;
		if (read != ssize_t(record.length)) {
			_ReadError(result, kTextCannotReadLiveAttribute, {leaf, record.name});
		} else if (record.length > 0 && memcmp(record.data, value.data(), record.length) != 0) {
			_Differs(result, kTextAttributeDataDifferent, {leaf, record.name});
		}
	}
}

// livePath is empty when the live entry is no link.
void LiveEntryComparer::_CompareLink(const std::string& livePath, const std::string& leaf,
	const std::string& backupLink, LiveComparison* result) const
{
	std::string liveLink;
	if (!livePath.empty() && BSymLink(livePath.c_str()).ReadLink(&liveLink) != B_OK) {
		_ReadError(result, kTextCannotAccessSource, {livePath});
		return;
	}
	if (liveLink != backupLink)
		_Differs(result, kTextLinkDifferent, {leaf, backupLink, liveLink});
}
