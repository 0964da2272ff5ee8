// The add-ons in a program without a display, as the server loads them:
// asking for their settings windows does nothing, and nothing starts Qt.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <support/TypeConstants.h>

#include "AddOnLoader.h"

TEST(AddOnSettingsHeadlessTest, SettingsWithoutADisplayDoNothing)
{
	ASSERT_EQ(QCoreApplication::instance(), nullptr);
	AddOnLoader loader(std::string(MORVANE_DIST_DIR) + "/Backup_Server");
	image_id destinationImage = 0;
	image_id compressorImage = 0;
	MVVolume* volume = loader.LoadDestination("MVImage", nullptr, &destinationImage);
	MVCruncher* cruncher = loader.LoadCruncher("MVNone", nullptr, &compressorImage);
	ASSERT_NE(volume, nullptr);
	ASSERT_NE(cruncher, nullptr);

	volume->Settings(nullptr, nullptr, "English");
	cruncher->Settings(nullptr, nullptr, "English");
	EXPECT_EQ(QCoreApplication::instance(), nullptr);
	// Not even the first window frame went into the settings.
	BMessage settings;
	volume->GetPref(&settings);
	EXPECT_FALSE(settings.HasData("winpos", B_RECT_TYPE));
	cruncher->GetPref(&settings);
	EXPECT_FALSE(settings.HasData("winpos", B_RECT_TYPE));

	delete volume;
	delete cruncher;
	EXPECT_EQ(QCoreApplication::instance(), nullptr);
	AddOnLoader::Free(&destinationImage);
	AddOnLoader::Free(&compressorImage);
}
