// Reading /proc/self/mountinfo into volumes.
//
// A mountinfo line is
//   id parent major:minor root mount-point options [optional...] - type source super-options
// with spaces, tabs, newlines and backslashes in the paths written as octal
// escapes ("\040"). The file comes from the kernel, but it is still read as
// untrusted text: lines and fields are bounded and checked.

#include "MountTable.h"

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <string_view>

#include <storage/StorageDefs.h>

namespace {

constexpr size_t kMaxLineLength = 64 * 1024;
constexpr size_t kMaxMounts = 4096;

struct Mount {
	dev_t device = 0;
	std::string mountPoint;
	std::string fileSystem;
	std::string source;
	bool readOnly = false;
};


// File systems of the kernel itself, which hold no user files.
bool IsPseudoFileSystem(const std::string& type)
{
	static const std::set<std::string> kPseudo = {
		"proc", "sysfs", "devtmpfs", "devpts", "securityfs", "debugfs", "tracefs",
		"pstore", "bpf", "mqueue", "hugetlbfs", "configfs", "fusectl", "binfmt_misc",
		"autofs", "efivarfs", "nsfs", "rpc_pipefs", "selinuxfs", "smackfs", "rootfs",
		"cpuset", "nfsd", "fuse.gvfsd-fuse", "fuse.portal",
	};
	return type.compare(0, 6, "cgroup") == 0 || kPseudo.count(type) != 0;
}


bool IsBelow(const std::string& path, const char* folder)
{
	size_t length = strlen(folder);
	return path.compare(0, length, folder) == 0
		&& (path.size() == length || path[length] == '/');
}


bool IsHiddenMountPoint(const std::string& mountPoint)
{
	return IsBelow(mountPoint, "/proc") || IsBelow(mountPoint, "/sys")
		|| IsBelow(mountPoint, "/dev");
}


int OctalDigit(char c)
{
	return c >= '0' && c <= '7' ? c - '0' : -1;
}


// Undoes the "\ooo" escapes of mountinfo; a malformed escape stays as it is.
std::string DecodeOctal(std::string_view text)
{
	std::string decoded;
	for (size_t i = 0; i < text.size(); i++) {
		if (text[i] == '\\' && i + 3 < text.size() && OctalDigit(text[i + 1]) >= 0
			&& OctalDigit(text[i + 2]) >= 0 && OctalDigit(text[i + 3]) >= 0) {
			int value = OctalDigit(text[i + 1]) * 64 + OctalDigit(text[i + 2]) * 8
				+ OctalDigit(text[i + 3]);
			if (value > 0 && value < 256) {
				decoded += char(value);
				i += 3;
				continue;
			}
		}
		decoded += text[i];
	}
	return decoded;
}


int HexDigit(char c)
{
	if (c >= '0' && c <= '9')
		return c - '0';
	if (c >= 'a' && c <= 'f')
		return c - 'a' + 10;
	if (c >= 'A' && c <= 'F')
		return c - 'A' + 10;
	return -1;
}


// Undoes the "\xhh" escapes udev writes into /dev/disk/by-label names.
std::string DecodeHex(std::string_view text)
{
	std::string decoded;
	for (size_t i = 0; i < text.size(); i++) {
		if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x'
			&& HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
			int value = HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]);
			if (value > 0) {
				decoded += char(value);
				i += 3;
				continue;
			}
		}
		decoded += text[i];
	}
	return decoded;
}


bool HasOption(std::string_view options, std::string_view wanted)
{
	while (!options.empty()) {
		size_t comma = options.find(',');
		if (options.substr(0, comma) == wanted)
			return true;
		if (comma == std::string_view::npos)
			break;
		options = options.substr(comma + 1);
	}
	return false;
}


std::vector<std::string_view> SplitFields(std::string_view line)
{
	std::vector<std::string_view> fields;
	size_t start = 0;
	while (start < line.size() && fields.size() < 64) {
		size_t space = line.find(' ', start);
		if (space == std::string_view::npos)
			space = line.size();
		if (space > start)
			fields.push_back(line.substr(start, space - start));
		start = space + 1;
	}
	return fields;
}


bool ParseDevice(std::string_view text, dev_t* device)
{
	size_t colon = text.find(':');
	if (colon == std::string_view::npos || colon == 0 || colon + 1 >= text.size()
		|| text.size() > 24) {
		return false;
	}
	std::string majorText(text.substr(0, colon));
	std::string minorText(text.substr(colon + 1));
	char* end;
	unsigned long major = strtoul(majorText.c_str(), &end, 10);
	if (*end != '\0')
		return false;
	unsigned long minor = strtoul(minorText.c_str(), &end, 10);
	if (*end != '\0' || major > UINT32_MAX || minor > UINT32_MAX)
		return false;
	*device = makedev(major, minor);
	return true;
}


bool ParseLine(std::string_view line, Mount* mount)
{
	std::vector<std::string_view> fields = SplitFields(line);
	if (fields.size() < 10)
		return false;
	size_t separator = 6;
	while (separator < fields.size() && fields[separator] != "-")
		separator++;
	if (separator + 2 >= fields.size())
		return false;
	if (!ParseDevice(fields[2], &mount->device))
		return false;
	mount->mountPoint = DecodeOctal(fields[4]);
	if (mount->mountPoint.empty() || mount->mountPoint[0] != '/')
		return false;
	mount->fileSystem = DecodeOctal(fields[separator + 1]);
	mount->source = DecodeOctal(fields[separator + 2]);
	std::string_view superOptions = separator + 3 < fields.size()
		? fields[separator + 3] : std::string_view();
	mount->readOnly = HasOption(fields[5], "ro") || HasOption(superOptions, "ro");
	return true;
}


// The mounts worth a volume, later mounts on the same point replacing
// earlier ones (they hide them).
void ReadMounts(std::istream& input, std::vector<Mount>* mounts)
{
	std::string line;
	while (mounts->size() < kMaxMounts && std::getline(input, line)) {
		if (line.size() > kMaxLineLength)
			continue;
		Mount mount;
		if (!ParseLine(line, &mount) || IsPseudoFileSystem(mount.fileSystem)
			|| IsHiddenMountPoint(mount.mountPoint)) {
			continue;
		}
		bool replaced = false;
		for (Mount& existing : *mounts) {
			if (existing.mountPoint == mount.mountPoint) {
				existing = mount;
				replaced = true;
			}
		}
		if (!replaced)
			mounts->push_back(std::move(mount));
	}
}


bool IsUsableLabel(const std::string& label)
{
	return !label.empty() && label.size() < B_FILE_NAME_LENGTH && label != "."
		&& label != ".." && label != VolumeTable::kBootAlias
		&& label.find('/') == std::string::npos;
}


// The label of the device mounted as mount, found among the links of
// labelFolder, or "".
std::string FindLabel(const Mount& mount, const char* labelFolder)
{
	DIR* folder = opendir(labelFolder);
	if (folder == nullptr)
		return std::string();
	char source[PATH_MAX];
	bool haveSource = !mount.source.empty() && mount.source[0] == '/'
		&& realpath(mount.source.c_str(), source) != nullptr;
	std::string label;
	while (struct dirent* entry = readdir(folder)) {
		if (entry->d_name[0] == '.')
			continue;
		std::string link = std::string(labelFolder) + "/" + entry->d_name;
		struct stat status;
		bool matches = stat(link.c_str(), &status) == 0 && S_ISBLK(status.st_mode)
			&& status.st_rdev == mount.device;
		char target[PATH_MAX];
		if (!matches && haveSource && realpath(link.c_str(), target) != nullptr)
			matches = strcmp(target, source) == 0;
		if (matches) {
			label = DecodeHex(entry->d_name);
			break;
		}
	}
	closedir(folder);
	return IsUsableLabel(label) ? label : std::string();
}


bool ReadsOne(const std::string& path)
{
	std::ifstream input(path);
	char c = 0;
	return input.get(c) && c == '1';
}


bool IsRemovable(dev_t device)
{
	std::string block = "/sys/dev/block/" + std::to_string(major(device)) + ":"
		+ std::to_string(minor(device));
	if (ReadsOne(block + "/removable"))
		return true;
	// A partition: the flag belongs to the disk above it.
	char resolved[PATH_MAX];
	if (realpath(block.c_str(), resolved) == nullptr)
		return false;
	return ReadsOne(std::string(resolved) + "/../removable");
}


bool IsVolatile(const std::string& type)
{
	return type == "tmpfs" || type == "ramfs";
}


bool IsNetworked(const std::string& type)
{
	static const std::set<std::string> kShared = {
		"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "9p", "ceph", "afs", "glusterfs",
		"lustre", "fuse.sshfs", "fuse.glusterfs", "fuse.rclone", "davfs", "fuse.davfs",
	};
	return kShared.count(type) != 0;
}


bool KeepsAttributes(const std::string& type)
{
	static const std::set<std::string> kWithout = {
		"vfat", "msdos", "exfat", "iso9660", "udf", "hfs", "fuse.exfat", "fuse.vfat",
	};
	return kWithout.count(type) == 0;
}


std::string LastComponent(const std::string& path)
{
	size_t slash = path.rfind('/');
	return path.substr(slash + 1);
}


std::string UniqueName(const std::string& wanted, std::set<std::string>* used)
{
	std::string base = wanted.empty() || wanted.size() > B_FILE_NAME_LENGTH - 8
		? std::string("volume") : wanted;
	std::string name = base;
	for (int suffix = 2; used->count(name) != 0; suffix++)
		name = base + " " + std::to_string(suffix);
	used->insert(name);
	return name;
}


VolumeTable::Volume MakeVolume(const Mount& mount)
{
	VolumeTable::Volume volume;
	volume.folder = mount.mountPoint;
	volume.deviceName = mount.source;
	volume.fileSystem = mount.fileSystem;
	volume.readOnly = mount.readOnly;
	volume.removable = major(mount.device) != 0 && IsRemovable(mount.device);
	volume.persistent = !IsVolatile(mount.fileSystem);
	volume.shared = IsNetworked(mount.fileSystem);
	volume.knowsAttributes = KeepsAttributes(mount.fileSystem);
	return volume;
}

}	// namespace


namespace MorvaneKit {

status_t ReadMountTable(const char* mountInfoPath, const char* labelFolder,
	std::vector<VolumeTable::Volume>* volumes)
{
	volumes->clear();
	std::vector<Mount> mounts;
	std::ifstream input(mountInfoPath);
	status_t status = input ? B_OK : B_ENTRY_NOT_FOUND;
	if (input)
		ReadMounts(input, &mounts);

	Mount root;
	root.mountPoint = "/";
	for (const Mount& mount : mounts) {
		if (mount.mountPoint == "/")
			root = mount;
	}
	std::set<std::string> used = { VolumeTable::kBootAlias };
	VolumeTable::Volume boot = MakeVolume(root);
	std::string label = root.device != 0 ? FindLabel(root, labelFolder) : std::string();
	boot.name = UniqueName(label.empty() ? VolumeTable::kFallbackBootName : label, &used);
	volumes->push_back(std::move(boot));

	for (const Mount& mount : mounts) {
		if (mount.mountPoint == "/")
			continue;
		VolumeTable::Volume volume = MakeVolume(mount);
		volume.name = UniqueName(LastComponent(mount.mountPoint), &used);
		volumes->push_back(std::move(volume));
	}
	return status;
}


status_t Unmount(const std::string& folder)
{
	// Not lazily: a volume still in use stays mounted and says so (EBUSY).
	if (umount2(folder.c_str(), UMOUNT_NOFOLLOW) != 0)
		return StatusFromErrno();
	return B_OK;
}

}	// namespace MorvaneKit
