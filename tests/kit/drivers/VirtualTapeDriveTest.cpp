// The virtual tape drive answers as a sequential-access drive does, with
// the sense data a drive sends.

#include "TapeDriveTestSupport.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

namespace {

constexpr uint8 kCheck = 2;
constexpr uint8 kNotReady = 2;
constexpr uint8 kMediumError = 3;
constexpr uint8 kIllegalRequest = 5;
constexpr uint8 kDataProtect = 7;
constexpr uint8 kBlankCheck = 8;
constexpr uint8 kVolumeOverflow = 0xd;

std::string Text(const CommandResult& result)
{
	return std::string(result.data.begin(), result.data.end());
}

}	// namespace

// Without a tape the drive is not ready, but says what it is.
TEST_F(TapeDriveTest, EmptyDriveIdentifiesItselfAndIsNotReady)
{
	CommandResult ready = Send({0x00, 0, 0, 0, 0, 0});
	EXPECT_EQ(ready.status, kCheck);
	EXPECT_EQ(ready.SenseKey(), kNotReady);
	EXPECT_EQ(ready.Asc(), 0x3a);
	for (std::vector<uint8> cdb : {Length24(0x08, 0, 10), Length24(0x11, 0, 1),
			std::vector<uint8>{0x01, 0, 0, 0, 0, 0}, std::vector<uint8>{0x1b, 0, 0, 0, 1, 0}})
		EXPECT_EQ(Send(cdb, 10).SenseKey(), kNotReady) << int(cdb[0]);

	CommandResult inquiry = Send({0x12, 0, 0, 0, 36, 0}, 36);
	EXPECT_EQ(inquiry.status, 0);
	ASSERT_EQ(inquiry.data.size(), 36u);
	EXPECT_EQ(inquiry.data[0], 0x01);
	EXPECT_EQ(std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 32),
		"MORVANE VIRTUAL TAPE    ");
	EXPECT_EQ(Send({0x12, 0x01, 0x80, 0, 36, 0}, 36).SenseKey(), kIllegalRequest);
	CommandResult unknown = Send({0xee, 0, 0, 0, 0, 0});
	EXPECT_EQ(unknown.SenseKey(), kIllegalRequest);
	EXPECT_EQ(unknown.Asc(), 0x20);
	NewTape("t", 4096, 1024);
	ASSERT_EQ(fLibrary->Load(0, "t"), B_OK);

	CommandResult limits = Send({0x05, 0, 0, 0, 0, 0}, 6);
	ASSERT_EQ(limits.data.size(), 6u);
	EXPECT_EQ(limits.data[1], 0xff);
	EXPECT_EQ(limits.data[5], 1);
	// Unloading ejects: the drive is empty again.
	EXPECT_EQ(Send({0x1b, 0, 0, 0, 0, 0}).status, 0);
	EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}).SenseKey(), kNotReady);
}

// Reads follow the incorrect-length rules and stop at filemarks and at the
// end of data; spacing crosses blocks and filemarks in both directions.
TEST_F(TapeDriveTest, ReadsAndSpacesAsADriveDoes)
{
	NewTape("t", 1 << 20, 1024);
	ASSERT_EQ(fLibrary->Load(0, "t"), B_OK);
	EXPECT_EQ(Send({0x00, 0, 0, 0, 0, 0}).status, 0);
	ASSERT_EQ(Write(std::string(100, 'a')).status, 0);
	ASSERT_EQ(Write(std::string(50, 'b')).status, 0);
	ASSERT_EQ(Filemarks(1).status, 0);
	ASSERT_EQ(Write("cccccccccc").status, 0);
	EXPECT_EQ(Position(), 4u);
	ASSERT_EQ(Rewind().status, 0);
	EXPECT_EQ(Position(), 0u);

	CommandResult whole = Read(100);
	EXPECT_EQ(whole.status, 0);
	EXPECT_EQ(Text(whole), std::string(100, 'a'));
	CommandResult shorter = Read(80);
	EXPECT_EQ(shorter.status, kCheck);
	EXPECT_TRUE(shorter.IncorrectLength());
	EXPECT_EQ(shorter.Information(), 30);
	EXPECT_EQ(Text(shorter), std::string(50, 'b'));
	CommandResult filemark = Read(10);
	EXPECT_EQ(filemark.status, kCheck);
	EXPECT_TRUE(filemark.Filemark());
	EXPECT_EQ(filemark.Information(), 10);
	CommandResult longer = Read(4);
	EXPECT_TRUE(longer.IncorrectLength());
	EXPECT_EQ(longer.Information(), -6);
	EXPECT_EQ(Text(longer), "cccc");
	CommandResult end = Read(10);
	EXPECT_EQ(end.SenseKey(), kBlankCheck);
	EXPECT_EQ(end.Information(), 10);

	// A shorter block with the incorrect-length report suppressed is fine.
	ASSERT_EQ(Rewind().status, 0);
	ASSERT_EQ(Space(1, 0).status, 0);
	EXPECT_EQ(Read(200, true).status, 0);

	struct Move {
		int32 count;
		uint8 code;
		uint8 senseKey;
		bool filemark;
		bool endOfMedium;
		int32 residue;
		uint32 position;
	};
	const Move moves[] = {
		{3, 0, 0, true, false, 0, 3},        // over a, b and the filemark
		{-1, 0, 0, true, false, 0, 2},       // back over the filemark
		{-5, 0, 0, false, true, 3, 0},       // to the beginning, 3 left
		{1, 1, 0, false, false, 0, 3},       // past the first filemark
		{1, 1, kBlankCheck, false, false, 1, 4},
		{-1, 1, 0, false, false, 0, 2},      // before the filemark
		{0, 3, 0, false, false, 0, 4},       // end of data
		{1, 2, kIllegalRequest, false, false, 0, 4},
	};
	ASSERT_EQ(Rewind().status, 0);
	for (const Move& move : moves) {
		SCOPED_TRACE(std::to_string(move.count) + " of code " + std::to_string(move.code));
		CommandResult result = Space(move.count, move.code);
		bool check = move.senseKey != 0 || move.filemark || move.endOfMedium;
		EXPECT_EQ(result.status, check ? kCheck : 0);
		if (check) {
			EXPECT_EQ(result.SenseKey(), move.senseKey);
			EXPECT_EQ(result.Filemark(), move.filemark);
			EXPECT_EQ(result.EndOfMedium(), move.endOfMedium);
			if (move.senseKey != kIllegalRequest) {
				EXPECT_EQ(result.Information(), move.residue);
			}
		}
		EXPECT_EQ(Position(), move.position);
	}

	// LOCATE goes to a block; ERASE ends the tape there.
	ASSERT_EQ(Send({0x2b, 0, 0, 0, 0, 0, 1, 0, 0, 0}).status, 0);
	EXPECT_EQ(Text(Read(50)), std::string(50, 'b'));
	ASSERT_EQ(Send({0x19, 0x01, 0, 0, 0, 0}).status, 0);
	EXPECT_EQ(Read(10).SenseKey(), kBlankCheck);
	EXPECT_EQ(Send({0x2b, 0, 0, 0, 0, 0, 9, 0, 0, 0}).SenseKey(), kBlankCheck);
}

// Early warning comes as EOM on writes that were done; the physical end
// refuses the write; a write-protected tape refuses every change.
TEST_F(TapeDriveTest, EndsOfTheTapeAndWriteProtection)
{
	NewTape("small", 1000, 300);
	ASSERT_EQ(fLibrary->Load(0, "small"), B_OK);
	std::string block(192, 'x');	// 200 bytes with its framing
	for (int i = 0; i < 3; i++)
		EXPECT_EQ(Write(block).status, 0) << i;
	CommandResult warning = Write(block);
	EXPECT_EQ(warning.status, kCheck);
	EXPECT_EQ(warning.SenseKey(), 0);
	EXPECT_TRUE(warning.EndOfMedium());
	EXPECT_EQ(Position(), 4u);
	EXPECT_TRUE(Write(block).EndOfMedium());
	CommandResult overflow = Write(block);
	EXPECT_EQ(overflow.SenseKey(), kVolumeOverflow);
	EXPECT_TRUE(overflow.EndOfMedium());
	EXPECT_EQ(overflow.Information(), 192);
	EXPECT_EQ(Position(), 5u);

	// MODE SENSE shows the write-protect bit and the block descriptor.
	CommandResult sense = Send({0x1a, 0, 0, 0, 12, 0}, 12);
	ASSERT_EQ(sense.data.size(), 12u);
	EXPECT_EQ(sense.data[2] & 0x80, 0);
	EXPECT_EQ(sense.data[3], 8);
	ASSERT_EQ(Send({0x15, 0x10, 0, 0, 12, 0}, 0, {0, 0, 0x10, 8, 0, 0, 0, 0, 0, 0, 2, 0})
		.status, 0);
	EXPECT_EQ(Send({0x1a, 0, 0, 0, 12, 0}, 12).data[10], 2);
	EXPECT_EQ(Send({0x1a, 0x08, 0, 0, 12, 0}, 12).data.size(), 4u);
	EXPECT_EQ(Send({0x1a, 0x08, 0x10, 0, 255, 0}, 255).data.size(), 20u);
	EXPECT_EQ(Send({0x1a, 0, 0x11, 0, 12, 0}, 12).SenseKey(), kIllegalRequest);

	MorvaneKit::VirtualTape tape;
	ASSERT_EQ(tape.Open(fLibrary->TapePath("small")), B_OK);
	ASSERT_EQ(tape.SetWriteProtected(true), B_OK);
	EXPECT_EQ(Send({0x1a, 0, 0, 0, 12, 0}, 12).data[2] & 0x80, 0x80);
	ASSERT_EQ(Rewind().status, 0);
	for (CommandResult refused : {Write("x"), Filemarks(1), Send({0x19, 1, 0, 0, 0, 0})}) {
		EXPECT_EQ(refused.SenseKey(), kDataProtect);
		EXPECT_EQ(refused.Asc(), 0x27);
	}
	EXPECT_EQ(Read(192).status, 0);
}

// A bad place on the tape, or a damaged tape file, give MEDIUM ERROR; two
// handles on one drive share its position.
TEST_F(TapeDriveTest, MediumErrorsAndSharedPosition)
{
	NewTape("bad", 1 << 20, 1024, 64 + 300);
	ASSERT_EQ(fLibrary->Load(0, "bad"), B_OK);
	ASSERT_EQ(Write(std::string(200, 'a')).status, 0);
	CommandResult failed = Write(std::string(200, 'b'));
	EXPECT_EQ(failed.SenseKey(), kMediumError);
	EXPECT_EQ(failed.Asc(), 0x0c);
	EXPECT_EQ(Position(), 1u);

	int second = open_raw_device(kDevice, 0);
	ASSERT_GE(second, 0);
	ASSERT_EQ(Rewind().status, 0);
	EXPECT_EQ(Text(Send(Length24(0x08, 0, 200), 200, {}, second)), std::string(200, 'a'));
	EXPECT_EQ(Position(), 1u);
	EXPECT_EQ(close_raw_device(second), 0);

	// A framing word that lies about its length.
	int file = open(fLibrary->TapePath("bad").c_str(), O_WRONLY);
	ASSERT_GE(file, 0);
	const uint8 lie[4] = {0xff, 0xff, 0x7f, 0x00};
	ASSERT_EQ(pwrite(file, lie, 4, 64), 4);
	close(file);
	ASSERT_EQ(Rewind().status, 0);
	EXPECT_EQ(Read(200).SenseKey(), kMediumError);
	EXPECT_EQ(Space(1, 0).SenseKey(), kMediumError);
}

// Written records wait in the drive; another handle finds them on the tape
// as soon as it can use the drive, and the tape file holds them whole.
TEST_F(TapeDriveTest, BufferedWritesReachTheTapeForEveryHandle)
{
	NewTape("buffered", 64 << 20, 1 << 20);
	ASSERT_EQ(fLibrary->Load(0, "buffered"), B_OK);
	// 40 records of 100,000 bytes: several megabytes go out while the
	// handle writes, the last ones when it falls idle.
	constexpr int kRecords = 40;
	for (int i = 0; i < kRecords; i++)
		ASSERT_EQ(Write(std::string(100000, char('a' + i % 26))).status, 0) << i;

	int second = open_raw_device(kDevice, 0);
	ASSERT_GE(second, 0);
	CommandResult position = Send({0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 20, {}, second);
	ASSERT_EQ(position.data.size(), 20u);
	EXPECT_EQ(position.data[7], kRecords);
	struct stat status;
	ASSERT_EQ(stat(fLibrary->TapePath("buffered").c_str(), &status), 0);
	EXPECT_EQ(status.st_size, 64 + kRecords * (100000 + 8));
	ASSERT_EQ(Send({0x01, 0, 0, 0, 0, 0}, 0, {}, second).status, 0);
	for (int i = 0; i < kRecords; i++) {
		CommandResult read = Send(Length24(0x08, 0, 100000), 100000, {}, second);
		ASSERT_EQ(Text(read), std::string(100000, char('a' + i % 26))) << i;
	}
	EXPECT_EQ(close_raw_device(second), 0);
}

// Records that cannot be written out are lost as a drive loses them: the
// next command reports MEDIUM ERROR and the drive stands at the end of what
// the tape holds.
TEST_F(TapeDriveTest, RecordsThatCannotBeWrittenOutAreReported)
{
	NewTape("full", 1 << 20, 1024);
	ASSERT_EQ(fLibrary->Load(0, "full"), B_OK);
	ASSERT_EQ(Write("kept").status, 0);
	ASSERT_EQ(Filemarks(1).status, 0);

	// The file system refuses to grow the tape file beyond its size; the
	// state file (512 bytes) still fits.
	struct rlimit before;
	ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
	sighandler_t handler = signal(SIGXFSZ, SIG_IGN);
	struct rlimit limit = before;
	limit.rlim_cur = 512;
	ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
	EXPECT_EQ(Write(std::string(300, 'x')).status, 0);
	EXPECT_EQ(Write(std::string(300, 'y')).status, 0);
	// Another handle waits until the first lets go, which fails to write.
	int second = open_raw_device(kDevice, 0);
	ASSERT_GE(second, 0);
	CommandResult position = Send({0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 20, {}, second);
	EXPECT_EQ(close_raw_device(second), 0);
	CommandResult late = Filemarks(1);
	ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
	signal(SIGXFSZ, handler);

	ASSERT_EQ(position.data.size(), 20u);
	EXPECT_EQ(position.data[7], 2);
	EXPECT_EQ(late.SenseKey(), kMediumError);
	EXPECT_EQ(late.Asc(), 0x0c);
	EXPECT_EQ(Position(), 2u);
	// Without the limit the drive writes again, behind what was kept.
	ASSERT_EQ(Write("again").status, 0);
	ASSERT_EQ(Rewind().status, 0);
	EXPECT_EQ(Text(Read(100)), "kept");
	EXPECT_TRUE(Read(100).Filemark());
	EXPECT_EQ(Text(Read(100)), "again");
}

// Devices that are not there cannot be opened; the drives of the folder
// are listed.
TEST_F(TapeDriveTest, OpeningAndListing)
{
	for (const char* path : {"/dev/bus/scsi/9/1/0/raw", "/dev/bus/scsi/9/0/1/raw",
			"/dev/bus/scsi/9/0/0/rawx", "/dev/bus/scsi/9/0/raw", "/dev/sda", "", "/dev/bus/scsi/9/99/0/raw"})
		EXPECT_EQ(open_raw_device(path, 0), -1) << path;
	EXPECT_EQ(open_raw_device(nullptr, 0), -1);
	std::vector<std::string> devices = list_raw_devices();
	EXPECT_NE(std::find(devices.begin(), devices.end(), kDevice), devices.end());
	raw_device_command command = {};
	EXPECT_EQ(raw_device_ioctl(12345, B_RAW_DEVICE_COMMAND, &command, sizeof(command)), -1);
	EXPECT_EQ(raw_device_ioctl(fDevice, 1, &command, sizeof(command)), -1);
	EXPECT_EQ(raw_device_ioctl(fDevice, B_RAW_DEVICE_COMMAND, &command, 10), -1);
}
