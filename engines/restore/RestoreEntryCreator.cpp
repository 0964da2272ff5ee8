#include "RestoreEntryCreator.h"

#include <cerrno>
#include <optional>

#include <kernel/fs_index.h>

bool RestoreEntryCreator::IsRefusedOwnership(status_t status)
{
	return status == B_NOT_ALLOWED || status == B_FROM_ERRNO(EPERM)
		|| status == B_PERMISSION_DENIED;
}

status_t RestoreEntryCreator::ApplyOwnership(BNode* node, const FileHeaderStat& stat)
{
	status_t result = B_OK;
	if (stat.user != 0) {
		status_t status = node->SetOwner(uid_t(stat.user));
		if (status != B_OK && !IsRefusedOwnership(status))
			result = status;
	}
	if (stat.group != 0) {
		status_t status = node->SetGroup(gid_t(stat.group));
		if (status != B_OK && !IsRefusedOwnership(status) && result == B_OK)
			result = status;
	}
	return result;
}

void RestoreEntryCreator::ApplyPermissions(BNode* node, const FileHeaderStat& stat)
{
	if (stat.permissions != 0)
		(void)node->SetPermissions(mode_t(stat.permissions & 07777));
}

void RestoreEntryCreator::ApplyTimes(BNode* node, const FileHeaderStat& stat)
{
	// Linux cannot set a creation time; the other two are what the backup
	// recorded, in one change when it recorded both.
	time_t modification = time_t(uint32(stat.modificationTime));
	time_t access = time_t(uint32(stat.accessTime));
	if (modification != 0 && access != 0)
		(void)node->SetModificationAndAccessTime(modification, access);
	else if (modification != 0)
		(void)node->SetModificationTime(modification);
	else if (access != 0)
		(void)node->SetAccessTime(access);
}

status_t RestoreEntryCreator::ApplyFinalMetadata(BNode* node, const FileHeaderStat& stat,
	bool isLink)
{
	status_t status = ApplyOwnership(node, stat);
	if (!isLink)
		ApplyPermissions(node, stat);
	ApplyTimes(node, stat);
	return status;
}

status_t RestoreEntryCreator::WriteAttributes(BNode* node, const FileHeader& header,
	uint16 version, std::vector<std::string>* refused)
{
	// The volume is looked up for the first indexed attribute only.
	std::optional<dev_t> device;
	uint32 cursor = 0;
	FileHeaderAttribute attribute;
	status_t walk;
	while ((walk = header.NextAttribute(&cursor, &attribute, version)) == B_OK) {
		if (attribute.indexType != 0) {
			struct stat status;
			if (!device)
				device = node->GetStat(&status) == B_OK ? status.st_dev : 0;
			(void)fs_create_index(*device, attribute.name, attribute.indexType, 0);
		}
		ssize_t written = node->WriteAttr(attribute.name, attribute.type, attribute.position,
			attribute.data, attribute.length);
		if (written != ssize_t(attribute.length))
			refused->push_back(attribute.name);
	}
	return walk == B_ENTRY_NOT_FOUND ? B_OK : walk;
}
