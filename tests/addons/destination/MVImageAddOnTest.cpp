// The add-on file MVImage as the server and the GUI load it, and the image
// destination's archives.

#include "MVImage.h"

#include <gtest/gtest.h>

#include <memory>

#include <kernel/image.h>

#include "DestinationTestSupport.h"

namespace {

// Loads the add-on for one test and unloads it after.
class LoadedAddOn {
public:
	LoadedAddOn() : fImage(load_add_on(MORVANE_IMAGE_ADDON)) {}
	~LoadedAddOn()
	{
		if (fImage > 0)
			(void)unload_add_on(fImage);
	}

	image_id Image() const { return fImage; }

	template<typename Function>
	Function Find(const char* name) const
	{
		void* location = nullptr;
		if (get_image_symbol(fImage, name, B_SYMBOL_TYPE_TEXT, &location) != B_OK)
			return nullptr;
		return reinterpret_cast<Function>(location);
	}

private:
	image_id fImage;
};

using MVImageAddOnTest = DestinationTest;

}	// namespace


// Both factories are found by name and make working image destinations,
// which are deleted before the add-on is unloaded; their archives.
TEST_F(MVImageAddOnTest, FactoriesOfTheAddOnFile)
{
	LoadedAddOn addOn;
	ASSERT_GT(addOn.Image(), 0) << add_on_error_text();
	auto instantiate = addOn.Find<instantiate_mvvolume_func>(kInstantiateVolumeSymbol);
	auto instantiate2 = addOn.Find<instantiate2_mvvolume_func>(
		kInstantiateVolumeFromArchiveSymbol);
	ASSERT_NE(instantiate, nullptr);
	ASSERT_NE(instantiate2, nullptr);

	std::unique_ptr<MVVolume> volume(instantiate());
	ASSERT_NE(volume, nullptr);
	EXPECT_EQ(volume->GetType(), kVolumeTypeImage);
	EXPECT_EQ(volume->Name(), nullptr);

	BMessage settings;
	settings.AddString(kVolumeNameKey, "/Disk/backups");
	settings.AddBool(kImageCreatePathKey, true);
	volume->SetPref(settings);
	ASSERT_EQ(volume->Start("2024010100000003", kVolumeModeWrite), kImageOK);
	EXPECT_EQ(volume->Write("through the add-on", 18), 18);
	EXPECT_EQ(volume->Stop(), kImageOK);
	EXPECT_EQ(ReadWholeFile(fFolder / "disk/backups/2024010100000003"), "through the add-on");

	// An archive names both classes; the second factory and MVImage's own
	// Instantiate restore nothing of it, the base restores its keys.
	BMessage archive;
	ASSERT_EQ(volume->Archive(&archive), B_OK);
	EXPECT_STREQ(archive.GetString(kArchiveClassKey, 0, nullptr), "MVVolume");
	EXPECT_STREQ(archive.GetString(kArchiveClassKey, 1, nullptr), "MVImage");
	std::unique_ptr<MVVolume> fromArchive(instantiate2(&archive));
	ASSERT_NE(fromArchive, nullptr);
	EXPECT_EQ(fromArchive->GetType(), kVolumeTypeImage);
	EXPECT_EQ(fromArchive->Name(), nullptr);
	std::unique_ptr<MVImage> copy(MVImage::Instantiate(&archive));
	ASSERT_NE(copy, nullptr);
	EXPECT_EQ(copy->Name(), nullptr);
	std::unique_ptr<MVVolume> base(MVVolume::Instantiate(&archive));
	ASSERT_NE(base, nullptr);
	EXPECT_STREQ(base->Name(), "/Disk/backups");

	MVVolume plain;
	BMessage plainArchive;
	ASSERT_EQ(plain.Archive(&plainArchive), B_OK);
	EXPECT_EQ(MVImage::Instantiate(&plainArchive), nullptr);
}
