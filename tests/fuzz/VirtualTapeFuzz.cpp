// Feeds arbitrary bytes to the virtual tape drive as the records of a tape
// file (the magic is set, the rest is as it comes), then reads, spaces and
// locates over them as the streamer would. Whatever the file holds, every
// command answers, and a position it reports lies on the tape.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <drivers/scsi.h>
#include <support/Errors.h>

#include "drivers/VirtualTapeLibrary.h"

namespace {

std::string sFolder;

// The folder goes when the process ends.
void RemoveFolder()
{
	MorvaneKit::VirtualTapeLibrary library(sFolder);
	unlink(library.TapePath("fuzz").c_str());
	unlink(library.DrivePath(0).c_str());
	rmdir(sFolder.c_str());
}

const std::string& Folder()
{
	if (sFolder.empty()) {
		char pattern[] = "/tmp/morvane-vtape-fuzz-XXXXXX";
		const char* made = mkdtemp(pattern);
		if (made == nullptr)
			abort();
		sFolder = made;
		setenv("MORVANE_VTAPE_DIR", made, 1);
		atexit(RemoveFolder);
	}
	return sFolder;
}

uint8 Send(int device, std::vector<uint8> cdb, std::vector<uint8>* data, bool in)
{
	raw_device_command command = {};
	memcpy(command.command, cdb.data(), cdb.size());
	command.command_length = uint8(cdb.size());
	command.data = data->empty() ? nullptr : data->data();
	command.data_length = data->size();
	command.flags = in ? B_RAW_DEVICE_DATA_IN : 0;
	uint8 sense[18];
	command.sense_data = sense;
	command.sense_data_length = sizeof(sense);
	if (raw_device_ioctl(device, B_RAW_DEVICE_COMMAND, &command, sizeof(command)) != 0
		|| command.cam_status != B_CAM_REQUEST_COMPLETED)
		abort();
	return command.scsi_status;
}

}	// namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	const std::string& folder = Folder();
	MorvaneKit::VirtualTapeLibrary library(folder);
	std::string path = library.TapePath("fuzz");
	std::vector<uint8> bytes(data, data + size);
	if (bytes.size() >= 8)
		memcpy(bytes.data(), "MVVTAPE1", 8);
	int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
	if (file < 0 || write(file, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
		abort();
	close(file);
	if (library.Load(0, "fuzz") != B_OK)
		return 0;
	int device = open_raw_device("/dev/bus/scsi/9/0/0/raw", 0);
	if (device < 0)
		abort();
	std::vector<uint8> none;
	std::vector<uint8> block(70000);
	std::vector<uint8> position(20);
	const std::vector<std::vector<uint8>> commands = {
		{0x08, 0, 0x01, 0x11, 0x70, 0},          // READ 70000
		{0x08, 0x02, 0x00, 0x00, 0x10, 0},       // READ 16, SILI
		{0x11, 0x00, 0x00, 0x00, 0x03, 0},       // SPACE 3 blocks
		{0x11, 0x01, 0xff, 0xff, 0xfe, 0},       // SPACE -2 filemarks
		{0x11, 0x03, 0, 0, 0, 0},                // SPACE to end of data
		{0x11, 0x00, 0xff, 0xff, 0xf0, 0},       // SPACE -16 blocks
		{0x2b, 0, 0, 0, 0, 0, 5, 0, 0, 0},       // LOCATE 5
	};
	for (const std::vector<uint8>& cdb : commands) {
		(void)Send(device, cdb, cdb[0] == 0x08 ? &block : &none, true);
		if (Send(device, {0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, &position, true) != 0)
			abort();
	}
	std::vector<uint8> small(100, 1);
	(void)Send(device, {0x0a, 0, 0, 0, 100, 0}, &small, false);
	(void)Send(device, {0x10, 0, 0, 0, 2, 0}, &none, false);
	close_raw_device(device);
	return 0;
}
