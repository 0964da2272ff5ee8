// The image destination on fixed and read-only volumes: opening, moving
// bytes, listing and deleting backups, with their status codes.

#include "MVImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include <app/Looper.h>
#include <storage/Entry.h>

#include "DestinationTestSupport.h"

namespace {

mvvol_fib Record(const char* name)
{
	mvvol_fib info = {};
	strcpy(info.name, name);
	info.index = 77;
	return info;
}


std::set<std::string> ListAll(MVImage* image, int32* firstStatus)
{
	std::set<std::string> names;
	mvvol_fib info = Record("*");
	int32 status = *firstStatus = image->FindFirst(&info);
	for (; status == kImageOK; status = image->FindNext(&info))
		names.insert(info.name);
	EXPECT_EQ(info.index, 77);
	return names;
}


class MVImageTest : public DestinationTest {
protected:
	void SetUp() override
	{
		DestinationTest::SetUp();
		Target(&fImage, "/Disk/backups", true);
	}

	MVImage fImage;
};

}	// namespace


// A backup written with a seek back, then read with seeks from the start and
// from the current position; the image holds exactly the bytes written.
TEST_F(MVImageTest, WriteAndReadBack)
{
	ASSERT_EQ(fImage.Start("2024010100000042", kVolumeModeWrite), kImageOK);
	EXPECT_EQ(fImage.Write("header--payload", 15), 15);
	EXPECT_EQ(fImage.Seek(0, kVolumeSeekFromStart), 0);
	EXPECT_EQ(fImage.Write("HEADER", 6), 6);
	ASSERT_EQ(fImage.Stop(), kImageOK);
	EXPECT_EQ(ReadWholeFile(fFolder / "disk/backups/2024010100000042"), "HEADER--payload");

	char buffer[16] = {};
	ASSERT_EQ(fImage.Start("2024010100000042", kVolumeModeRead), kImageOK);
	EXPECT_EQ(fImage.Seek(8, kVolumeSeekFromStart), 8);
	EXPECT_EQ(fImage.Read(buffer, 7), 7);
	EXPECT_EQ(std::string(buffer, 7), "payload");
	EXPECT_EQ(fImage.Read(buffer, 4), 0);
	EXPECT_EQ(fImage.Seek(-3, kVolumeSeekFromCurrent), 12);
	EXPECT_EQ(fImage.Read(buffer, 10), 3);
	EXPECT_LT(fImage.Seek(-100, kVolumeSeekFromCurrent), 0);
	EXPECT_EQ(fImage.Seek(0, 2), B_BAD_VALUE);
	// Opened for reading, the image cannot be changed.
	EXPECT_LT(fImage.Write("x", 1), 0);
	EXPECT_EQ(fImage.Stop(), kImageOK);
}


// The status codes of Start and Stop and of the byte calls; a Start that
// fails leaves the destination idle.
TEST_F(MVImageTest, StartAndStopStatus)
{
	char buffer[4];
	EXPECT_EQ(fImage.Stop(), kImageNotOpen);
	EXPECT_EQ(fImage.Write("x", 1), -1);
	EXPECT_EQ(fImage.Read(buffer, 1), -1);
	EXPECT_EQ(fImage.Seek(0, kVolumeSeekFromStart), -1);
	EXPECT_EQ(fImage.Start(nullptr, kVolumeModeWrite), kImageNoName);
	EXPECT_EQ(fImage.Start("missing", kVolumeModeRead), kImageCannotOpen);

	ASSERT_EQ(fImage.Start("one", kVolumeModeWrite), kImageOK);
	EXPECT_EQ(fImage.Start("two", kVolumeModeWrite), kImageAlreadyOpen);
	EXPECT_EQ(fImage.Write(nullptr, 1), B_BAD_VALUE);
	EXPECT_EQ(fImage.Read(buffer, -1), B_BAD_VALUE);
	EXPECT_EQ(fImage.Stop(), kImageOK);

	// An existing backup is never written over; a sub-folder is no backup.
	fFolder.MakeFolder("disk/backups/folder");
	EXPECT_EQ(fImage.Start("one", kVolumeModeWrite), kImageCannotOpen);
	EXPECT_EQ(fImage.Start("folder", kVolumeModeRead), kImageCannotOpen);
	EXPECT_EQ(fImage.Start("two", kVolumeModeWrite), kImageOK);
	EXPECT_EQ(fImage.Stop(), kImageOK);

	// An open image is locked against every other destination.
	ASSERT_EQ(fImage.Start("one", kVolumeModeRead), kImageOK);
	MVImage other;
	Target(&other, "/Disk/backups");
	EXPECT_EQ(other.Start("one", kVolumeModeRead), kImageCannotOpen);
	EXPECT_EQ(other.Delete("one"), kImageDeleteFailed);
	EXPECT_EQ(fImage.Stop(), kImageOK);
	EXPECT_EQ(other.Start("one", kVolumeModeRead), kImageOK);
	EXPECT_EQ(other.Stop(), kImageOK);

	MVImage untargeted;
	EXPECT_EQ(untargeted.Start("one", kVolumeModeWrite), kImageCannotOpen);
}


// Names that would reach outside the target folder are refused by every
// call that takes one.
TEST_F(MVImageTest, RefusesNamesThatLeaveTheFolder)
{
	fFolder.WriteFile("disk/victim", "keep");
	const std::string tooLong(300, 'n');
	for (const char* name : { "../victim", "..", ".", "", "a/b", "/Disk/victim",
			tooLong.c_str() }) {
		SCOPED_TRACE(name);
		EXPECT_EQ(fImage.Start(name, kVolumeModeWrite), kImageNoName);
		EXPECT_EQ(fImage.Start(name, kVolumeModeRead), kImageNoName);
		EXPECT_EQ(fImage.Delete(name), kImageDeleteBadEntry);
	}
	mvvol_fib info = Record("../victim");
	EXPECT_EQ(fImage.FindFirst(&info), kImageFindNoFolder);
	EXPECT_EQ(ReadWholeFile(fFolder / "disk/victim"), "keep");
}


// Start makes a missing target folder with its parents only with
// "createpath"; a read-only medium is read but never written.
TEST_F(MVImageTest, TargetFolders)
{
	MVImage image;
	Target(&image, "/Disk/new/deep");
	EXPECT_EQ(image.Start("b", kVolumeModeWrite), kImageCannotOpen);
	EXPECT_FALSE(BEntry("/Disk/new").Exists());
	Target(&image, "/Disk/new/deep", true);
	EXPECT_EQ(WriteBackup(&image, "b", "x"), 1);

	MVImage cd;
	Target(&cd, "/CD/backups", true);
	EXPECT_TRUE(cd.IsReadOnly());
	char buffer[8] = {};
	ASSERT_EQ(cd.Start("old", kVolumeModeRead), kImageOK);
	EXPECT_EQ(cd.Read(buffer, 7), 7);
	EXPECT_EQ(cd.Stop(), kImageOK);
	EXPECT_EQ(cd.Start("new", kVolumeModeWrite), kImageCannotOpen);
	EXPECT_EQ(cd.Delete("old"), kImageDeleteFailed);
	EXPECT_TRUE(BEntry("/CD/backups/old").Exists());

	// Without a volume the fallbacks apply.
	Target(&image, "/Unknown/backups");
	EXPECT_EQ(image.GetCapacity(), -1);
	EXPECT_EQ(image.GetFreeSpace(), -1);
	EXPECT_TRUE(image.IsReadOnly());
}


// Listing reports every entry, files and folders alike, leaving the index
// alone; one name is looked up; the listing's status codes.
TEST_F(MVImageTest, ListsEveryEntry)
{
	int32 status = 0;
	EXPECT_TRUE(ListAll(&fImage, &status).empty());
	EXPECT_EQ(status, kImageFindNoFolder);

	ASSERT_EQ(WriteBackup(&fImage, "first", "1"), 1);
	fFolder.WriteFile("disk/backups/foreign.txt", "x");
	fFolder.MakeFolder("disk/backups/sub");
	EXPECT_EQ(ListAll(&fImage, &status), (std::set<std::string>{ "first", "foreign.txt", "sub" }));
	EXPECT_EQ(status, kImageOK);

	mvvol_fib info = Record("first");
	EXPECT_EQ(fImage.FindFirst(&info), kImageOK);
	EXPECT_STREQ(info.name, "first");
	EXPECT_EQ(fImage.FindNext(&info), kImageFindEnd);
	info = Record("third");
	EXPECT_EQ(fImage.FindFirst(&info), kImageFindNoEntry);
	info = Record("");
	EXPECT_EQ(fImage.FindFirst(&info), kImageFindBadRecord);
	EXPECT_EQ(fImage.FindFirst(nullptr), kImageFindBadRecord);
	memset(info.name, 'x', sizeof(info.name));
	EXPECT_EQ(fImage.FindFirst(&info), kImageFindBadRecord);

	fFolder.MakeFolder("disk/empty");
	Target(&fImage, "/Disk/empty");
	EXPECT_TRUE(ListAll(&fImage, &status).empty());
	EXPECT_EQ(status, kImageFindNoEntry);
}


// Delete removes one entry of the target folder; a destination deleted with
// a backup and a listing open closes both and releases the image.
TEST_F(MVImageTest, DeleteAndDestroy)
{
	{
		MVImage image;
		Target(&image, "/Disk/backups", true);
		ASSERT_EQ(image.Start("left open", kVolumeModeWrite), kImageOK);
		ASSERT_EQ(image.Write("abc", 3), 3);
		mvvol_fib info = Record("*");
		ASSERT_EQ(image.FindFirst(&info), kImageOK);
	}
	EXPECT_EQ(ReadWholeFile(fFolder / "disk/backups/left open"), "abc");

	EXPECT_EQ(fImage.Delete(nullptr), kImageDeleteNoName);
	EXPECT_EQ(fImage.Delete("absent"), kImageDeleteFailed);
	EXPECT_EQ(fImage.Delete("left open"), kImageOK);
	EXPECT_FALSE(BEntry("/Disk/backups/left open").Exists());
	MVImage untargeted;
	EXPECT_EQ(untargeted.Delete("x"), kImageDeleteBadEntry);
}


// The settings window's reply: a cancelled one changes nothing, a confirmed
// one becomes the settings; either way the handler leaves its looper.
TEST_F(MVImageTest, SettingsReply)
{
	BMessage edited;
	edited.AddString(kVolumeNameKey, "/Disk/elsewhere");
	BMessage reply(kVolumeSettingsReply);
	reply.AddBool("result", false);
	reply.AddMessage("settings", &edited);

	BLooper* looper = new BLooper("settings parent");
	ASSERT_TRUE(looper->Lock());
	looper->AddHandler(&fImage);
	fImage.MessageReceived(&reply);
	EXPECT_EQ(fImage.Looper(), nullptr);
	EXPECT_EQ(looper->IndexOf(&fImage), -1);
	looper->Quit();
	EXPECT_STREQ(fImage.Name(), "/Disk/backups");

	reply.ReplaceBool("result", true);
	fImage.MessageReceived(&reply);
	EXPECT_STREQ(fImage.Name(), "/Disk/elsewhere");
}
