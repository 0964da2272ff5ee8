#pragma once

// Volume tables on scratch folders for the storage kit's tests.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <storage/VolumeTable.h>

#include "TestFolder.h"

// Sets MORVANE_VOLUMES and reloads the volume table; afterwards restores the
// variable and reloads again, so that tests never see each other's tables.
class ScopedVolumes {
public:
	explicit ScopedVolumes(const std::string& value)
	{
		fEnvironment.emplace("MORVANE_VOLUMES", value);
		(void)VolumeTable::Reload();
	}

	~ScopedVolumes()
	{
		fEnvironment.reset();
		(void)VolumeTable::Reload();
	}

private:
	std::optional<ScopedEnv> fEnvironment;
};

// Two volumes on a scratch folder: "/boot" (named "Test HD") in fFolder/hd
// and "/data" in fFolder/data.
class VolumeTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.MakeFolder("hd");
		fFolder.MakeFolder("data");
		fVolumes.emplace("Test HD=" + fFolder / "hd" + ";data=" + fFolder / "data");
	}

	void TearDown() override { fVolumes.reset(); }

	// The native path of a name on the boot volume or on "/data".
	std::string Boot(const std::string& name) const { return fFolder / ("hd/" + name); }
	std::string Data(const std::string& name) const { return fFolder / ("data/" + name); }

	TestFolder fFolder;
	std::optional<ScopedVolumes> fVolumes;
};
