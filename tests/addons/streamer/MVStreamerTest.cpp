// The streamer destination on the virtual tape drive: backups appended and
// read back, the media base rebuilt from the tape, deletion, foreign and
// write-protected tapes, and early warning.

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include <optional>
#include <string>
#include <vector>

#include <storage/VolumeTable.h>

#include "MVStreamer.h"
#include "TestFolder.h"
#include "drivers/VirtualTapeLibrary.h"

namespace {

constexpr const char* kDevice = "/dev/bus/scsi/9/0/0/raw";

std::string Pattern(size_t size, char seed)
{
	std::string data(size, '\0');
	for (size_t i = 0; i < size; i++)
		data[i] = char(seed + i * 7 % 251);
	return data;
}

class MVStreamerTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fEnvironment.emplace("MORVANE_VTAPE_DIR", fFolder.Path());
		fLibrary.emplace(fFolder.Path());
		fFolder.MakeFolder("streamer_data");
		std::string dataFolder;
		ASSERT_EQ(VolumeTable::ToSystem((fFolder.Path() + "/streamer_data").c_str(), &dataFolder),
			B_OK);
		MVStreamer::SetDataFolder(dataFolder);
		NewTape("t", 8 << 20, 1 << 20);
		ASSERT_EQ(fLibrary->Load(0, "t"), B_OK);
	}

	void TearDown() override
	{
		MVStreamer::SetDataFolder("");
		fEnvironment.reset();
	}

	void NewTape(const std::string& name, uint64 capacity, uint64 earlyWarning)
	{
		MorvaneKit::VirtualTape::Header header;
		header.capacity = capacity;
		header.earlyWarning = earlyWarning;
		ASSERT_EQ(fLibrary->NewTape(name, header), B_OK);
	}

	static std::unique_ptr<MVStreamer> Streamer(bool overwrite = false)
	{
		auto streamer = std::make_unique<MVStreamer>();
		BMessage settings;
		settings.AddString(MVStreamer::kDeviceKey, kDevice);
		settings.AddBool(kVolumeOverwriteKey, overwrite);
		streamer->SetPref(settings);
		return streamer;
	}

	static void WriteBackup(const std::string& name, const std::string& data)
	{
		std::unique_ptr<MVStreamer> streamer = Streamer();
		ASSERT_EQ(streamer->Start(name.c_str(), kVolumeModeWrite), 0);
		ASSERT_EQ(streamer->Write(data.data(), int64(data.size())), int64(data.size()));
		ASSERT_EQ(streamer->Stop(), 0);
	}

	static std::string ReadBackup(const std::string& name, size_t size)
	{
		std::unique_ptr<MVStreamer> streamer = Streamer();
		if (streamer->Start(name.c_str(), kVolumeModeRead) != 0)
			return "<not started>";
		std::string data(size, '\0');
		int64 read = streamer->Read(data.data(), int64(size));
		EXPECT_EQ(streamer->Stop(), 0);
		return read == int64(size) ? data : "<short>";
	}

	static std::vector<std::string> List()
	{
		std::unique_ptr<MVStreamer> streamer = Streamer();
		std::vector<std::string> names;
		mvvol_fib info = {};
		strcpy(info.name, "*");
		for (int32 status = streamer->FindFirst(&info); status == 0;
				status = streamer->FindNext(&info))
			names.push_back(info.name);
		return names;
	}

	std::string MediaBaseFile()
	{
		for (const std::string& entry : ListFolder(fFolder.Path() + "/streamer_data"))
			return fFolder.Path() + "/streamer_data/" + entry;
		return std::string();
	}

	static std::vector<std::string> ListFolder(const std::string& path)
	{
		std::vector<std::string> names;
		if (DIR* folder = opendir(path.c_str())) {
			while (dirent* entry = readdir(folder)) {
				if (entry->d_name[0] != '.')
					names.push_back(entry->d_name);
			}
			closedir(folder);
		}
		return names;
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fEnvironment;
	std::optional<MorvaneKit::VirtualTapeLibrary> fLibrary;
};

}	// namespace

// A blank tape gets a label and an empty list; two backups are appended,
// listed and read back byte for byte, also after a seek.
TEST_F(MVStreamerTest, BackupsAppendedAndReadBack)
{
	EXPECT_TRUE(List().empty());
	ASSERT_EQ(ListFolder(fFolder.Path() + "/streamer_data").size(), 1u);
	EXPECT_NE(ListFolder(fFolder.Path() + "/streamer_data")[0].find(".media"), std::string::npos);

	std::string first = Pattern(100000, 'a');
	std::string second = Pattern(2 * MVStreamer::kDefaultCacheSize, 'b');
	WriteBackup("first", first);
	WriteBackup("second", second);
	EXPECT_EQ(List(), (std::vector<std::string>{"first", "second"}));
	EXPECT_EQ(ReadBackup("first", first.size()), first);
	EXPECT_EQ(ReadBackup("second", second.size()), second);

	std::unique_ptr<MVStreamer> streamer = Streamer();
	ASSERT_EQ(streamer->Start("first", kVolumeModeRead), 0);
	// Over a block's end, then back into the first block and on again.
	std::string start(65546, '\0');
	ASSERT_EQ(streamer->Read(start.data(), int64(start.size())), int64(start.size()));
	EXPECT_EQ(start, first.substr(0, start.size()));
	std::string part(1000, '\0');
	EXPECT_EQ(streamer->Seek(70000, kVolumeSeekFromStart), 65546);
	ASSERT_EQ(streamer->Read(part.data(), 1000), 1000);
	EXPECT_EQ(part, first.substr(70000, 1000));
	EXPECT_EQ(streamer->Seek(-70500, kVolumeSeekFromCurrent), 71000);
	ASSERT_EQ(streamer->Read(part.data(), 1000), 1000);
	EXPECT_EQ(part, first.substr(500, 1000));
	// A read over the end of the backup is short, as at the end of a file.
	std::string tail(70000, '\0');
	ASSERT_GE(streamer->Seek(int64(first.size()) - 100, kVolumeSeekFromStart), 0);
	int64 padded = 2 * MVStreamer::kDefaultCacheSize - (int64(first.size()) - 100);
	EXPECT_EQ(streamer->Read(tail.data(), int64(tail.size())), padded);
	EXPECT_EQ(tail.substr(0, 100), first.substr(first.size() - 100));
	EXPECT_EQ(streamer->Read(tail.data(), 10), 0);
	ASSERT_GE(streamer->Seek(65000, kVolumeSeekFromStart), 0);
	ASSERT_EQ(streamer->Read(tail.data(), 1000), 1000);
	EXPECT_EQ(tail.substr(0, 1000), first.substr(65000, 1000));
	EXPECT_EQ(streamer->Stop(), 0);
	EXPECT_EQ(Streamer()->Start("none", kVolumeModeRead), 3);
	// The tape a backup has filled, put in again, takes no more of it.
	EXPECT_EQ(Streamer()->Start("first", kVolumeModeWrite), 4);
	EXPECT_EQ(ReadBackup("first", first.size()), first);
}

// The tape decides: a lost media base is rebuilt from the BackupID blocks,
// and a stale one that lacks the last backup does not get it overwritten.
TEST_F(MVStreamerTest, MediaBaseRebuiltFromTheTape)
{
	std::string first = Pattern(70000, 'a');
	std::string second = Pattern(30000, 'b');
	WriteBackup("first", first);
	std::string base = MediaBaseFile();
	ASSERT_FALSE(base.empty());
	std::string afterFirst = ReadWholeFile(base).value_or("");
	WriteBackup("second", second);

	// Lost: the list is read from the tape, also when each backup found is
	// read before the next is looked for, as an insert does.
	ASSERT_EQ(unlink(base.c_str()), 0);
	{
		std::unique_ptr<MVStreamer> scanner = Streamer();
		std::vector<std::string> names;
		mvvol_fib info = {};
		strcpy(info.name, "*");
		for (int32 status = scanner->FindFirst(&info); status == 0;
				status = scanner->FindNext(&info)) {
			names.push_back(info.name);
			ASSERT_EQ(scanner->Start(info.name, kVolumeModeRead), 0);
			char byte;
			EXPECT_EQ(scanner->Read(&byte, 1), 1);
			ASSERT_EQ(scanner->Stop(), 0);
		}
		EXPECT_EQ(names, (std::vector<std::string>{"first", "second"}));
	}
	ASSERT_EQ(unlink(base.c_str()), 0);
	EXPECT_EQ(List(), (std::vector<std::string>{"first", "second"}));
	EXPECT_EQ(ReadBackup("second", second.size()), second);

	// Stale: it knows only the first backup; the third goes after the second.
	fFolder.WriteFile(base.substr(fFolder.Path().size() + 1), afterFirst);
	std::string third = Pattern(5000, 'c');
	WriteBackup("third", third);
	EXPECT_EQ(List(), (std::vector<std::string>{"first", "second", "third"}));
	EXPECT_EQ(ReadBackup("second", second.size()), second);
	EXPECT_EQ(ReadBackup("third", third.size()), third);

	// A backup started but never stopped leaves no entry behind.
	{
		std::unique_ptr<MVStreamer> broken = Streamer();
		ASSERT_EQ(broken->Start("unfinished", kVolumeModeWrite), 0);
		ASSERT_EQ(broken->Write(third.data(), 100), 100);
	}
	EXPECT_EQ(List(), (std::vector<std::string>{"first", "second", "third"}));

	// Deleting the middle one hides it; deleting the last frees its place.
	ASSERT_EQ(Streamer()->Delete("second"), 0);
	EXPECT_EQ(List(), (std::vector<std::string>{"first", "third"}));
	ASSERT_EQ(Streamer()->Delete("third"), 0);
	EXPECT_EQ(Streamer()->Delete("third"), 4);
	WriteBackup("fourth", second);
	EXPECT_EQ(List(), (std::vector<std::string>{"first", "fourth"}));
	EXPECT_EQ(ReadBackup("fourth", second.size()), second);
	EXPECT_EQ(ReadBackup("first", first.size()), first);
}

// A tape with data of another program is not labelled over unless the
// destination may overwrite; a write-protected tape takes no backup.
TEST_F(MVStreamerTest, ForeignAndWriteProtectedTapes)
{
	NewTape("foreign", 1 << 20, 1 << 16);
	ASSERT_EQ(fLibrary->Load(0, "foreign"), B_OK);
	{
		MVSCSI device(kDevice);
		std::string data = Pattern(2048, 'z');
		ASSERT_EQ(device.Write(data.data(), data.size(), false), 0);
	}
	mvvol_fib info = {};
	strcpy(info.name, "*");
	EXPECT_EQ(Streamer()->FindFirst(&info), 2);
	EXPECT_EQ(Streamer()->Start("mine", kVolumeModeWrite), 4);
	std::unique_ptr<MVStreamer> overwriting = Streamer(true);
	ASSERT_EQ(overwriting->Start("mine", kVolumeModeWrite), 0);
	ASSERT_EQ(overwriting->Stop(), 0);
	EXPECT_EQ(List(), std::vector<std::string>{"mine"});

	NewTape("protected", 1 << 20, 1 << 16);
	ASSERT_EQ(fLibrary->Load(0, "protected"), B_OK);
	EXPECT_TRUE(List().empty());
	MorvaneKit::VirtualTape tape;
	ASSERT_EQ(tape.Open(fLibrary->TapePath("protected")), B_OK);
	ASSERT_EQ(tape.SetWriteProtected(true), B_OK);
	std::unique_ptr<MVStreamer> streamer = Streamer();
	EXPECT_TRUE(streamer->IsReadOnly());
	EXPECT_TRUE(streamer->IsRemovable());
	EXPECT_EQ(streamer->Start("refused", kVolumeModeWrite), 4);
}

// At early warning writes go on succeeding and the free space is 0.
TEST_F(MVStreamerTest, EarlyWarningMakesTheMediumFull)
{
	NewTape("short", 600000, 200000);
	ASSERT_EQ(fLibrary->Load(0, "short"), B_OK);
	std::unique_ptr<MVStreamer> streamer = Streamer();
	ASSERT_EQ(streamer->Start("big", kVolumeModeWrite), 0);
	EXPECT_GT(streamer->GetFreeSpace(), 0);
	std::string block = Pattern(MVStreamer::kDefaultCacheSize, 'f');
	int written = 0;
	while (streamer->GetFreeSpace() != 0 && written < 20) {
		ASSERT_EQ(streamer->Write(block.data(), int64(block.size())), int64(block.size()));
		written++;
	}
	EXPECT_EQ(streamer->GetFreeSpace(), 0);
	EXPECT_EQ(written, 7);
	EXPECT_EQ(streamer->Stop(), 0);
	EXPECT_EQ(Streamer()->GetFreeSpace(), -1);
}

// Reading a backup in any order: every seek, forwards and backwards, over
// blocks and within one, hands out the bytes of that place.
TEST_F(MVStreamerTest, SeeksInAnyOrder)
{
	std::string data = Pattern(5 * MVStreamer::kDefaultCacheSize + 1234, 's');
	WriteBackup("order", data);
	std::unique_ptr<MVStreamer> streamer = Streamer();
	ASSERT_EQ(streamer->Start("order", kVolumeModeRead), 0);
	const int64 places[] = {300000, 10, 200000, 65530, 65536, 131071, 0, 327000, 70000, 69999};
	for (int64 place : places) {
		SCOPED_TRACE(place);
		ASSERT_GE(streamer->Seek(place, kVolumeSeekFromStart), 0);
		std::string part(std::min<size_t>(500, data.size() - size_t(place)), '\0');
		ASSERT_EQ(streamer->Read(part.data(), int64(part.size())), int64(part.size()));
		EXPECT_EQ(part, data.substr(size_t(place), part.size()));
	}
	EXPECT_EQ(streamer->Stop(), 0);
}

// The status codes of the operations when something is missing: no name,
// a backup started twice, an empty drive, no drive at all.
TEST_F(MVStreamerTest, StatusCodesWhenSomethingIsMissing)
{
	std::unique_ptr<MVStreamer> streamer = Streamer();
	EXPECT_EQ(streamer->Start(nullptr, kVolumeModeWrite), 2);
	EXPECT_EQ(streamer->Delete(nullptr), 1);
	ASSERT_EQ(streamer->Start("once", kVolumeModeWrite), 0);
	EXPECT_EQ(streamer->Start("twice", kVolumeModeWrite), 1);
	ASSERT_EQ(streamer->Stop(), 0);
	EXPECT_EQ(streamer->Stop(), 1);

	// Eject leaves the drive empty: nothing is ready then.
	EXPECT_EQ(Streamer()->Eject(), 0);
	mvvol_fib info = {};
	strcpy(info.name, "*");
	std::unique_ptr<MVStreamer> empty = Streamer();
	EXPECT_EQ(empty->Start("once", kVolumeModeRead), 1);
	EXPECT_EQ(empty->FindFirst(&info), 1);
	EXPECT_EQ(empty->Delete("once"), 2);
	EXPECT_EQ(empty->Eject(), 1);

	auto nowhere = std::make_unique<MVStreamer>();
	BMessage settings;
	settings.AddString(MVStreamer::kDeviceKey, "/dev/bus/scsi/9/15/0/raw");
	nowhere->SetPref(settings);
	EXPECT_EQ(nowhere->Start("once", kVolumeModeWrite), 3);
	EXPECT_EQ(nowhere->GetFreeSpace(), -1);
	EXPECT_TRUE(nowhere->IsReadOnly());
	EXPECT_FALSE(nowhere->IsRemovable());
	EXPECT_EQ(nowhere->Write("x", 1), -1);
	EXPECT_EQ(nowhere->Read(info.name, 1), -1);
	EXPECT_EQ(nowhere->Seek(0, kVolumeSeekFromStart), -1);
}
