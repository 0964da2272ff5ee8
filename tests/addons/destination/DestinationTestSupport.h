#pragma once

// Volumes on scratch folders for the destination tests: a boot volume "HD",
// a fixed volume "/Disk", a removable drive "/Media" of kMediaSize bytes and
// a read-only volume "/CD". The table is read again when a test ends, so
// tests never see each other's volumes.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <storage/VolumeTable.h>

#include "MVImage.h"
#include "TestFolder.h"

class DestinationTest : public ::testing::Test {
protected:
	static constexpr off_t kMediaSize = 10000;

	void SetUp() override
	{
		fFolder.MakeFolder("hd");
		fFolder.MakeFolder("disk");
		fFolder.MakeFolder("media");
		fFolder.WriteFile("cd/backups/old", "archive");
		fVolumes.emplace("MORVANE_VOLUMES", "HD=" + fFolder / "hd" + ";Disk=" + fFolder / "disk"
			+ ";Media=" + fFolder / "media" + ",removable,size=" + std::to_string(kMediaSize)
			+ ";CD=" + fFolder / "cd" + ",ro,removable");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		ASSERT_EQ(VolumeTable::CountVolumes(), 4);
	}

	void TearDown() override
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	// An image destination on a target folder (a system path).
	static void Target(MVImage* image, const char* folder, bool createPath = false)
	{
		image->SetName(folder);
		BMessage settings;
		image->GetPref(&settings);
		settings.SetBool(kImageCreatePathKey, createPath);
		image->SetPref(settings);
	}

	// Writes a whole backup; the Write result, or a Start or Stop failure
	// as its negative.
	static int64 WriteBackup(MVImage* image, const char* name, const std::string& data)
	{
		int32 started = image->Start(name, kVolumeModeWrite);
		if (started != kImageOK)
			return -started;
		int64 written = image->Write(data.data(), int64(data.size()));
		int32 stopped = image->Stop();
		return stopped == kImageOK ? written : -stopped;
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
};
