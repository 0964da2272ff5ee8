// vtape: changes the tapes of the virtual tape drives in $MORVANE_VTAPE_DIR,
// as a user changes cartridges in a real drive.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <support/Errors.h>

#include "drivers/VirtualTapeLibrary.h"

using MorvaneKit::TapeDriveState;
using MorvaneKit::VirtualTapeLibrary;

namespace {

constexpr int kUsage = 64;
constexpr int kFailure = 1;

void PrintUsage(FILE* out)
{
	fprintf(out,
		"Usage: vtape COMMAND [ARGUMENTS]\n\n"
		"Changes the tapes of the virtual tape drives in $MORVANE_VTAPE_DIR. The drives\n"
		"are the SCSI devices /dev/bus/scsi/9/N/0/raw.\n\n"
		"  list                       the tapes, and the drives with the tape in each\n"
		"  new NAME --size BYTES [--early-warning BYTES] [--protect] [--bad-at BYTES]\n"
		"                             a blank tape; sizes may end in K, M or G\n"
		"                             (early warning: the last 5%% of the tape, at\n"
		"                             least 1M, at most half of it); --bad-at makes\n"
		"                             the medium fail (MEDIUM ERROR) at that byte\n"
		"  load NAME [--drive N]      puts a tape into a drive (drive 0 by default),\n"
		"                             at its beginning; makes the drive when missing\n"
		"  unload [--drive N]         takes the tape out of the drive\n"
		"  protect NAME | unprotect NAME\n"
		"                             moves a tape's write-protect tab\n");
}

int Fail(const std::string& message)
{
	fprintf(stderr, "vtape: %s\n", message.c_str());
	return kFailure;
}

bool ParseSize(const char* text, uint64* size)
{
	char* end = nullptr;
	errno = 0;
	unsigned long long value = strtoull(text, &end, 10);
	if (end == text || errno != 0)
		return false;
	uint64 unit = 1;
	if (*end == 'K' || *end == 'k')
		unit = 1024;
	else if (*end == 'M' || *end == 'm')
		unit = 1024 * 1024;
	else if (*end == 'G' || *end == 'g')
		unit = 1024 * 1024 * 1024;
	if (unit != 1)
		end++;
	if (*end != '\0' || value > UINT64_MAX / unit)
		return false;
	*size = value * unit;
	return true;
}

// The options after the command: "--name value" pairs and flags.
struct Options {
	std::vector<std::string> operands;
	std::string size;
	std::string earlyWarning;
	std::string badAt;
	std::string drive = "0";
	bool protect = false;

	bool Parse(int argc, char** argv)
	{
		for (int i = 2; i < argc; i++) {
			std::string argument = argv[i];
			std::string* value = argument == "--size" ? &size
				: argument == "--early-warning" ? &earlyWarning
				: argument == "--bad-at" ? &badAt
				: argument == "--drive" ? &drive : nullptr;
			if (value != nullptr) {
				if (++i >= argc)
					return false;
				*value = argv[i];
			} else if (argument == "--protect") {
				protect = true;
			} else if (argument.rfind("--", 0) == 0) {
				return false;
			} else {
				operands.push_back(argument);
			}
		}
		return true;
	}

	bool Drive(int32* number) const
	{
		char* end = nullptr;
		long value = strtol(drive.c_str(), &end, 10);
		if (drive.empty() || *end != '\0' || value < 0
			|| value >= VirtualTapeLibrary::kMaxDrives)
			return false;
		*number = int32(value);
		return true;
	}
};

int List(const VirtualTapeLibrary& library)
{
	for (const std::string& name : library.Tapes()) {
		MorvaneKit::VirtualTape tape;
		if (tape.Open(library.TapePath(name)) != B_OK) {
			printf("tape %s: not a tape file\n", name.c_str());
			continue;
		}
		const MorvaneKit::VirtualTape::Header& header = tape.GetHeader();
		printf("tape %s: %llu of %llu bytes used%s\n", name.c_str(),
			(unsigned long long)MorvaneKit::VirtualTape::Used(tape.End()),
			(unsigned long long)header.capacity, header.writeProtected ? ", write-protected" : "");
	}
	for (int32 drive : library.Drives()) {
		TapeDriveState state;
		if (library.GetState(drive, &state) != B_OK)
			printf("drive %d: state unreadable\n", int(drive));
		else if (state.tape.empty())
			printf("drive %d (/dev/bus/scsi/9/%d/0/raw): empty\n", int(drive), int(drive));
		else
			printf("drive %d (/dev/bus/scsi/9/%d/0/raw): %s, block %llu\n", int(drive), int(drive),
				state.tape.c_str(), (unsigned long long)state.block);
	}
	return 0;
}

int New(VirtualTapeLibrary& library, const Options& options)
{
	MorvaneKit::VirtualTape::Header header;
	if (options.operands.size() != 1 || !ParseSize(options.size.c_str(), &header.capacity)
		|| header.capacity == 0)
		return PrintUsage(stderr), kUsage;
	// A real drive warns megabytes ahead; a tape's last blocks, the buffers
	// of the writer and the closing records must fit behind the warning.
	header.earlyWarning = std::min(std::max<uint64>(header.capacity / 20, 1 << 20),
		header.capacity / 2);
	if (!options.earlyWarning.empty()
		&& (!ParseSize(options.earlyWarning.c_str(), &header.earlyWarning)
			|| header.earlyWarning >= header.capacity))
		return PrintUsage(stderr), kUsage;
	header.writeProtected = options.protect;
	if (!options.badAt.empty()) {
		uint64 badAt = 0;
		if (!ParseSize(options.badAt.c_str(), &badAt) || badAt >= header.capacity)
			return PrintUsage(stderr), kUsage;
		// Counted in bytes of records, as the capacity is.
		header.badAt = badAt + MorvaneKit::VirtualTape::kFirstRecord;
	}
	status_t status = library.NewTape(options.operands[0], header);
	if (status != B_OK)
		return Fail("cannot make tape " + options.operands[0] + ": " + strerror_status(status));
	return 0;
}

int Protect(VirtualTapeLibrary& library, const Options& options, bool protect)
{
	if (options.operands.size() != 1 || !VirtualTapeLibrary::IsTapeName(options.operands[0]))
		return PrintUsage(stderr), kUsage;
	MorvaneKit::VirtualTape tape;
	status_t status = tape.Open(library.TapePath(options.operands[0]));
	if (status == B_OK)
		status = tape.SetWriteProtected(protect);
	if (status != B_OK)
		return Fail("cannot change tape " + options.operands[0] + ": " + strerror_status(status));
	return 0;
}

}	// namespace

int main(int argc, char** argv)
{
	if (argc < 2 || strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "help") == 0) {
		PrintUsage(argc < 2 ? stderr : stdout);
		return argc < 2 ? kUsage : 0;
	}
	std::string folder;
	if (!VirtualTapeLibrary::GetFolder(&folder))
		return Fail("MORVANE_VTAPE_DIR names no folder");
	if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
		return Fail("cannot make " + folder + ": " + strerror(errno));
	VirtualTapeLibrary library(folder);
	Options options;
	int32 drive = 0;
	std::string command = argv[1];
	if (!options.Parse(argc, argv) || !options.Drive(&drive))
		return PrintUsage(stderr), kUsage;

	if (command == "list" && options.operands.empty())
		return List(library);
	if (command == "new")
		return New(library, options);
	if (command == "protect" || command == "unprotect")
		return Protect(library, options, command == "protect");
	if (command == "load" && options.operands.size() == 1) {
		status_t status = library.Load(drive, options.operands[0]);
		if (status != B_OK)
			return Fail("cannot load tape " + options.operands[0] + ": " + strerror_status(status));
		return 0;
	}
	if (command == "unload" && options.operands.empty()) {
		status_t status = library.Unload(drive);
		return status == B_OK ? 0 : Fail(std::string("cannot unload: ") + strerror_status(status));
	}
	PrintUsage(stderr);
	return kUsage;
}
