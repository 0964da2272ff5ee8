#include "ScsiGeneric.h"

#include <dirent.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace MorvaneKit {

namespace ScsiGeneric {

namespace {

constexpr const char* kClassFolder = "/sys/class/scsi_generic";
constexpr bigtime_t kMinute = 60000000;

int SystemIoctl(int fd, sg_io_hdr_t* header)
{
	return ioctl(fd, SG_IO, header);
}

std::atomic<Ioctl> sIoctl{SystemIoctl};

// The least time a command may need on a real drive.
bigtime_t LeastTimeout(const uint8* cdb)
{
	switch (cdb[0]) {
		case 0x01:	// REWIND
		case 0x1b:	// LOAD/UNLOAD
		case 0x11:	// SPACE
		case 0x2b:	// LOCATE
		case 0x10:	// WRITE FILEMARKS
			return 15 * kMinute;
		case 0x19:	// ERASE
			return (cdb[1] & 0x02) != 0 ? 8 * 60 * kMinute : 15 * kMinute;
		case 0x08:	// READ
		case 0x0a:	// WRITE
			return 5 * kMinute;
	}
	return 0;
}

// The sysfs address "H:C:T:L" of an sg device; false when it has none.
bool AddressOf(const std::string& name, int32* host, int32* channel, int32* target,
	int32* lun)
{
	std::string link = std::string(kClassFolder) + "/" + name + "/device";
	char resolved[4096];
	ssize_t length = readlink(link.c_str(), resolved, sizeof(resolved) - 1);
	if (length <= 0)
		return false;
	resolved[length] = '\0';
	const char* leaf = strrchr(resolved, '/');
	leaf = leaf != nullptr ? leaf + 1 : resolved;
	int consumed = 0;
	return sscanf(leaf, "%d:%d:%d:%d%n", host, channel, target, lun, &consumed) == 4
		&& leaf[consumed] == '\0';
}

template<typename Visit>
void ForEachDevice(Visit visit)
{
	DIR* listing = opendir(kClassFolder);
	if (listing == nullptr)
		return;
	while (dirent* entry = readdir(listing)) {
		std::string name = entry->d_name;
		int32 host, channel, target, lun;
		if (name.rfind("sg", 0) == 0 && AddressOf(name, &host, &channel, &target, &lun)
			&& channel == 0)
			visit(name, host, target, lun);
	}
	closedir(listing);
}

}	// namespace

std::string DevicePath(int32 bus, int32 target, int32 lun)
{
	std::string found;
	ForEachDevice([&](const std::string& name, int32 host, int32 deviceTarget, int32 deviceLun) {
		if (host == bus && deviceTarget == target && deviceLun == lun)
			found = "/dev/" + name;
	});
	return found;
}

std::vector<std::string> Devices()
{
	std::vector<std::string> devices;
	ForEachDevice([&](const std::string&, int32 host, int32 target, int32 lun) {
		devices.push_back("/dev/bus/scsi/" + std::to_string(host) + "/" + std::to_string(target)
			+ "/" + std::to_string(lun) + "/raw");
	});
	std::sort(devices.begin(), devices.end());
	return devices;
}

void BuildHeader(raw_device_command* command, sg_io_hdr_t* header)
{
	memset(header, 0, sizeof(*header));
	header->interface_id = 'S';
	header->cmd_len = std::min<uint8>(command->command_length, sizeof(command->command));
	header->cmdp = command->command;
	header->dxfer_len = command->data != nullptr ? unsigned(command->data_length) : 0;
	header->dxferp = header->dxfer_len > 0 ? command->data : nullptr;
	if (header->dxfer_len == 0)
		header->dxfer_direction = SG_DXFER_NONE;
	else if ((command->flags & B_RAW_DEVICE_DATA_IN) != 0)
		header->dxfer_direction = SG_DXFER_FROM_DEV;
	else
		header->dxfer_direction = SG_DXFER_TO_DEV;
	header->mx_sb_len = command->sense_data != nullptr
		? uint8(std::min<size_t>(command->sense_data_length, 255)) : 0;
	header->sbp = header->mx_sb_len > 0 ? static_cast<unsigned char*>(command->sense_data)
		: nullptr;
	bigtime_t timeout = std::max(command->timeout, LeastTimeout(command->command));
	header->timeout = unsigned(std::clamp<bigtime_t>((timeout + 999) / 1000, 1, 0x7fffffff));
}

void TakeResult(const sg_io_hdr_t& header, raw_device_command* command)
{
	// The driver's "sense data follows" (0x08) is no failure of the transport.
	constexpr unsigned short kDriverSense = 0x08;
	constexpr unsigned short kHostTimeout = 0x03;
	command->scsi_status = header.status;
	if (header.host_status == 0 && (header.driver_status & ~kDriverSense) == 0)
		command->cam_status = B_CAM_REQUEST_COMPLETED;
	else if (header.host_status == kHostTimeout)
		command->cam_status = B_CAM_DEVICE_TIMEOUT;
	else
		command->cam_status = B_CAM_REQUEST_FAILED;
	if ((command->flags & B_RAW_DEVICE_REPORT_RESIDUAL) != 0 && header.resid >= 0
		&& size_t(header.resid) <= command->data_length)
		command->data_length -= size_t(header.resid);
}

int Send(int fd, raw_device_command* command)
{
	sg_io_hdr_t header;
	BuildHeader(command, &header);
	int result = sIoctl.load()(fd, &header);
	if (result != 0)
		return -1;
	TakeResult(header, command);
	return 0;
}

Ioctl SetIoctl(Ioctl ioctl)
{
	return sIoctl.exchange(ioctl != nullptr ? ioctl : SystemIoctl);
}

}	// namespace ScsiGeneric

}	// namespace MorvaneKit
