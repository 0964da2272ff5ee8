// Native paths become selection lines in the system's "/<volume>/..." form.

#include "SelectionBuilder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <storage/VolumeTable.h>

#include "TestFolder.h"

namespace {

class SelectionBuilderTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.WriteFile("boot/x", "x");
		fFolder.WriteFile("src/data/a.txt", "a");
		fFolder.MakeFolder("src/data/empty");
		ASSERT_EQ(symlink("data", (fFolder / "src/link").c_str()), 0);
		fVolumes = std::make_unique<ScopedEnv>("MORVANE_VOLUMES",
			"Boot=" + fFolder / "boot" + ";Src=" + fFolder / "src");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
	}

	void TearDown() override
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	TestFolder fFolder;
	std::unique_ptr<ScopedEnv> fVolumes;
};

}	// namespace

// Folders get "/*", files and links do not; the boot volume is "/boot"; "." and ".." are resolved.
TEST_F(SelectionBuilderTest, IncludeAndExcludeLines)
{
	SelectionBuilder builder;
	std::string error;
	ASSERT_TRUE(builder.Include(fFolder / "src/data", &error)) << error;
	ASSERT_TRUE(builder.Include(fFolder / "src/data/./../data/a.txt", &error)) << error;
	ASSERT_TRUE(builder.Include(fFolder / "src/link", &error)) << error;
	ASSERT_TRUE(builder.Include(fFolder / "src", &error)) << error;
	ASSERT_TRUE(builder.Include(fFolder / "boot/x", &error)) << error;
	ASSERT_TRUE(builder.Exclude(fFolder / "src/data/empty", &error)) << error;
	ASSERT_TRUE(builder.Exclude(fFolder / "src/data/not-yet", &error)) << error;
	EXPECT_EQ(builder.Lines(), (std::vector<std::string>{"INCLUDE /Src/data/*",
		"INCLUDE /Src/data/a.txt", "INCLUDE /Src/link", "INCLUDE /Src/*", "INCLUDE /boot/x",
		"EXCLUDE /Src/data/empty/*", "EXCLUDE /Src/data/not-yet"}));
	BMessage selection;
	builder.Fill(&selection);
	EXPECT_STREQ(selection.GetString("SELECTION", 6, ""), "EXCLUDE /Src/data/not-yet");
}

// Missing entries, paths outside every volume and relative paths are handled before any job.
TEST_F(SelectionBuilderTest, RefusedPathsAndRelativePaths)
{
	SelectionBuilder builder;
	std::string error;
	EXPECT_FALSE(builder.Include(fFolder / "src/missing", &error));
	EXPECT_NE(error.find("does not exist"), std::string::npos);
	EXPECT_FALSE(builder.Include("", &error));
	EXPECT_FALSE(builder.Include(fFolder.Path(), &error));
	EXPECT_NE(error.find("no volume"), std::string::npos);
	EXPECT_FALSE(builder.Exclude("/proc/self", &error));
	EXPECT_TRUE(builder.Lines().empty());

	char previous[4096];
	ASSERT_NE(getcwd(previous, sizeof(previous)), nullptr);
	ASSERT_EQ(chdir((fFolder / "src/data").c_str()), 0);
	bool included = builder.Include("a.txt", &error);
	std::string absolute;
	bool made = SelectionBuilder::Absolute("../data//./a.txt", &absolute);
	ASSERT_EQ(chdir(previous), 0);
	EXPECT_TRUE(included) << error;
	EXPECT_EQ(builder.Lines(), (std::vector<std::string>{"INCLUDE /Src/data/a.txt"}));
	EXPECT_TRUE(made);
	EXPECT_EQ(absolute, fFolder / "src/data/a.txt");
	EXPECT_TRUE(SelectionBuilder::Absolute("/../..", &absolute));
	EXPECT_EQ(absolute, "/");
}
