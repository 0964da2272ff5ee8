#pragma once

// Volumes on scratch folders and selection messages for the selection tests.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <initializer_list>
#include <optional>
#include <string>

#include <app/Message.h>
#include <storage/VolumeTable.h>

#include "TestFolder.h"

// "/boot" in fFolder/hd and "/data" in fFolder/data, for the test's life.
class SelectionTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.MakeFolder("hd");
		fFolder.MakeFolder("data");
		fVolumes.emplace("MORVANE_VOLUMES",
			"Test HD=" + fFolder / "hd" + ";data=" + fFolder / "data");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
	}

	void TearDown() override
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	// Native paths of names on the boot volume.
	std::string Boot(const std::string& name) const { return fFolder / ("hd/" + name); }
	std::string WriteBoot(const std::string& name, const std::string& content = "x") const
	{
		return fFolder.WriteFile("hd/" + name, content);
	}
	std::string MakeBootFolder(const std::string& name) const
	{
		return fFolder.MakeFolder("hd/" + name);
	}

	static void SetTime(const std::string& native, time_t time)
	{
		struct timeval times[2] = {{time, 0}, {time, 0}};
		ASSERT_EQ(lutimes(native.c_str(), times), 0) << native;
	}

	static BMessage Selection(std::initializer_list<const char*> lines)
	{
		BMessage selection;
		for (const char* line : lines)
			EXPECT_EQ(selection.AddString("SELECTION", line), B_OK);
		return selection;
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
};
