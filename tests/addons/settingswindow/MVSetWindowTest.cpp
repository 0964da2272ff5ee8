// The settings window base: its views and how it takes its size limits.

#include <QWidget>

#include "MVSetView.h"
#include "MVSetWindow.h"
#include "SettingsTestSupport.h"

namespace {

BMessage WithFrame(BRect frame)
{
	BMessage settings;
	settings.AddRect("winpos", frame);
	return settings;
}

}	// namespace


TEST_F(SettingsWindowTest, TheBackgroundLiesUnderTheSeparatorAndTheButtons)
{
	auto* window = new MVSetWindow("Plain", fParent, WithFrame(BRect(0, 0, 300, 200)), 'rply',
		nullptr, B_TITLED_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL, 0);
	ASSERT_EQ(window->CountChildren(), 4);
	BView* background = window->ChildAt(0);
	EXPECT_STREQ(background->Name(), "bkg_view");
	EXPECT_NE(dynamic_cast<MVSetView*>(background), nullptr);
	EXPECT_EQ(background->Frame(), window->Bounds());
	EXPECT_EQ(window->ChildAt(1)->Frame(), BRect(0, 160, 300, 160));
	EXPECT_EQ(window->FindView("btn_ok")->Frame(), BRect(10, 170, 140, 190));
	EXPECT_EQ(window->FindView("btn_cancel")->Frame(), BRect(160, 170, 290, 190));
	// Qt paints later siblings over earlier ones.
	QWidget* top = background->Widget()->parentWidget();
	EXPECT_EQ(top->children().indexOf(background->Widget()), 0);
	window->Show();
	EXPECT_TRUE(BDisplay::WaitFor([&] { return background->IsFocus(); }));
	ASSERT_TRUE(window->Lock());
	window->Quit();
}


TEST_F(SettingsWindowTest, SizeLimitsFitTheWindowToTheMinimum)
{
	const struct {
		uint32 flags;
		BRect frame;
		float width;
		float height;
	} cases[] = {
		// A window the user may not resize takes exactly the minimum.
		{B_NOT_RESIZABLE, BRect(0, 0, 500, 300), 400, 175},
		{B_NOT_RESIZABLE, BRect(0, 0, 200, 100), 400, 175},
		// Any other grows where it is smaller, and only there.
		{0, BRect(0, 0, 200, 100), 400, 175},
		{0, BRect(0, 0, 500, 100), 500, 175},
		{0, BRect(0, 0, 500, 300), 500, 300},
	};
	for (const auto& test : cases) {
		auto* window = new MVSetWindow("Limits", nullptr, WithFrame(test.frame), 'rply', nullptr,
			B_TITLED_WINDOW_LOOK, B_NORMAL_WINDOW_FEEL, test.flags);
		window->SetSizeLimits(400, 10000, 175, 10000);
		EXPECT_EQ(window->Bounds(), BRect(0, 0, test.width, test.height))
			<< test.flags << " " << test.frame.Width();
		EXPECT_EQ(window->FindView("bkg_view")->Frame(), window->Bounds());
		float minWidth;
		float minHeight;
		window->GetSizeLimits(&minWidth, nullptr, &minHeight, nullptr);
		EXPECT_EQ(minWidth, 400);
		EXPECT_EQ(minHeight, 175);
		window->Quit();
	}
}
