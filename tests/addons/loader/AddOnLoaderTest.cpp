// Loading destination and compressor add-ons by name, and the destination
// wrapper the server uses without a worker.

#include <gtest/gtest.h>

#include <unistd.h>

#include <storage/VolumeTable.h>

#include "AddOnLoader.h"
#include "MVVolumeOrg.h"
#include "TestFolder.h"

namespace {

// A server folder whose add-on folders hold the real add-ons and two broken
// ones, and a boot volume to write backups on.
class AddOnLoaderTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		std::string built = std::string(MORVANE_DIST_DIR) + "/Backup_Server/add-ons/";
		std::string broken = MORVANE_LOADER_TEST_ADDONS;
		std::string destination = fFolder.MakeFolder("server/add-ons/destination");
		std::string compressors = fFolder.MakeFolder("server/add-ons/compressors");
		ASSERT_EQ(symlink((built + "destination/MVImage").c_str(),
			(destination + "/MVImage").c_str()), 0);
		ASSERT_EQ(symlink((broken + "/NullFactory").c_str(),
			(destination + "/NullFactory").c_str()), 0);
		ASSERT_EQ(symlink((broken + "/NoFactory").c_str(),
			(destination + "/NoFactory").c_str()), 0);
		ASSERT_EQ(symlink((built + "compressors/MVNone").c_str(),
			(compressors + "/MVNone").c_str()), 0);
		ASSERT_EQ(symlink((built + "compressors/MVLZRW1").c_str(),
			(compressors + "/MVLZRW1").c_str()), 0);
		fFolder.MakeFolder("hd/backups");
		fVolumes.emplace("MORVANE_VOLUMES", "HD=" + fFolder / "hd");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
	}

	void TearDown() override
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	AddOnLoader Loader() const { return AddOnLoader(fFolder / "server"); }

	static BMessage ImageSettings(const char* folder)
	{
		BMessage settings;
		settings.AddString(kVolumeNameKey, folder);
		return settings;
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
};

}	// namespace

// A failed load leaves the slot's add-on loaded; a successful one replaces it.
TEST_F(AddOnLoaderTest, FailuresKeepThePreviousAddOn)
{
	AddOnLoader loader = Loader();
	image_id slot = 0;
	BMessage settings = ImageSettings("/boot/backups");
	MVVolume* volume = loader.LoadDestination("MVImage", &settings, &slot);
	ASSERT_NE(volume, nullptr);
	EXPECT_GT(slot, 0);
	EXPECT_STREQ(volume->Name(), "/boot/backups");
	image_id first = slot;

	const std::pair<const char*, status_t> failures[] = {
		{"NullFactory", B_ERROR}, {"NoFactory", B_MISSING_SYMBOL}, {"../MVImage", B_BAD_VALUE},
		{"sub/MVImage", B_BAD_VALUE}, {".", B_BAD_VALUE}, {"..", B_BAD_VALUE}, {"", B_BAD_VALUE},
	};
	for (const auto& [name, reason] : failures) {
		status_t failure = B_OK;
		EXPECT_EQ(loader.LoadDestination(name, &settings, &slot, &failure), nullptr) << name;
		EXPECT_EQ(failure, reason) << name;
		EXPECT_EQ(slot, first) << name;
	}
	status_t failure = B_OK;
	EXPECT_EQ(loader.LoadDestination("Missing", &settings, &slot, &failure), nullptr);
	EXPECT_LT(failure, B_OK);
	EXPECT_NE(failure, B_MISSING_SYMBOL);
	EXPECT_EQ(loader.LoadDestination(nullptr, &settings, &slot), nullptr);
	// The first image is still there: its object still works.
	EXPECT_EQ(volume->Start("20261208000000001", kVolumeModeWrite), 0);
	EXPECT_EQ(volume->Write("data", 4), 4);
	EXPECT_EQ(volume->Stop(), 0);

	delete volume;
	MVVolume* second = loader.LoadDestination("MVImage", nullptr, &slot);
	ASSERT_NE(second, nullptr);
	EXPECT_NE(slot, first);
	void* factory;
	EXPECT_EQ(get_image_symbol(first, kInstantiateVolumeSymbol, B_SYMBOL_TYPE_TEXT, &factory),
		B_BAD_IMAGE_ID);
	delete second;
	AddOnLoader::Free(&slot);
	EXPECT_EQ(slot, 0);
}

// Compressors load the same way and do their work through the interface.
TEST_F(AddOnLoaderTest, LoadsCompressors)
{
	AddOnLoader loader = Loader();
	image_id slot = 0;
	MVCruncher* cruncher = loader.LoadCruncher("MVLZRW1", nullptr, &slot);
	ASSERT_NE(cruncher, nullptr);
	std::string text;
	for (int i = 0; i < 200; i++)
		text += "a line of a text file that repeats itself\n";
	std::vector<uint8> packed(text.size() + 1024);
	std::vector<uint8> unpacked(text.size() + 1024);
	uint32 packedLength = cruncher->Compress(reinterpret_cast<const uint8*>(text.data()),
		packed.data(), uint32(text.size()));
	EXPECT_GT(packedLength, 0u);
	EXPECT_LT(packedLength, text.size());
	uint32 length = cruncher->Decompress(packed.data(), unpacked.data(), packedLength);
	ASSERT_EQ(length, text.size());
	EXPECT_EQ(memcmp(unpacked.data(), text.data(), text.size()), 0);
	EXPECT_EQ(loader.LoadCruncher("MVImage", nullptr, &slot), nullptr);
	delete cruncher;
	cruncher = loader.LoadCruncher("MVNone", nullptr, &slot);
	ASSERT_NE(cruncher, nullptr);
	delete cruncher;
	AddOnLoader::Free(&slot);
}

// Without a destination the wrapper answers as for an absent medium; with one it forwards.
TEST_F(AddOnLoaderTest, VolumeOrgForwardsOrAnswersForAnAbsentMedium)
{
	MVVolumeOrg empty(nullptr, nullptr, Loader());
	EXPECT_TRUE(empty.InitCheck());
	EXPECT_EQ(empty.GetType(), 0);
	EXPECT_EQ(empty.GetCapacity(), -1);
	EXPECT_EQ(empty.GetFreeSpace(), -1);
	EXPECT_TRUE(empty.IsReadOnly());
	EXPECT_FALSE(empty.IsRemovable());
	EXPECT_EQ(empty.Name(), nullptr);
	EXPECT_EQ(empty.Start("x", kVolumeModeRead), -1);
	EXPECT_EQ(empty.Read(nullptr, 1), -1);
	mvvol_fib info;
	EXPECT_EQ(empty.FindFirst(&info), 1);
	EXPECT_EQ(empty.SetTo(nullptr, nullptr), 1);
	EXPECT_EQ(empty.SetTo("NullFactory", nullptr), 2);
	EXPECT_TRUE(empty.InitCheck());

	BMessage settings = ImageSettings("/boot/backups");
	MVVolumeOrg volume("MVImage", &settings, Loader());
	ASSERT_FALSE(volume.InitCheck());
	EXPECT_EQ(volume.GetType(), kVolumeTypeImage);
	EXPECT_GT(volume.GetCapacity(), 0);
	ASSERT_EQ(volume.Start("20261208000000002", kVolumeModeWrite), 0);
	EXPECT_EQ(volume.Write("backup", 6), 6);
	EXPECT_EQ(volume.Stop(), 0);
	strcpy(info.name, "*");
	ASSERT_EQ(volume.FindFirst(&info), 0);
	EXPECT_STREQ(info.name, "20261208000000002");
	ASSERT_EQ(volume.Start("20261208000000002", kVolumeModeRead), 0);
	char buffer[8] = {};
	EXPECT_EQ(volume.Read(buffer, sizeof(buffer)), 6);
	EXPECT_STREQ(buffer, "backup");
	EXPECT_EQ(volume.Stop(), 0);
	EXPECT_EQ(volume.Delete("20261208000000002"), 0);
	volume.Unset();
	EXPECT_TRUE(volume.InitCheck());
	EXPECT_EQ(volume.Start("20261208000000002", kVolumeModeRead), -1);
}
