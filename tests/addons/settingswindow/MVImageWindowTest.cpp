// The image destination's settings window: its check boxes and the folder
// chosen in its panel end up in the add-on's settings.

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/FilePanel.h>
#include <interface/StringView.h>

#include <QPushButton>
#include <QWidget>

#include "MVImage.h"
#include "MVImageWindow.h"
#include "SettingsTestSupport.h"

namespace {

class MVImageWindowTest : public SettingsWindowTest {
protected:
	void TearDown() override
	{
		fImage.reset();
		SettingsWindowTest::TearDown();
	}

	MVImageWindow* Open(const char* folder)
	{
		BMessage settings;
		settings.AddString(kVolumeNameKey, folder);
		settings.AddBool(kVolumeOverwriteKey, false);
		settings.AddBool(kImageCreatePathKey, false);
		fImage->SetPref(settings);
		fImage->Settings(fParent, &fTarget, nullptr);
		fWindow = fImage->SettingsWindow();
		return WindowOf<MVImageWindow>(fWindow);
	}

	// The folder panel, shown by the window's Location button.
	BFilePanel* ShowPanel(MVImageWindow* window)
	{
		dynamic_cast<BButton*>(window->FindView("btn_location"))->Click();
		EXPECT_TRUE(BDisplay::WaitFor([&] {
			return window->FolderPanel() != nullptr && window->FolderPanel()->IsShowing();
		}));
		return window->FolderPanel();
	}

	static const char* TargetText(MVImageWindow* window)
	{
		return dynamic_cast<BStringView*>(window->FindView("TargetDir"))->Text();
	}

	// Ok, and the reply passed on to the target.
	void Confirm(MVImageWindow* window)
	{
		dynamic_cast<BButton*>(window->FindView("btn_ok"))->Click();
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return !fWindow.IsValid() && fImage->Looper() == nullptr
				&& !fTarget.fReceived.empty();
		}));
	}

	std::unique_ptr<MVImage> fImage = std::make_unique<MVImage>();
	BMessenger fWindow;
};

}	// namespace


TEST_F(MVImageWindowTest, CheckBoxesAndTheChosenFolderReachTheSettings)
{
	MVImageWindow* window = Open("/Disk/old/sub");
	ASSERT_NE(window, nullptr);
	EXPECT_STREQ(TargetText(window), "/Disk/old/sub");
	auto* overwrite = dynamic_cast<BCheckBox*>(window->FindView("Overwrite"));
	auto* createPath = dynamic_cast<BCheckBox*>(window->FindView("CreatePath"));
	ASSERT_NE(overwrite, nullptr);
	ASSERT_NE(createPath, nullptr);
	EXPECT_EQ(overwrite->Value(), B_CONTROL_OFF);
	// Both boxes show their labels whole, one under the other.
	float preferred;
	overwrite->GetPreferredSize(nullptr, &preferred);
	EXPECT_GE(overwrite->Frame().Height(), preferred);
	EXPECT_LT(overwrite->Frame().bottom, createPath->Frame().top);

	overwrite->Click();
	createPath->Click();
	BFilePanel* panel = ShowPanel(window);
	ASSERT_NE(panel, nullptr);
	// It opens in the folder that holds the current target.
	entry_ref shown;
	ASSERT_EQ(panel->GetPanelDirectory(&shown), B_OK);
	EXPECT_EQ(shown.path, "/Disk/old");
	// A folder of the boot volume is kept under the volume's name.
	ASSERT_EQ(panel->SelectAndOpen("/boot/backups/current"), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return std::string(TargetText(window)) == "/HD/backups/current";
	}));
	EXPECT_TRUE(BDisplay::WaitFor([&] { return !panel->IsShowing(); }));

	Confirm(window);
	BMessage stored;
	fImage->GetPref(&stored);
	EXPECT_STREQ(stored.GetString(kVolumeNameKey), "/HD/backups/current");
	EXPECT_TRUE(stored.GetBool(kVolumeOverwriteKey, false));
	EXPECT_TRUE(stored.GetBool(kImageCreatePathKey, false));
	EXPECT_TRUE(fTarget.fReceived.front().GetBool("result", false));
}


TEST_F(MVImageWindowTest, TheCurrentDirButtonChoosesTheFolderShown)
{
	MVImageWindow* window = Open("/HD/backups");
	ASSERT_NE(window, nullptr);
	BFilePanel* panel = ShowPanel(window);
	ASSERT_NE(panel, nullptr);
	entry_ref shown;
	ASSERT_EQ(panel->GetPanelDirectory(&shown), B_OK);
	EXPECT_EQ(shown.path, "/boot");
	// A second Location while the panel shows changes nothing.
	dynamic_cast<BButton*>(window->FindView("btn_location"))->Click();
	BDisplay::ProcessEvents();
	EXPECT_EQ(window->FolderPanel(), panel);

	ASSERT_EQ(panel->SetPanelDirectory("/Disk/old"), B_OK);
	auto* button = panel->Widget()->findChild<QPushButton*>(QStringLiteral("current dir button"));
	ASSERT_NE(button, nullptr);
	EXPECT_EQ(button->text(), QStringLiteral("Select Current Directory"));
	button->click();
	// The window takes the folder and drops the panel.
	ASSERT_TRUE(BDisplay::WaitFor([&] { return window->FolderPanel() == nullptr; }));
	EXPECT_STREQ(TargetText(window), "/Disk/old");

	Confirm(window);
	BMessage stored;
	fImage->GetPref(&stored);
	EXPECT_STREQ(stored.GetString(kVolumeNameKey), "/Disk/old");
	EXPECT_FALSE(stored.GetBool(kVolumeOverwriteKey, true));
}


TEST(MVImageWindowNames, BootPathsTakeTheBootVolumesName)
{
	TestFolder folder;
	ScopedEnv volumes("MORVANE_VOLUMES", "Main Disk=" + folder.MakeFolder("main"));
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	const struct {
		const char* path;
		const char* expected;
	} cases[] = {
		{"/boot", "/Main Disk"},
		{"/boot/backups", "/Main Disk/backups"},
		{"/bootleg/backups", "/bootleg/backups"},
		{"/Other/boot", "/Other/boot"},
	};
	for (const auto& test : cases)
		EXPECT_EQ(MVImageWindow::WithBootVolumeName(test.path), test.expected) << test.path;
	(void)VolumeTable::Reload();
}
