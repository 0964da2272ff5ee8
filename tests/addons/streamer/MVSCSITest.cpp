// The SCSI command layer: the bytes of every command against the SCSI-2
// layouts, the SG_IO request a real drive would get for each, the
// end-of-medium rule, and the commands on the virtual drive.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "MVSCSI.h"
#include "TestFolder.h"
#include "drivers/ScsiGeneric.h"
#include "drivers/VirtualTapeLibrary.h"

namespace {

// What the replaced sender saw, and what it answers.
raw_device_command sSent;
int sSentCount = 0;
uint8 sAnswerStatus = 0;
uint8 sAnswerSense[18] = {};

int Record(int, raw_device_command* command)
{
	sSent = *command;
	sSentCount++;
	command->cam_status = B_CAM_REQUEST_COMPLETED;
	command->scsi_status = sAnswerStatus;
	if (command->sense_data != nullptr && command->sense_data_length >= sizeof(sAnswerSense))
		memcpy(command->sense_data, sAnswerSense, sizeof(sAnswerSense));
	return 0;
}

class MVSCSITest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fEnvironment.emplace("MORVANE_VTAPE_DIR", fFolder.Path());
		MorvaneKit::VirtualTapeLibrary library(fFolder.Path());
		MorvaneKit::VirtualTape::Header header;
		header.capacity = 1 << 20;
		header.earlyWarning = 100 << 10;
		ASSERT_EQ(library.NewTape("t", header), B_OK);
		ASSERT_EQ(library.Load(0, "t"), B_OK);
		ASSERT_EQ(fDevice.SetTo("/dev/bus/scsi/9/0/0/raw"), 0);
		sSentCount = 0;
		sAnswerStatus = 0;
		memset(sAnswerSense, 0, sizeof(sAnswerSense));
	}

	void TearDown() override
	{
		MVSCSI::SetCommandSender(nullptr);
		fDevice.Unset();
		fEnvironment.reset();
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fEnvironment;
	MVSCSI fDevice;
};

}	// namespace

// Each command's bytes, data and direction as the SCSI-2 layouts give them,
// and the SG_IO request the real path builds from the record.
TEST_F(MVSCSITest, CommandBytesAndTheirSgIoRequests)
{
	MVSCSI::SetCommandSender(Record);
	uint8 buffer[64];
	struct Case {
		const char* name;
		std::function<uint8(MVSCSI&)> send;
		std::vector<uint8> cdb;
		size_t dataLength;
		bool in;
		int sgDirection;
		unsigned sgTimeoutMs;
	};
	const Case cases[] = {
		{"TestUnitReady", [](MVSCSI& d) { return d.TestUnitReady(); }, {0x00, 0, 0, 0, 0, 0}, 0,
			true, SG_DXFER_NONE, 1000},
		{"Rewind", [](MVSCSI& d) { return d.Rewind(); }, {0x01, 0, 0, 0, 0, 0}, 0, true,
			SG_DXFER_NONE, 15 * 60000},
		{"RequestSense", [&](MVSCSI& d) { return d.RequestSense(buffer, 18); },
			{0x03, 0, 0, 0, 18, 0}, 18, true, SG_DXFER_FROM_DEV, 1000},
		{"Format", [](MVSCSI& d) { return d.Format(); }, {0x04, 0, 0, 0, 0, 0}, 0, false,
			SG_DXFER_NONE, 1000},
		{"ReadBlockLimits", [&](MVSCSI& d) { return d.ReadBlockLimits(buffer, 6); },
			{0x05, 0, 0, 0, 0, 0}, 6, true, SG_DXFER_FROM_DEV, 1000},
		{"Read", [&](MVSCSI& d) { return d.Read(buffer, 0x30, false, true); },
			{0x08, 0x02, 0x00, 0x00, 0x30, 0}, 0x30, true, SG_DXFER_FROM_DEV, 5 * 60000},
		{"Read fixed", [&](MVSCSI& d) { return d.Read(buffer, 0x12, true, false); },
			{0x08, 0x01, 0x00, 0x00, 0x12, 0}, 0x12, true, SG_DXFER_FROM_DEV, 5 * 60000},
		{"Write", [&](MVSCSI& d) { return d.Write(buffer, 0x20, false); },
			{0x0a, 0, 0x00, 0x00, 0x20, 0}, 0x20, false, SG_DXFER_TO_DEV, 5 * 60000},
		{"WriteFilemarks 300", [](MVSCSI& d) { return d.WriteFilemarks(300, true, true); },
			{0x10, 0x03, 0, 0, 300 & 0xff, 0}, 0, false, SG_DXFER_NONE, 15 * 60000},
		{"Space -1 blocks", [](MVSCSI& d) { return d.Space(-1, 0); },
			{0x11, 0x00, 0xff, 0xff, 0xff, 0}, 0, true, SG_DXFER_NONE, 15 * 60000},
		{"Space 0x10203 filemarks", [](MVSCSI& d) { return d.Space(0x10203, 9); },
			{0x11, 0x01, 0x01, 0x02, 0x03, 0}, 0, true, SG_DXFER_NONE, 15 * 60000},
		{"Inquiry", [&](MVSCSI& d) { return d.Inquiry(buffer, 36, 0x80, true, true); },
			{0x12, 0x03, 0x80, 0, 36, 0}, 36, true, SG_DXFER_FROM_DEV, 1000},
		{"ModeSelect", [&](MVSCSI& d) { return d.ModeSelect(buffer, 12, true, true); },
			{0x15, 0x11, 0, 0, 12, 0}, 12, false, SG_DXFER_TO_DEV, 1000},
		{"Erase long", [](MVSCSI& d) { return d.Erase(true, false); }, {0x19, 0x02, 0, 0, 0, 0},
			0, false, SG_DXFER_NONE, 8 * 60 * 60000},
		{"Erase short", [](MVSCSI& d) { return d.Erase(false, true); }, {0x19, 0x01, 0, 0, 0, 0},
			0, false, SG_DXFER_NONE, 15 * 60000},
		{"ModeSense", [&](MVSCSI& d) { return d.ModeSense(buffer, 12, 0x4f, 2, true); },
			{0x1a, 0x08, 0x8f, 0, 12, 0}, 12, true, SG_DXFER_FROM_DEV, 1000},
		{"LoadUnload", [](MVSCSI& d) { return d.LoadUnload(true, true, true, true); },
			{0x1b, 0x01, 0, 0, 0x07, 0}, 0, false, SG_DXFER_NONE, 15 * 60000},
		{"Locate", [](MVSCSI& d) { return d.Locate(0x01020304, 5, true, true, true); },
			{0x2b, 0x07, 0, 0x01, 0x02, 0x03, 0x04, 0, 5, 0}, 0, true, SG_DXFER_NONE, 15 * 60000},
		{"ReadPosition", [&](MVSCSI& d) { return d.ReadPosition(buffer, 20, true, true, true); },
			{0x34, 0x07, 0, 0, 0, 0, 0, 0, 0, 0}, 20, true, SG_DXFER_FROM_DEV, 1000},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.name);
		int before = sSentCount;
		EXPECT_EQ(test.send(fDevice), 0);
		ASSERT_EQ(sSentCount, before + 1);
		ASSERT_EQ(sSent.command_length, test.cdb.size());
		EXPECT_EQ(std::vector<uint8>(sSent.command, sSent.command + test.cdb.size()), test.cdb);
		for (size_t i = test.cdb.size(); i < 16; i++)
			EXPECT_EQ(sSent.command[i], 0) << i;
		EXPECT_EQ(sSent.data_length, test.dataLength);
		EXPECT_EQ((sSent.flags & B_RAW_DEVICE_DATA_IN) != 0, test.in);
		EXPECT_EQ(sSent.timeout, 1000000);
		EXPECT_EQ(sSent.sense_data_length, test.cdb[0] == 0x00 ? 0u : 255u);

		sg_io_hdr_t header;
		MorvaneKit::ScsiGeneric::BuildHeader(&sSent, &header);
		EXPECT_EQ(header.interface_id, 'S');
		EXPECT_EQ(header.cmd_len, test.cdb.size());
		EXPECT_EQ(header.cmdp, sSent.command);
		EXPECT_EQ(header.dxfer_direction, test.sgDirection);
		EXPECT_EQ(header.dxfer_len, test.dataLength);
		EXPECT_EQ(header.mx_sb_len, test.cdb[0] == 0x00 ? 0 : 255);
		EXPECT_EQ(header.timeout, test.sgTimeoutMs);
	}
	EXPECT_EQ(fDevice.ModeSense(buffer, 12, 0, 0, false), 0);
	EXPECT_NE(sSent.flags & B_RAW_DEVICE_SHORT_READ_VALID, 0);
}

// A write that ends in the early-warning zone succeeds and makes the device
// full; any other sense key keeps the status; SetTo and Format clear the
// flag; a closed object sends nothing.
TEST_F(MVSCSITest, EndOfMediumRuleAndClosedDevice)
{
	MVSCSI::SetCommandSender(Record);
	uint8 data[4] = {};
	struct Case {
		uint8 key;
		bool endOfMedium;
		uint8 status;
		bool full;
	};
	const Case cases[] = {
		{0x0, true, 0, true},
		{0x1, true, 0, true},
		{0x3, true, 2, false},
		{0xd, true, 2, false},
		{0x0, false, 2, false},
		{0x7, false, 2, false},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(int(test.key));
		for (bool filemarks : {false, true}) {
			ASSERT_EQ(fDevice.SetTo("/dev/bus/scsi/9/0/0/raw"), 0);
			EXPECT_FALSE(fDevice.IsFull());
			sAnswerStatus = 2;
			memset(sAnswerSense, 0, sizeof(sAnswerSense));
			sAnswerSense[0] = 0x70;
			sAnswerSense[2] = uint8(test.key | (test.endOfMedium ? 0x40 : 0));
			uint8 status = filemarks ? fDevice.WriteFilemarks(1, false, false)
				: fDevice.Write(data, sizeof(data), false);
			EXPECT_EQ(status, test.status);
			EXPECT_EQ(fDevice.IsFull(), test.full);
		}
	}
	sAnswerStatus = 0;
	EXPECT_EQ(fDevice.Format(), 0);
	EXPECT_FALSE(fDevice.IsFull());

	fDevice.Unset();
	EXPECT_EQ(fDevice.InitCheck(), B_NO_INIT);
	int before = sSentCount;
	EXPECT_EQ(fDevice.TestUnitReady(), 2);
	EXPECT_EQ(fDevice.Write(data, sizeof(data), false), 2);
	EXPECT_EQ(fDevice.Space(1, 1), 2);
	EXPECT_EQ(sSentCount, before);
	EXPECT_EQ(fDevice.SetTo(nullptr), -1);
	EXPECT_EQ(fDevice.SetTo("/dev/bus/scsi/9/7/0/raw"), -1);
}

// On the virtual drive: blocks written come back, a filemark stops a read,
// and the early-warning zone makes the device full without failing the
// write.
TEST_F(MVSCSITest, WorksTheVirtualDrive)
{
	EXPECT_EQ(fDevice.TestUnitReady(), 0);
	uint8 inquiry[36] = {};
	ASSERT_EQ(fDevice.Inquiry(inquiry, sizeof(inquiry), 0, false, false), 0);
	EXPECT_EQ(inquiry[0], 1);
	std::vector<uint8> block(60000, 7);
	int written = 0;
	while (!fDevice.IsFull() && written < 100) {
		ASSERT_EQ(fDevice.Write(block.data(), block.size(), false), 0) << written;
		written++;
	}
	EXPECT_TRUE(fDevice.IsFull());
	EXPECT_EQ(written, 16);
	ASSERT_EQ(fDevice.WriteFilemarks(1, false, false), 0);
	ASSERT_EQ(fDevice.Rewind(), 0);
	std::vector<uint8> read(60000);
	ASSERT_EQ(fDevice.Read(read.data(), read.size(), false, false), 0);
	EXPECT_EQ(read, block);
	ASSERT_EQ(fDevice.Space(written - 1, 0), 0);
	EXPECT_EQ(fDevice.Read(read.data(), read.size(), false, false), 2);
	EXPECT_NE(fDevice.SenseData()[2] & 0x80, 0);
}

// The diagnostic trace goes to the user's state folder, a block per
// operation.
TEST_F(MVSCSITest, TraceGoesToTheStateFolder)
{
	ScopedEnv state("XDG_STATE_HOME", fFolder.Path() + "/state");
	fDevice.SetTrace(true);
	EXPECT_EQ(fDevice.Space(-2, 0), 2);
	std::string trace = ReadWholeFile(fFolder.Path() + "/state/morvane/mvscsi.log").value_or("");
	EXPECT_NE(trace.find("\n---- DoCommand ----------\nCommand: 0x11\n"), std::string::npos)
		<< trace;
	EXPECT_NE(trace.find("\n---- Space ----------\nStatus: 2\nCount = -2\nCode = 0\n"),
		std::string::npos) << trace;
	EXPECT_NE(trace.find("Datalen: 255\n\n0000: 0xf0 "), std::string::npos) << trace;
}
