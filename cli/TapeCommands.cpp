#include "TapeCommands.h"

#include <cstdio>

#include "CommandLine.h"
#include "ExitStatus.h"
#include "JsonWriter.h"
#include "MVSCSI.h"
#include "TapeDestination.h"
#include "TapeDriveScan.h"
#include "TerminalText.h"

namespace {

constexpr uint8 kNotReady = 0x2;

class DrivesCommand : public LocalCommand {
public:
	const char* Name() const override { return "drives"; }
	std::string Help() const override
	{
		return "Usage: morvane drives [--json]\n\n"
			"Lists the tape drives: every raw SCSI device that answers as a sequential-access\n"
			"device, with its device path for --tape. The virtual drives of\n"
			"$MORVANE_VTAPE_DIR are listed too (see vtape).\n";
	}
	void Declare(CommandLine* line) const override { line->Flag("json"); }
	bool Check(const CommandLine& line, std::string* error) override
	{
		return CheckListingOptions(line, Name(), &fJson, error);
	}

	int RunLocally() override
	{
		std::vector<TapeDrive> drives = TapeDriveScan::Scan();
		if (fJson) {
			JsonWriter writer(stdout);
			writer.BeginArray();
			for (const TapeDrive& drive : drives) {
				writer.BeginObject();
				writer.Field("device", drive.path);
				writer.Field("name", drive.MenuName());
				writer.Field("vendor", drive.vendor);
				writer.Field("product", drive.product);
				writer.EndObject();
			}
			writer.EndArray();
			writer.Finish();
			return kExitSuccess;
		}
		if (drives.empty())
			printf("No tape drives were found.\n");
		for (const TapeDrive& drive : drives)
			printf("%-28s %s\n", drive.path.c_str(), TerminalText(drive.MenuName()).c_str());
		return kExitSuccess;
	}

private:
	bool fJson = false;
};

class TapeCommand : public LocalCommand {
public:
	const char* Name() const override { return "tape"; }
	std::string Help() const override
	{
		return "Usage: morvane tape status|rewind|eject|retension|erase [--complete] DEVICE\n\n"
			"Works the tape drive DEVICE (see 'morvane drives'):\n"
			"  status     whether a tape is in the drive, write-protected, and where\n"
			"  rewind     to the beginning of the tape\n"
			"  eject      unloads the tape\n"
			"  retension  winds the tape to its end and back\n"
			"  erase      erases the tape from its beginning, every backup on it; quick\n"
			"             (the tape ends at its beginning) unless --complete\n"
			"\nExit status: 0 done, 3 the drive failed or holds no tape, 64 bad arguments.\n";
	}
	void Declare(CommandLine* line) const override { line->Flag("complete"); }
	bool Check(const CommandLine& line, std::string* error) override
	{
		const std::vector<std::string>& operands = line.Operands();
		if (operands.size() != 2) {
			*error = "tape needs an action and a DEVICE";
			return false;
		}
		fAction = operands[0];
		fDevicePath = operands[1];
		fComplete = line.Has("complete");
		for (const char* action : {"status", "rewind", "eject", "retension", "erase"}) {
			if (fAction == action)
				return _CheckDevice(error);
		}
		*error = "unknown tape action '" + fAction + "'";
		return false;
	}

	int RunLocally() override
	{
		MVSCSI device;
		if (device.SetTo(fDevicePath.c_str()) != 0) {
			fprintf(stderr, "morvane: cannot open the drive %s\n", fDevicePath.c_str());
			return kExitFailure;
		}
		if (fAction == "status")
			return _Status(device);
		uint8 status;
		if (fAction == "eject") {
			status = device.LoadUnload(false, false, false, false);
		} else if (fAction == "retension") {
			status = device.LoadUnload(false, false, true, true);
		} else {
			status = device.Rewind();
			if (status == 0 && fAction == "erase")
				status = device.Erase(fComplete, false);
		}
		if (status != 0) {
			fprintf(stderr, "morvane: the drive failed to %s (%s)\n", fAction.c_str(),
				_SenseText(device).c_str());
			return kExitFailure;
		}
		printf("Done: %s on %s.\n", fAction.c_str(), fDevicePath.c_str());
		return kExitSuccess;
	}

private:
	bool _CheckDevice(std::string* error)
	{
		if (TapeDestination::IsDevicePath(fDevicePath))
			return true;
		*error = "'" + fDevicePath + "' names no tape drive (see 'morvane drives')";
		return false;
	}

	int _Status(MVSCSI& device)
	{
		if (device.TestUnitReady() != 0) {
			// TEST UNIT READY takes no sense data; the drive keeps it for
			// REQUEST SENSE.
			uint8 sense[18] = {};
			(void)device.RequestSense(sense, sizeof(sense));
			bool noTape = (sense[2] & 0x0f) == kNotReady;
			if (noTape)
				printf("%s: no tape in the drive\n", fDevicePath.c_str());
			else
				printf("%s: not ready (sense key %u, ASC %02X)\n", fDevicePath.c_str(),
					unsigned(sense[2] & 0x0f), unsigned(sense[12]));
			return noTape ? kExitSuccess : kExitFailure;
		}
		uint8 mode[12] = {};
		bool writeProtected = device.ModeSense(mode, sizeof(mode), 0, 0, false) == 0
			&& (mode[2] & 0x80) != 0;
		uint8 position[20] = {};
		bool known = device.ReadPosition(position, sizeof(position), false, false, false) == 0;
		uint32 block = uint32(position[4]) << 24 | uint32(position[5]) << 16
			| uint32(position[6]) << 8 | position[7];
		printf("%s: a tape is in the drive%s; ", fDevicePath.c_str(),
			writeProtected ? ", write-protected" : "");
		if (known)
			printf("at block %u%s\n", unsigned(block), (position[0] & 0x80) != 0
				? " (its beginning)" : "");
		else
			printf("its position is unknown\n");
		return kExitSuccess;
	}

	static std::string _SenseText(const MVSCSI& device)
	{
		char text[64];
		snprintf(text, sizeof(text), "sense key %u, ASC %02X", unsigned(device.SenseKey()),
			unsigned(device.SenseData()[12]));
		return text;
	}

	std::string fAction;
	std::string fDevicePath;
	bool fComplete = false;
};

}	// namespace

std::unique_ptr<Command> TapeCommands::Make(const std::string& name)
{
	if (name == "drives")
		return std::make_unique<DrivesCommand>();
	if (name == "tape")
		return std::make_unique<TapeCommand>();
	return nullptr;
}
