// The restore options as the "Restore Settings" window shows and returns
// them: every control reaches its key, other keys pass through, and only a
// confirmed window says so.

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/Display.h>
#include <interface/Menu.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>

#include "MVDefaultTexts.h"
#include "MVLocale.h"
#include "MVRestoreSettingsWindow.h"
#include "ReplyWindow.h"

namespace {

const char* const kBoxes[] = {"chk_askoverwrite", "chk_createroot", "chk_emptydirs",
	"chk_divert"};
const char* const kKeys[] = {"askoverwrite", "createroot", "createemptydirs", "divert"};


TEST(MVRestoreSettingsWindowTest, ShowsAndReturnsEveryOption)
{
	InstallDefaultTexts(MVLocale::GetInstance());
	const struct {
		int32 overwrite;        // stored before
		int32 boxes;            // bits of kBoxes ticked before
		int32 chosen;           // overwrite item chosen in the window
		const char* button;
	} cases[] = {
		{0, 0x0, 3, "btn_ok"},
		{2, 0xf, 1, "btn_ok"},
		{1, 0x5, 0, "btn_cancel"},
	};
	for (const auto& testCase : cases) {
		BMessage options;
		options.AddInt32("overwrite", testCase.overwrite);
		for (int32 box = 0; box < 4; box++)
			options.AddInt32(kKeys[box], (testCase.boxes >> box) & 1);
		options.AddString("other", "kept");
		auto* owner = new ReplyWindow;
		owner->Show();
		auto* window = new MVRestoreSettingsWindow(BPoint(40, 40), options, BMessenger(owner));
		window->Show();
		ASSERT_TRUE(window->Lock());
		BMenu* menu = static_cast<BMenuField*>(window->FindView("mnu_overwrite"))->Menu();
		EXPECT_EQ(menu->IndexOf(menu->FindMarked()), testCase.overwrite);
		for (int32 box = 0; box < 4; box++) {
			auto* check = static_cast<BCheckBox*>(window->FindView(kBoxes[box]));
			EXPECT_EQ(check->Value(), (testCase.boxes >> box) & 1) << kBoxes[box];
			// The user turns every box over.
			check->SetValue(check->Value() == B_CONTROL_ON ? B_CONTROL_OFF : B_CONTROL_ON);
		}
		menu->ItemAt(testCase.chosen)->SetMarked(true);
		static_cast<BButton*>(window->FindView(testCase.button))->Click();
		window->Unlock();
		ASSERT_TRUE(BDisplay::WaitFor([&] { return owner->replies.size() == 1; }));
		const BMessage& reply = owner->replies[0];
		EXPECT_EQ(reply.what, kMsgRestoreSettingsReply);
		bool confirmed = testCase.button == std::string("btn_ok");
		EXPECT_EQ(reply.GetBool("result", !confirmed), confirmed);
		BMessage settings;
		ASSERT_EQ(reply.FindMessage("settings", &settings), B_OK);
		EXPECT_STREQ(settings.GetString("other", ""), "kept");
		EXPECT_EQ(settings.GetInt32("overwrite", -1),
			confirmed ? testCase.chosen : testCase.overwrite);
		for (int32 box = 0; box < 4; box++) {
			int32 before = (testCase.boxes >> box) & 1;
			EXPECT_EQ(settings.GetInt32(kKeys[box], -1), confirmed ? 1 - before : before)
				<< kKeys[box];
		}
		if (owner->Lock())
			owner->Quit();
	}
}

}	// namespace
