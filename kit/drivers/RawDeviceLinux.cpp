// The raw device calls of <drivers/scsi.h>: which descriptor is which
// device, and where its commands go.

#include <drivers/scsi.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "ScsiGeneric.h"
#include "VirtualTapeDrive.h"

using namespace MorvaneKit;

namespace {

// The devices open in this process: a virtual drive's handle, or null for
// an sg device.
std::mutex sLock;
std::unordered_map<int, std::shared_ptr<VirtualTapeDrive>> sDevices;

int OpenVirtual(int32 drive, int32 lun)
{
	std::string folder;
	if (lun != 0 || drive >= VirtualTapeLibrary::kMaxDrives
		|| !VirtualTapeLibrary::GetFolder(&folder)) {
		errno = ENOENT;
		return -1;
	}
	VirtualTapeLibrary library(folder);
	int fd = open(library.DrivePath(drive).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
	if (fd < 0)
		return -1;
	std::lock_guard<std::mutex> guard(sLock);
	sDevices[fd] = std::make_shared<VirtualTapeDrive>(folder, fd);
	return fd;
}

// The open device behind fd: its virtual drive, or null for an sg device.
// False, with errno EBADF, for a descriptor that is no open device; with
// forget, it is one no more.
bool FindDevice(int fd, bool forget, std::shared_ptr<VirtualTapeDrive>* drive)
{
	std::lock_guard<std::mutex> guard(sLock);
	auto found = sDevices.find(fd);
	if (found == sDevices.end()) {
		errno = EBADF;
		return false;
	}
	*drive = found->second;
	if (forget)
		sDevices.erase(found);
	return true;
}

}	// namespace

bool parse_raw_device_path(const char* path, int32* bus, int32* target, int32* lun)
{
	if (path == nullptr)
		return false;
	int consumed = 0;
	return sscanf(path, "/dev/bus/scsi/%d/%d/%d/raw%n", bus, target, lun, &consumed) == 3
		&& path[consumed] == '\0' && *bus >= 0 && *target >= 0 && *lun >= 0;
}

int open_raw_device(const char* path, int flags)
{
	int32 bus, target, lun;
	if (!parse_raw_device_path(path, &bus, &target, &lun)) {
		errno = ENOENT;
		return -1;
	}
	if (bus == VirtualTapeLibrary::kBus)
		return OpenVirtual(target, lun);
	std::string device = ScsiGeneric::DevicePath(bus, target, lun);
	if (device.empty()) {
		errno = ENOENT;
		return -1;
	}
	// SG_IO sends any command only on a descriptor opened for writing.
	(void)flags;
	int fd = open(device.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return -1;
	std::lock_guard<std::mutex> guard(sLock);
	sDevices[fd] = nullptr;
	return fd;
}

int close_raw_device(int fd)
{
	std::shared_ptr<VirtualTapeDrive> drive;
	if (!FindDevice(fd, true, &drive))
		return -1;
	// A virtual drive writes what it holds and closes its state file when
	// its last command is done.
	return drive != nullptr ? 0 : close(fd);
}

int raw_device_ioctl(int fd, uint32 op, void* buffer, size_t length)
{
	if (op != B_RAW_DEVICE_COMMAND || buffer == nullptr || length < sizeof(raw_device_command)) {
		errno = EINVAL;
		return -1;
	}
	std::shared_ptr<VirtualTapeDrive> drive;
	if (!FindDevice(fd, false, &drive))
		return -1;
	auto* command = static_cast<raw_device_command*>(buffer);
	if (drive == nullptr)
		return ScsiGeneric::Send(fd, command);
	drive->Execute(command);
	return 0;
}

std::vector<std::string> list_raw_devices()
{
	std::vector<std::string> devices = ScsiGeneric::Devices();
	std::string folder;
	if (VirtualTapeLibrary::GetFolder(&folder)) {
		for (int32 drive : VirtualTapeLibrary(folder).Drives()) {
			devices.push_back("/dev/bus/scsi/" + std::to_string(VirtualTapeLibrary::kBus) + "/"
				+ std::to_string(drive) + "/0/raw");
		}
	}
	return devices;
}
