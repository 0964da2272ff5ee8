// The streamer destination's settings window against the virtual tape
// drives: the drive menu from the scan, "btn_go" following the drive's
// readiness, and a complete erase stopped when the window is cancelled.

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/Menu.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>

#include "MVStreamer.h"
#include "MVStreamerWindow.h"
#include "SettingsTestSupport.h"
#include "drivers/VirtualTapeLibrary.h"

namespace {

class MVStreamerWindowTest : public SettingsWindowTest {
protected:
	void SetUp() override
	{
		SettingsWindowTest::SetUp();
		fTapes.emplace("MORVANE_VTAPE_DIR", fFolder / "tapes");
		fFolder.MakeFolder("tapes");
	}

	void TearDown() override
	{
		fStreamer.reset();
		fTapes.reset();
		SettingsWindowTest::TearDown();
	}

	// A drive with a tape of size bytes in it.
	void AddDrive(int32 drive, const std::string& tape, uint64 size)
	{
		MorvaneKit::VirtualTapeLibrary library(fFolder / "tapes");
		MorvaneKit::VirtualTape::Header header;
		header.capacity = size;
		header.earlyWarning = size / 10;
		ASSERT_EQ(library.NewTape(tape, header), B_OK);
		ASSERT_EQ(library.Load(drive, tape), B_OK);
	}

	MVStreamerWindow* Open(const char* driveName, const char* device = "")
	{
		BMessage settings;
		settings.AddString(kVolumeNameKey, driveName);
		settings.AddString(MVStreamer::kDeviceKey, device);
		fStreamer->SetPref(settings);
		fStreamer->Settings(fParent, &fTarget, nullptr);
		fWindow = fStreamer->SettingsWindow();
		return WindowOf<MVStreamerWindow>(fWindow);
	}

	template<typename View>
	static View* Find(MVStreamerWindow* window, const char* name)
	{
		return dynamic_cast<View*>(window->FindView(name));
	}

	void Close(MVStreamerWindow* window, const char* button)
	{
		Find<BButton>(window, button)->Click();
		ASSERT_TRUE(BDisplay::WaitFor([&] { return !fWindow.IsValid(); }));
	}

	std::optional<ScopedEnv> fTapes;
	std::unique_ptr<MVStreamer> fStreamer = std::make_unique<MVStreamer>();
	BMessenger fWindow;
};

}	// namespace


// Without drives the menu is empty and nothing can be run.
TEST_F(MVStreamerWindowTest, NoDrives)
{
	MVStreamerWindow* window = Open("");
	ASSERT_NE(window, nullptr);
	ASSERT_TRUE(window->Lock());
	EXPECT_EQ(Find<BMenuField>(window, "mnu_streamer")->Menu()->CountItems(), 0);
	EXPECT_FALSE(Find<BButton>(window, "btn_go")->IsEnabled());
	EXPECT_EQ(Find<BMenuField>(window, "mnu_command")->Menu()->CountItems(), 6);
	window->Unlock();
	Close(window, "btn_cancel");
}


// A stored drive that is not there gives way to the first drive found,
// which the settings then name; Ok hands them back.
TEST_F(MVStreamerWindowTest, UnknownDriveChoosesTheFirst)
{
	AddDrive(0, "a", 1 << 20);
	AddDrive(1, "b", 1 << 20);
	MVStreamerWindow* window = Open("HP Ultrium 5 (2/5/0)");
	ASSERT_NE(window, nullptr);
	ASSERT_TRUE(window->Lock());
	BMenu* drives = Find<BMenuField>(window, "mnu_streamer")->Menu();
	ASSERT_EQ(drives->CountItems(), 2);
	ASSERT_NE(drives->FindMarked(), nullptr);
	EXPECT_STREQ(drives->FindMarked()->Label(), "MORVANE VIRTUAL TAPE (9/0/0)");
	window->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		if (!window->Lock())
			return false;
		bool enabled = Find<BButton>(window, "btn_go")->IsEnabled();
		window->Unlock();
		return enabled;
	}));
	ASSERT_TRUE(window->Lock());
	drives->ItemAt(1)->SetMarked(true);
	(void)drives->ItemAt(1)->Invoke();
	Find<BCheckBox>(window, "Overwrite")->SetValue(B_CONTROL_ON);
	(void)Find<BCheckBox>(window, "Overwrite")->Invoke();
	window->Unlock();
	Find<BButton>(window, "btn_ok")->Click();
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return !fWindow.IsValid() && fStreamer->Looper() == nullptr && !fTarget.fReceived.empty();
	})) << fTarget.fReceived.size() << " " << fWindow.IsValid();
	BMessage settings;
	fStreamer->GetPref(&settings);
	EXPECT_STREQ(settings.GetString(kVolumeNameKey, ""), "MORVANE VIRTUAL TAPE (9/1/0)");
	EXPECT_STREQ(settings.GetString(MVStreamer::kDeviceKey, ""), "/dev/bus/scsi/9/1/0/raw");
	EXPECT_TRUE(settings.GetBool(kVolumeOverwriteKey, false));
}


// A complete erase runs on its own thread; cancelling the window stops it
// before the window goes.
TEST_F(MVStreamerWindowTest, CancelStopsACompleteErase)
{
	AddDrive(0, "big", 4ull << 30);
	MVStreamerWindow* window = Open("MORVANE VIRTUAL TAPE (9/0/0)", "/dev/bus/scsi/9/0/0/raw");
	ASSERT_NE(window, nullptr);
	ASSERT_TRUE(window->Lock());
	BMenu* commands = Find<BMenuField>(window, "mnu_command")->Menu();
	commands->ItemAt(1)->SetMarked(true);
	EXPECT_STREQ(commands->ItemAt(1)->Label(), "Erase (Complete)");
	ASSERT_TRUE(Find<BButton>(window, "btn_go")->IsEnabled());
	Find<BButton>(window, "btn_go")->Click();
	window->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return window->IsErasing(); }));
	Close(window, "btn_cancel");
	MorvaneKit::VirtualTape tape;
	ASSERT_EQ(tape.Open(fFolder / "tapes/big.vtape"), B_OK);
	uint64 used = MorvaneKit::VirtualTape::Used(tape.End());
	EXPECT_LT(used, 4ull << 30);
	// Nothing writes to the tape any more.
	BDisplay::ProcessEvents();
	ASSERT_EQ(tape.Open(fFolder / "tapes/big.vtape"), B_OK);
	EXPECT_EQ(MorvaneKit::VirtualTape::Used(tape.End()), used);
}
