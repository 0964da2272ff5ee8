#include <app/Message.h>

#include <gtest/gtest.h>

#include <storage/File.h>
#include <storage/StorageDefs.h>
#include <storage/VolumeTable.h>

#include "TestFolder.h"

// Messages go into files and come back, several in a row and after a partial write.
TEST(MessageFileTest, FlattensIntoFilesAndReadsBack)
{
	TestFolder folder;
	ScopedEnv volumes("MORVANE_VOLUMES", "Test=" + folder.Path());
	ASSERT_EQ(VolumeTable::Reload(), B_OK);

	BMessage settings('MVPR');
	settings.AddString("lastview", "restore");
	settings.AddRect("frame", BRect(10, 20, 630, 470));
	BMessage second('2nd ');
	{
		BFile file("/boot/settings", B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
		ASSERT_EQ(file.InitCheck(), B_OK);
		ASSERT_EQ(settings.Flatten(&file), B_OK);
		ASSERT_EQ(second.Flatten(&file), B_OK);
	}
	BFile file("/boot/settings", B_READ_ONLY);
	ASSERT_EQ(file.InitCheck(), B_OK);
	BMessage first;
	ASSERT_EQ(first.Unflatten(&file), B_OK);
	EXPECT_STREQ(first.GetString("lastview"), "restore");
	BMessage next;
	ASSERT_EQ(next.Unflatten(&file), B_OK);
	EXPECT_EQ(next.what, uint32('2nd '));
	BMessage none;
	EXPECT_NE(none.Unflatten(&file), B_OK);

	// A file cut short in the middle of a message reads as an error.
	off_t size;
	ASSERT_EQ(file.GetSize(&size), B_OK);
	BFile cut("/boot/cut", B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE);
	ASSERT_EQ(settings.Flatten(&cut), B_OK);
	ASSERT_EQ(cut.SetSize(settings.FlattenedSize() - 3), B_OK);
	ASSERT_GE(cut.Seek(0, SEEK_SET), 0);
	BMessage broken('full');
	EXPECT_EQ(broken.Unflatten(&cut), B_BAD_DATA);
	EXPECT_TRUE(broken.IsEmpty());
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
}
