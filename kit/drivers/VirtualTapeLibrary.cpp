#include "VirtualTapeLibrary.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <support/Errors.h>

namespace MorvaneKit {

namespace {

constexpr const char* kTapeExtension = ".vtape";
constexpr size_t kStateFileSize = 512;

}	// namespace

bool VirtualTapeLibrary::GetFolder(std::string* folder)
{
	const char* value = getenv("MORVANE_VTAPE_DIR");
	if (value == nullptr || value[0] == '\0')
		return false;
	*folder = value;
	return true;
}

bool VirtualTapeLibrary::IsTapeName(const std::string& name)
{
	return !name.empty() && name.size() < 200 && name[0] != '.'
		&& name.find('/') == std::string::npos && name.find('\n') == std::string::npos;
}

std::string VirtualTapeLibrary::TapePath(const std::string& name) const
{
	return fFolder + "/" + name + kTapeExtension;
}

std::string VirtualTapeLibrary::DrivePath(int32 drive) const
{
	return fFolder + "/drive" + std::to_string(drive) + ".state";
}

std::vector<int32> VirtualTapeLibrary::Drives() const
{
	std::vector<int32> drives;
	for (int32 drive = 0; drive < kMaxDrives; drive++) {
		if (access(DrivePath(drive).c_str(), F_OK) == 0)
			drives.push_back(drive);
	}
	return drives;
}

std::vector<std::string> VirtualTapeLibrary::Tapes() const
{
	std::vector<std::string> tapes;
	DIR* listing = opendir(fFolder.c_str());
	if (listing == nullptr)
		return tapes;
	size_t extension = strlen(kTapeExtension);
	while (dirent* entry = readdir(listing)) {
		std::string name = entry->d_name;
		if (name.size() > extension
			&& name.compare(name.size() - extension, extension, kTapeExtension) == 0) {
			name.resize(name.size() - extension);
			if (IsTapeName(name))
				tapes.push_back(name);
		}
	}
	closedir(listing);
	std::sort(tapes.begin(), tapes.end());
	return tapes;
}

status_t VirtualTapeLibrary::NewTape(const std::string& name, const VirtualTape::Header& header)
{
	if (!IsTapeName(name))
		return B_BAD_VALUE;
	return VirtualTape::Create(TapePath(name), header);
}

status_t VirtualTapeLibrary::Load(int32 drive, const std::string& name)
{
	if (!IsTapeName(name))
		return B_BAD_VALUE;
	VirtualTape tape;
	status_t status = tape.Open(TapePath(name));
	if (status != B_OK)
		return status;
	TapeDriveState state;
	state.tape = name;
	return _SetState(drive, state);
}

status_t VirtualTapeLibrary::Unload(int32 drive)
{
	return _SetState(drive, TapeDriveState());
}

status_t VirtualTapeLibrary::_SetState(int32 drive, const TapeDriveState& state)
{
	if (drive < 0 || drive >= kMaxDrives)
		return B_BAD_VALUE;
	int fd = open(DrivePath(drive).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
	if (fd < 0)
		return StatusFromErrno();
	bool written = flock(fd, LOCK_EX) == 0 && WriteStateFile(fd, state);
	close(fd);
	return written ? B_OK : B_IO_ERROR;
}

status_t VirtualTapeLibrary::GetState(int32 drive, TapeDriveState* state) const
{
	if (drive < 0 || drive >= kMaxDrives)
		return B_BAD_VALUE;
	int fd = open(DrivePath(drive).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
	if (fd < 0)
		return StatusFromErrno();
	bool read = flock(fd, LOCK_SH) == 0 && ReadStateFile(fd, state);
	close(fd);
	return read ? B_OK : B_BAD_DATA;
}

std::string VirtualTapeLibrary::FormatState(const TapeDriveState& state)
{
	std::string text;
	if (!state.tape.empty())
		text += "tape " + state.tape + "\n";
	text += "offset " + std::to_string(state.offset) + "\n";
	text += "block " + std::to_string(state.block) + "\n";
	text += "blocklength " + std::to_string(state.blockLength) + "\n";
	return text;
}

bool VirtualTapeLibrary::ParseState(const std::string& text, TapeDriveState* state)
{
	*state = TapeDriveState();
	std::istringstream lines(text);
	std::string line;
	while (std::getline(lines, line)) {
		if (line.empty())
			continue;
		size_t space = line.find(' ');
		if (space == std::string::npos)
			return false;
		std::string key = line.substr(0, space);
		std::string value = line.substr(space + 1);
		if (key == "tape") {
			if (!IsTapeName(value))
				return false;
			state->tape = value;
			continue;
		}
		char* end = nullptr;
		errno = 0;
		unsigned long long number = strtoull(value.c_str(), &end, 10);
		if (value.empty() || *end != '\0' || errno != 0)
			return false;
		if (key == "offset" && number >= VirtualTape::kFirstRecord)
			state->offset = number;
		else if (key == "block")
			state->block = number;
		else if (key == "blocklength" && number <= VirtualTape::kMaxBlock)
			state->blockLength = uint32(number);
		else
			return false;
	}
	return true;
}

bool VirtualTapeLibrary::ReadStateFile(int fd, TapeDriveState* state)
{
	std::string text(kStateFileSize, '\0');
	ssize_t got = pread(fd, text.data(), text.size(), 0);
	text.resize(got > 0 ? size_t(got) : 0);
	if (text.find('\0') != std::string::npos)
		return false;
	// The padding begins at the first empty line.
	size_t end = text.find("\n\n");
	if (end != std::string::npos)
		text.resize(end + 1);
	return ParseState(text, state);
}

bool VirtualTapeLibrary::WriteStateFile(int fd, const TapeDriveState& state)
{
	std::string text = FormatState(state);
	if (text.size() > kStateFileSize)
		return false;
	// Only the first kStateFileSize bytes are ever read.
	text.resize(kStateFileSize, '\n');
	return pwrite(fd, text.data(), text.size(), 0) == ssize_t(text.size());
}

}	// namespace MorvaneKit
