#include <storage/VolumeTable.h>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>

#include <storage/StorageDefs.h>

#include "MountTable.h"

namespace {

constexpr const char* kVolumesVariable = "MORVANE_VOLUMES";
constexpr size_t kMaxVolumeEntries = 1024;
constexpr size_t kMaxNameLength = B_FILE_NAME_LENGTH;

struct Table {
	std::vector<VolumeTable::Volume> volumes;
};

std::mutex sTableLock;
std::shared_ptr<const Table> sTable;


bool IsUsableVolumeName(std::string_view name)
{
	return !name.empty() && name.size() < kMaxNameLength && name != "." && name != ".."
		&& name != VolumeTable::kBootAlias && name.find('/') == std::string_view::npos;
}


void Complain(std::string_view entry, const char* why)
{
	fprintf(stderr, "%s: skipping \"%.*s\": %s\n", kVolumesVariable, int(entry.size()),
		entry.data(), why);
}


// Parses a byte count; false for anything but plain decimal digits that fit
// an off_t.
bool ParseSize(std::string_view text, off_t* size)
{
	if (text.empty() || text.size() > 19)
		return false;
	uint64 value = 0;
	for (char c : text) {
		if (c < '0' || c > '9')
			return false;
		value = value * 10 + uint64(c - '0');
	}
	if (value > uint64(INT64_MAX))
		return false;
	*size = off_t(value);
	return true;
}


bool ApplyOption(std::string_view option, VolumeTable::Volume* volume)
{
	if (option == "ro") {
		volume->readOnly = true;
		return true;
	}
	if (option == "removable") {
		volume->removable = true;
		return true;
	}
	if (option == "noattr") {
		volume->knowsAttributes = false;
		return true;
	}
	if (option.substr(0, 5) == "size=")
		return ParseSize(option.substr(5), &volume->fixedSize);
	if (option.substr(0, 6) == "block=")
		return ParseSize(option.substr(6), &volume->blockSize) && volume->blockSize > 0;
	return false;
}


bool IsFolder(const std::string& path)
{
	struct stat status;
	return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}


// The folder is kept resolved, so that native paths that come back from the
// kernel (readlink, realpath) match it. A removable drive may be empty: then
// only the folder above it must exist.
bool ResolveFolder(const std::string& folder, bool removable, std::string* resolved)
{
	char buffer[PATH_MAX];
	if (realpath(folder.c_str(), buffer) != nullptr) {
		*resolved = buffer;
		return IsFolder(*resolved);
	}
	if (errno != ENOENT || !removable)
		return false;
	size_t slash = folder.find_last_of('/');
	std::string leaf = folder.substr(slash + 1);
	std::string parent = slash == 0 ? std::string("/") : folder.substr(0, slash);
	if (leaf.empty() || leaf == "." || leaf == ".." || realpath(parent.c_str(), buffer) == nullptr
		|| !IsFolder(buffer)) {
		return false;
	}
	*resolved = buffer;
	if (resolved->back() != '/')
		*resolved += '/';
	*resolved += leaf;
	return true;
}


// One "name=folder,options" entry; false (with a message) when unusable.
bool ParseVolumeEntry(std::string_view entry, const std::set<std::string>& names,
	VolumeTable::Volume* volume)
{
	size_t equals = entry.find('=');
	if (equals == std::string_view::npos) {
		Complain(entry, "expected name=folder");
		return false;
	}
	std::string_view name = entry.substr(0, equals);
	if (!IsUsableVolumeName(name)) {
		Complain(entry, "the name is empty, reserved, too long or has a '/'");
		return false;
	}
	if (names.count(std::string(name)) != 0) {
		Complain(entry, "the name is used twice");
		return false;
	}
	std::string_view rest = entry.substr(equals + 1);
	size_t comma = rest.find(',');
	std::string folder(rest.substr(0, comma));
	if (folder.empty() || folder[0] != '/') {
		Complain(entry, "the folder is not an absolute path");
		return false;
	}
	while (comma != std::string_view::npos) {
		rest = rest.substr(comma + 1);
		comma = rest.find(',');
		if (!ApplyOption(rest.substr(0, comma), volume)) {
			Complain(entry, "unknown option or bad size");
			return false;
		}
	}
	std::string resolved;
	if (!ResolveFolder(folder, volume->removable, &resolved)) {
		Complain(entry, "the folder does not exist");
		return false;
	}
	volume->name = name;
	volume->folder = resolved;
	return true;
}


std::vector<VolumeTable::Volume> ParseVolumesVariable(const char* value)
{
	std::vector<VolumeTable::Volume> volumes;
	std::set<std::string> names;
	std::string_view rest(value);
	while (!rest.empty() && volumes.size() < kMaxVolumeEntries) {
		size_t semicolon = rest.find(';');
		std::string_view entry = rest.substr(0, semicolon);
		rest = semicolon == std::string_view::npos ? std::string_view()
			: rest.substr(semicolon + 1);
		if (entry.empty())
			continue;
		VolumeTable::Volume volume;
		if (!ParseVolumeEntry(entry, names, &volume))
			continue;
		names.insert(volume.name);
		volumes.push_back(std::move(volume));
	}
	if (volumes.empty())
		fprintf(stderr, "%s: no usable volume\n", kVolumesVariable);
	return volumes;
}


void Number(std::vector<VolumeTable::Volume>* volumes)
{
	for (size_t i = 0; i < volumes->size(); i++) {
		(*volumes)[i].device = dev_t(i + 1);
		(*volumes)[i].isBoot = i == 0;
	}
}


status_t LoadTable(std::shared_ptr<const Table>* table)
{
	auto loaded = std::make_shared<Table>();
	status_t status = B_OK;
	if (const char* value = getenv(kVolumesVariable))
		loaded->volumes = ParseVolumesVariable(value);
	else {
		status = MorvaneKit::ReadMountTable("/proc/self/mountinfo", "/dev/disk/by-label",
			&loaded->volumes);
	}
	Number(&loaded->volumes);
	*table = std::move(loaded);
	return status;
}


std::shared_ptr<const Table> CurrentTable()
{
	std::lock_guard<std::mutex> lock(sTableLock);
	if (!sTable)
		(void)LoadTable(&sTable);
	return sTable;
}


void Install(std::shared_ptr<const Table> table)
{
	std::lock_guard<std::mutex> lock(sTableLock);
	sTable = std::move(table);
}


// Splits a path into its components, dropping "" and "."; ".." removes the
// component before it. A ".." with no component before it, or (for system
// paths) one that would remove the volume, is refused.
status_t SplitPath(std::string_view path, bool keepVolume,
	std::vector<std::string_view>* components)
{
	components->clear();
	size_t start = 0;
	while (start <= path.size()) {
		size_t slash = path.find('/', start);
		if (slash == std::string_view::npos)
			slash = path.size();
		std::string_view component = path.substr(start, slash - start);
		start = slash + 1;
		if (component.empty() || component == ".")
			continue;
		if (component.size() >= B_FILE_NAME_LENGTH)
			return B_NAME_TOO_LONG;
		if (component != "..") {
			components->push_back(component);
			continue;
		}
		if (components->size() <= (keepVolume ? 1u : 0u)) {
			if (keepVolume)
				return B_BAD_VALUE;
			continue;
		}
		components->pop_back();
	}
	return B_OK;
}


std::string Join(const std::vector<std::string_view>& components, size_t first)
{
	std::string path;
	for (size_t i = first; i < components.size(); i++) {
		path += '/';
		path += components[i];
	}
	return path;
}


const VolumeTable::Volume* FindByName(const Table& table, std::string_view name)
{
	if (name == VolumeTable::kBootAlias)
		return table.volumes.empty() ? nullptr : &table.volumes[0];
	for (const VolumeTable::Volume& volume : table.volumes) {
		if (volume.name == name)
			return &volume;
	}
	return nullptr;
}


std::string_view SystemName(const VolumeTable::Volume& volume)
{
	return volume.isBoot ? std::string_view(VolumeTable::kBootAlias)
		: std::string_view(volume.name);
}


// The rest of native after folder, "" for the folder itself, or false when
// native does not lie in folder.
bool RemainderBelow(const std::string& native, const std::string& folder,
	std::string_view* remainder)
{
	if (folder == "/") {
		*remainder = native == "/" ? std::string_view() : std::string_view(native);
		return true;
	}
	if (native.compare(0, folder.size(), folder) != 0)
		return false;
	if (native.size() != folder.size() && native[folder.size()] != '/')
		return false;
	*remainder = std::string_view(native).substr(folder.size());
	return true;
}


bool MatchNative(const Table& table, const std::string& native, std::string* path)
{
	const VolumeTable::Volume* best = nullptr;
	std::string_view bestRemainder;
	for (const VolumeTable::Volume& volume : table.volumes) {
		std::string_view remainder;
		if (!RemainderBelow(native, volume.folder, &remainder))
			continue;
		if (best == nullptr || volume.folder.size() > best->folder.size()) {
			best = &volume;
			bestRemainder = remainder;
		}
	}
	if (best == nullptr)
		return false;
	*path = "/";
	*path += SystemName(*best);
	*path += bestRemainder;
	return true;
}


// The bytes of the regular files below a folder, not following links.
// The bytes the files below a folder take: their sizes, each rounded up to
// whole blocks when blockSize is given.
off_t BytesBelow(const std::string& folder, off_t blockSize)
{
	namespace fs = std::filesystem;
	off_t total = 0;
	std::error_code error;
	fs::recursive_directory_iterator it(folder,
		fs::directory_options::skip_permission_denied, error);
	for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
		struct stat status;
		if (lstat(it->path().c_str(), &status) != 0 || !S_ISREG(status.st_mode))
			continue;
		off_t size = status.st_size;
		if (blockSize > 0)
			size = (size + blockSize - 1) / blockSize * blockSize;
		total += size;
	}
	return total;
}


// A MORVANE_VOLUMES entry rather than a mounted file system.
bool IsFolderVolume(const VolumeTable::Volume& volume)
{
	return volume.fileSystem.empty();
}


// Makes the first free "<folder>.medium-N" beside a drive's folder, empty,
// so that no other ejection can take the same name.
status_t ClaimEjectedMediumFolder(const std::string& folder, std::string* medium)
{
	constexpr int kMaxMedia = 10000;
	for (int number = 1; number <= kMaxMedia; number++) {
		std::string candidate = folder + ".medium-" + std::to_string(number);
		if (mkdir(candidate.c_str(), 0700) == 0) {
			*medium = std::move(candidate);
			return B_OK;
		}
		if (errno != EEXIST)
			return StatusFromErrno();
	}
	return B_NAME_IN_USE;
}

}	// namespace


bool VolumeTable::Location::IsVolumeRoot() const
{
	return device != 0 && path.find('/', 1) == std::string::npos;
}


status_t VolumeTable::Reload()
{
	std::shared_ptr<const Table> table;
	status_t status = LoadTable(&table);
	Install(std::move(table));
	return status;
}


status_t VolumeTable::ReloadFromMountInfo(const char* mountInfoPath, const char* labelFolder)
{
	if (mountInfoPath == nullptr || labelFolder == nullptr)
		return B_BAD_VALUE;
	auto table = std::make_shared<Table>();
	status_t status = MorvaneKit::ReadMountTable(mountInfoPath, labelFolder,
		&table->volumes);
	Number(&table->volumes);
	Install(std::move(table));
	return status;
}


status_t VolumeTable::Normalize(const char* path, std::string* normalized)
{
	if (path == nullptr || path[0] != '/' || normalized == nullptr)
		return B_BAD_VALUE;
	std::vector<std::string_view> components;
	status_t status = SplitPath(path, true, &components);
	if (status != B_OK)
		return status;
	*normalized = components.empty() ? std::string("/") : Join(components, 0);
	return B_OK;
}


status_t VolumeTable::Locate(const char* path, Location* location)
{
	if (path == nullptr || path[0] != '/' || location == nullptr)
		return B_BAD_VALUE;
	std::vector<std::string_view> components;
	status_t status = SplitPath(path, true, &components);
	if (status != B_OK)
		return status;
	if (components.empty()) {
		*location = Location();
		location->path = "/";
		location->canonicalPath = "/";
		return B_OK;
	}
	std::shared_ptr<const Table> table = CurrentTable();
	const Volume* volume = FindByName(*table, components[0]);
	if (volume == nullptr)
		return B_ENTRY_NOT_FOUND;
	std::string rest = Join(components, 1);
	location->path = "/";
	location->path += components[0];
	location->path += rest;
	location->canonicalPath = "/";
	location->canonicalPath += SystemName(*volume);
	location->canonicalPath += rest;
	if (volume->folder == "/")
		location->native = rest.empty() ? std::string("/") : rest;
	else
		location->native = volume->folder + rest;
	location->device = volume->device;
	location->readOnly = volume->readOnly;
	return B_OK;
}


status_t VolumeTable::ToNative(const char* path, std::string* native)
{
	if (native == nullptr)
		return B_BAD_VALUE;
	Location location;
	status_t status = Locate(path, &location);
	if (status != B_OK)
		return status;
	if (location.IsRoot())
		return B_BAD_VALUE;
	*native = std::move(location.native);
	return B_OK;
}


status_t VolumeTable::ToSystem(const char* native, std::string* path)
{
	if (native == nullptr || native[0] != '/' || path == nullptr)
		return B_BAD_VALUE;
	std::vector<std::string_view> components;
	status_t status = SplitPath(native, false, &components);
	if (status != B_OK)
		return status;
	std::string normalized = components.empty() ? std::string("/") : Join(components, 0);
	std::shared_ptr<const Table> table = CurrentTable();
	if (MatchNative(*table, normalized, path))
		return B_OK;
	// The path may reach a volume through a link (a folder given through a
	// symbolic link, say); its resolved form may then match.
	char resolved[PATH_MAX];
	if (realpath(normalized.c_str(), resolved) != nullptr
		&& MatchNative(*table, resolved, path)) {
		return B_OK;
	}
	return B_ENTRY_NOT_FOUND;
}


int32 VolumeTable::CountVolumes()
{
	return int32(CurrentTable()->volumes.size());
}


status_t VolumeTable::GetVolume(dev_t device, Volume* volume)
{
	if (volume == nullptr)
		return B_BAD_VALUE;
	std::shared_ptr<const Table> table = CurrentTable();
	if (device == 0 || device > table->volumes.size())
		return B_BAD_VALUE;
	*volume = table->volumes[device - 1];
	return B_OK;
}


status_t VolumeTable::GetNextVolume(int32* cookie, Volume* volume)
{
	if (cookie == nullptr || volume == nullptr || *cookie < 0)
		return B_BAD_VALUE;
	std::shared_ptr<const Table> table = CurrentTable();
	if (size_t(*cookie) >= table->volumes.size())
		return B_BAD_VALUE;
	*volume = table->volumes[*cookie];
	(*cookie)++;
	return B_OK;
}


dev_t VolumeTable::BootDevice()
{
	return CurrentTable()->volumes.empty() ? 0 : 1;
}


status_t VolumeTable::GetSpace(const Volume& volume, off_t* capacity, off_t* freeBytes)
{
	if (capacity == nullptr || freeBytes == nullptr)
		return B_BAD_VALUE;
	if (volume.fixedSize >= 0) {
		if (!IsFolder(volume.folder))
			return B_DEV_NOT_READY;
		*capacity = volume.fixedSize;
		off_t left = volume.fixedSize - BytesBelow(volume.folder, volume.blockSize);
		if (volume.blockSize > 0)
			left = left / volume.blockSize * volume.blockSize;
		*freeBytes = std::max<off_t>(0, left);
		return B_OK;
	}
	struct statvfs info;
	if (statvfs(volume.folder.c_str(), &info) != 0)
		return StatusFromErrno();
	*capacity = off_t(info.f_blocks) * off_t(info.f_frsize);
	*freeBytes = off_t(info.f_bavail) * off_t(info.f_frsize);
	return B_OK;
}


status_t VolumeTable::Eject(dev_t device, std::string* mediumFolder)
{
	Volume volume;
	status_t status = GetVolume(device, &volume);
	if (status != B_OK)
		return status;
	if (volume.isBoot || !volume.removable)
		return B_NOT_ALLOWED;
	if (mediumFolder != nullptr)
		mediumFolder->clear();
	if (!IsFolderVolume(volume)) {
		status = MorvaneKit::Unmount(volume.folder);
		if (status != B_OK)
			return status;
		// The mount point is a plain folder of the volume above it now; no
		// one may take it for the medium.
		(void)Reload();
		return B_OK;
	}
	if (!IsFolder(volume.folder))
		return B_DEV_NOT_READY;
	std::string medium;
	status = ClaimEjectedMediumFolder(volume.folder, &medium);
	if (status != B_OK)
		return status;
	// Replaces the empty folder just claimed.
	if (rename(volume.folder.c_str(), medium.c_str()) != 0) {
		status = StatusFromErrno();
		rmdir(medium.c_str());
		return status;
	}
	if (mediumFolder != nullptr)
		*mediumFolder = std::move(medium);
	return B_OK;
}


status_t VolumeTable::InsertMedium(dev_t device, const char* mediumFolder)
{
	Volume volume;
	status_t status = GetVolume(device, &volume);
	if (status != B_OK)
		return status;
	if (!volume.removable || !IsFolderVolume(volume))
		return B_NOT_ALLOWED;
	struct stat info;
	if (lstat(volume.folder.c_str(), &info) == 0)
		return B_BUSY;
	if (mediumFolder == nullptr)
		return mkdir(volume.folder.c_str(), 0777) == 0 ? B_OK : StatusFromErrno();
	if (!IsFolder(mediumFolder))
		return B_NOT_A_DIRECTORY;
	return rename(mediumFolder, volume.folder.c_str()) == 0 ? B_OK : StatusFromErrno();
}
