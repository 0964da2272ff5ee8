#include "Catalogue.h"

#include <storage/VolumeTable.h>

namespace {

// Stops at the first failing add, keeping its status.
class AddChain {
public:
	AddChain& operator<<(status_t status)
	{
		if (fStatus == B_OK)
			fStatus = status;
		return *this;
	}
	status_t Status() const { return fStatus; }

private:
	status_t fStatus = B_OK;
};

}

status_t Catalogue::Begin(const CatalogueInfo& info)
{
	fMessage.MakeEmpty();
	AddChain chain;
	chain << fMessage.AddString(kLogIdKey, info.backupId)
		<< fMessage.AddString(kLogTitleKey, info.title)
		<< fMessage.AddInt32(kLogDateKey, info.date);
	if (!info.compressor.empty())
		chain << fMessage.AddString(kLogCompressionKey, info.compressor);
	chain << fMessage.AddMessage(kLogCruncherSettingsKey, &info.cruncherSettings)
		<< fMessage.AddString(kLogCryptKey, info.password)
		<< fMessage.AddInt16(kLogVersionKey, int16(kArchiveVersion))
		<< fMessage.AddString(kLogDestinationKey, info.destination)
		<< fMessage.AddMessage(kLogDestinationSettingsKey, &info.destinationSettings)
		<< fMessage.AddMessage(kLogSelectionKey, &info.selection)
		<< fMessage.AddInt16(kLogRemovableKey, info.removable)
		<< fMessage.AddInt32(kLogJobIdKey, info.jobId)
		<< fMessage.AddInt32(kLogModeKey, info.mode)
		<< fMessage.AddInt32(kLogBaseIdKey, info.baseId);
	return chain.Status();
}

status_t Catalogue::AddEntry(const CatalogueEntry& entry)
{
	AddChain chain;
	chain << fMessage.AddString(kLogNameKey, CataloguePath(entry.path))
		<< fMessage.AddInt32(kLogTypeKey, int32(entry.kind))
		<< fMessage.AddInt64(kLogRealSizeKey, entry.size)
		<< fMessage.AddInt32(kLogLevelKey, entry.level)
		<< fMessage.AddInt32(kLogMediumKey, entry.mediumNumber)
		<< fMessage.AddInt64(kLogOffsetKey, entry.offset)
		<< fMessage.AddTime(kLogModifiedKey, entry.modificationTime)
		<< fMessage.AddInt32(kLogEntryNumberKey, entry.entryNumber);
	return chain.Status();
}

status_t Catalogue::SetSize(int64 size)
{
	if (fMessage.HasData(kLogSizeKey, B_INT64_TYPE))
		return fMessage.ReplaceInt64(kLogSizeKey, size);
	return fMessage.AddInt64(kLogSizeKey, size);
}

status_t Catalogue::MarkIncomplete(int32 entryNumber)
{
	return fMessage.AddInt32(kLogIncompleteKey, entryNumber);
}

status_t Catalogue::SetMediumName(int32 medium, const std::string& name)
{
	if (medium < 1)
		return B_BAD_VALUE;
	type_code type;
	int32 count = 0;
	if (fMessage.GetInfo(kLogMediumNamesKey, &type, &count) != B_OK)
		count = 0;
	for (; count < medium - 1; count++) {
		status_t status = fMessage.AddString(kLogMediumNamesKey, "");
		if (status != B_OK)
			return status;
	}
	if (count >= medium)
		return fMessage.ReplaceString(kLogMediumNamesKey, medium - 1, name.c_str());
	return fMessage.AddString(kLogMediumNamesKey, name.c_str());
}

std::string Catalogue::MediumName(const BMessage& catalogue, int32 medium)
{
	const char* name;
	if (medium < 1 || catalogue.FindString(kLogMediumNamesKey, medium - 1, &name) != B_OK)
		return std::string();
	return name;
}

std::unordered_set<int32> Catalogue::IncompleteEntries(const BMessage& catalogue)
{
	std::unordered_set<int32> numbers;
	int32 number;
	for (int32 i = 0; catalogue.FindInt32(kLogIncompleteKey, i, &number) == B_OK; i++)
		numbers.insert(number);
	return numbers;
}

int32 Catalogue::CountEntries() const
{
	type_code type;
	int32 count = 0;
	if (fMessage.GetInfo(kLogNameKey, &type, &count) != B_OK)
		return 0;
	return count;
}

status_t Catalogue::EntryAt(int32 index, CatalogueEntry* entry) const
{
	if (index < 0 || index >= CountEntries())
		return B_BAD_INDEX;
	int32 kind = 0;
	const void* modified = nullptr;
	ssize_t modifiedSize = 0;
	AddChain chain;
	chain << fMessage.FindString(kLogNameKey, index, &entry->path)
		<< fMessage.FindInt32(kLogTypeKey, index, &kind)
		<< fMessage.FindInt64(kLogRealSizeKey, index, &entry->size)
		<< fMessage.FindInt32(kLogLevelKey, index, &entry->level)
		<< fMessage.FindInt32(kLogMediumKey, index, &entry->mediumNumber)
		<< fMessage.FindInt64(kLogOffsetKey, index, &entry->offset)
		<< fMessage.FindData(kLogModifiedKey, B_TIME_TYPE, index, &modified, &modifiedSize)
		<< fMessage.FindInt32(kLogEntryNumberKey, index, &entry->entryNumber);
	if (chain.Status() != B_OK || modifiedSize != 4 || kind < 0 || kind > 3)
		return B_BAD_DATA;
	entry->kind = EntryKind(kind);
	memcpy(&entry->modificationTime, modified, 4);
	return B_OK;
}

int16 Catalogue::Version() const
{
	int16 version = 0;
	if (fMessage.FindInt16(kLogVersionKey, &version) != B_OK)
		return 0;
	return version;
}

std::string Catalogue::Title() const
{
	std::string title;
	if (fMessage.FindString(kLogTitleKey, &title) != B_OK)
		return "";
	return title;
}

std::string Catalogue::Compressor() const
{
	std::string compressor;
	if (fMessage.FindString(kLogCompressionKey, &compressor) != B_OK || compressor.empty())
		return kCatalogueDefaultCompressor;
	return compressor;
}

std::string Catalogue::CataloguePath(const std::string& path)
{
	const std::string root = std::string("/") + VolumeTable::kBootAlias;
	bool isRoot = path == root;
	if (!isRoot && path.compare(0, root.size() + 1, root + "/") != 0)
		return path;
	VolumeTable::Volume boot;
	if (VolumeTable::GetVolume(VolumeTable::BootDevice(), &boot) != B_OK)
		return path;
	return "/" + boot.name + path.substr(root.size());
}

bool Catalogue::NeedsNewerProgram(int16 version)
{
	return uint16(version) > kArchiveVersion;
}
