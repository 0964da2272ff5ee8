#pragma once

// BStatable: the stat information of a node, shared by BEntry and BNode.
//
// GetStat fills a struct stat with st_dev set to the volume id (see
// fs_info.h) rather than the file system's device number, so that it agrees
// with node_ref and fs_info. A BEntry reports the entry itself (a symbolic
// link is not followed); a BNode reports its node.
//
// Creation time is the file's birth time where the file system records one
// (statx), else its status-change time. Linux cannot set it:
// SetCreationTime returns B_NOT_SUPPORTED and changes nothing. Setting the
// permissions of a symbolic link is likewise B_NOT_SUPPORTED. Every setter
// fails with B_READ_ONLY_DEVICE on a read-only volume.

#include <sys/stat.h>

#include <ctime>
#include <string>

#include <storage/NodeRef.h>
#include <support/Errors.h>

class BVolume;

class BStatable {
public:
	virtual ~BStatable() = default;

	[[nodiscard]] virtual status_t GetStat(struct stat* status) const;

	bool IsFile() const;
	bool IsDirectory() const;
	bool IsSymLink() const;
	// True for a folder on which another file system is mounted (its file
	// system differs from its parent folder's), such as "/boot/proc". Tree
	// walks stop there, as each volume is walked on its own.
	bool IsMountPoint() const;

	[[nodiscard]] status_t GetNodeRef(node_ref* ref) const;
	[[nodiscard]] status_t GetOwner(uid_t* owner) const;
	[[nodiscard]] status_t SetOwner(uid_t owner);
	[[nodiscard]] status_t GetGroup(gid_t* group) const;
	[[nodiscard]] status_t SetGroup(gid_t group);
	// The permission bits, 07777 of st_mode.
	[[nodiscard]] status_t GetPermissions(mode_t* permissions) const;
	[[nodiscard]] status_t SetPermissions(mode_t permissions);
	[[nodiscard]] status_t GetSize(off_t* size) const;
	[[nodiscard]] status_t GetModificationTime(time_t* time) const;
	[[nodiscard]] status_t SetModificationTime(time_t time);
	[[nodiscard]] status_t GetCreationTime(time_t* time) const;
	[[nodiscard]] status_t SetCreationTime(time_t time);
	[[nodiscard]] status_t GetAccessTime(time_t* time) const;
	[[nodiscard]] status_t SetAccessTime(time_t time);
	// Both times in one change.
	[[nodiscard]] status_t SetModificationAndAccessTime(time_t modification, time_t access);
	[[nodiscard]] status_t GetVolume(BVolume* volume) const;

protected:
	// What the stat calls act on. An open descriptor that allows I/O is
	// preferred; otherwise the native path is used without following a
	// final symbolic link. The root "/" is a virtual folder.
	struct StatTarget {
		int fd = -1;
		bool fdAllowsIO = false;
		std::string native;
		dev_t device = 0;
		bool readOnly = false;
		bool isVirtualRoot = false;
	};

	// B_NO_INIT (or the object's init error) when there is nothing to stat.
	[[nodiscard]] virtual status_t _GetStatTarget(StatTarget* target) const = 0;

private:
	[[nodiscard]] status_t _SetTimes(const struct timespec times[2]);
	[[nodiscard]] status_t _WritableTarget(StatTarget* target) const;
};
