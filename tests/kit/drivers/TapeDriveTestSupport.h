#pragma once

// A virtual tape drive in a test folder, and its commands as a drive's
// user sends them: raw command records through the kit's raw device calls.

#include <drivers/scsi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "TestFolder.h"
#include <support/Errors.h>

#include "drivers/VirtualTapeLibrary.h"

struct CommandResult {
	uint8 status = 0xff;
	uint8 sense[18] = {};
	std::vector<uint8> data;

	uint8 SenseKey() const { return sense[2] & 0x0f; }
	bool Filemark() const { return (sense[2] & 0x80) != 0; }
	bool EndOfMedium() const { return (sense[2] & 0x40) != 0; }
	bool IncorrectLength() const { return (sense[2] & 0x20) != 0; }
	int32 Information() const
	{
		return int32(uint32(sense[3]) << 24 | uint32(sense[4]) << 16 | uint32(sense[5]) << 8
			| sense[6]);
	}
	uint8 Asc() const { return sense[12]; }
};

class TapeDriveTest : public ::testing::Test {
protected:
	static constexpr const char* kDevice = "/dev/bus/scsi/9/0/0/raw";

	void SetUp() override
	{
		fEnvironment.emplace("MORVANE_VTAPE_DIR", fFolder.Path());
		fLibrary.emplace(fFolder.Path());
		ASSERT_EQ(fLibrary->Unload(0), B_OK);
		fDevice = open_raw_device(kDevice, 0);
		ASSERT_GE(fDevice, 0);
	}

	void TearDown() override
	{
		if (fDevice >= 0)
			close_raw_device(fDevice);
		fEnvironment.reset();
	}

	void NewTape(const std::string& name, uint64 capacity, uint64 earlyWarning,
		uint64 badAt = 0)
	{
		MorvaneKit::VirtualTape::Header header;
		header.capacity = capacity;
		header.earlyWarning = earlyWarning;
		header.badAt = badAt;
		ASSERT_EQ(fLibrary->NewTape(name, header), B_OK);
	}

	// Sends a command of up to ten CDB bytes; data goes out when out is
	// given, else up to dataIn bytes come in.
	CommandResult Send(std::vector<uint8> cdb, size_t dataIn = 0,
		const std::vector<uint8>& out = {}, int device = -1)
	{
		raw_device_command command = {};
		memcpy(command.command, cdb.data(), std::min<size_t>(cdb.size(), 16));
		command.command_length = uint8(cdb.size());
		CommandResult result;
		std::vector<uint8> buffer = out.empty() ? std::vector<uint8>(dataIn) : out;
		command.data = buffer.empty() ? nullptr : buffer.data();
		command.data_length = buffer.size();
		command.flags = out.empty() ? B_RAW_DEVICE_DATA_IN | B_RAW_DEVICE_REPORT_RESIDUAL : 0;
		command.sense_data = result.sense;
		command.sense_data_length = sizeof(result.sense);
		command.timeout = 1000000;
		EXPECT_EQ(raw_device_ioctl(device >= 0 ? device : fDevice, B_RAW_DEVICE_COMMAND,
			&command, sizeof(command)), 0);
		EXPECT_EQ(command.cam_status, B_CAM_REQUEST_COMPLETED);
		result.status = command.scsi_status;
		if (out.empty()) {
			buffer.resize(std::min(buffer.size(), command.data_length));
			result.data = buffer;
		}
		return result;
	}

	static std::vector<uint8> Length24(uint8 opcode, uint8 byte1, uint32 length)
	{
		return {opcode, byte1, uint8(length >> 16), uint8(length >> 8), uint8(length), 0};
	}

	CommandResult Write(const std::string& data)
	{
		return Send(Length24(0x0a, 0, uint32(data.size())), 0,
			std::vector<uint8>(data.begin(), data.end()));
	}
	CommandResult Read(uint32 length, bool suppress = false)
	{
		return Send(Length24(0x08, suppress ? 0x02 : 0, length), length);
	}
	CommandResult Space(int32 count, uint8 code)
	{
		return Send(Length24(0x11, code, uint32(count) & 0xffffff));
	}
	CommandResult Filemarks(uint32 count) { return Send(Length24(0x10, 0, count)); }
	CommandResult Rewind() { return Send({0x01, 0, 0, 0, 0, 0}); }
	uint32 Position()
	{
		CommandResult result = Send({0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 20);
		EXPECT_EQ(result.status, 0);
		if (result.data.size() < 12)
			return ~0u;
		return uint32(result.data[4]) << 24 | uint32(result.data[5]) << 16
			| uint32(result.data[6]) << 8 | result.data[7];
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fEnvironment;
	std::optional<MorvaneKit::VirtualTapeLibrary> fLibrary;
	int fDevice = -1;
};
