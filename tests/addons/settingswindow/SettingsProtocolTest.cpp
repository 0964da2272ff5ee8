// The settings protocol both add-ons follow, through the real objects and
// their real windows: Ok, Cancel and Escape, a second opening, the first
// frame, and an object deleted while its window is open.

#include <functional>
#include <memory>

#include <interface/Button.h>
#include <interface/View.h>

#include "MVImage.h"
#include "MVNone.h"
#include "MVSetWindow.h"
#include "SettingsTestSupport.h"

namespace {

// One add-on object seen the same way whatever its kind.
class SettingsObject {
public:
	virtual ~SettingsObject() = default;
	virtual void Settings(BWindow* parent, BHandler* target) = 0;
	virtual BMessage Pref() = 0;
	virtual void SetPref(const BMessage& settings) = 0;
	virtual BMessenger Window() const = 0;
	virtual BHandler* Handler() = 0;
	virtual void Delete() = 0;
};


template<typename Object>
class SettingsObjectOf : public SettingsObject {
public:
	void Settings(BWindow* parent, BHandler* target) override
	{
		fObject->Settings(parent, target, "English");
	}

	BMessage Pref() override
	{
		BMessage settings;
		fObject->GetPref(&settings);
		return settings;
	}

	void SetPref(const BMessage& settings) override { fObject->SetPref(settings); }
	BMessenger Window() const override { return fObject->SettingsWindow(); }
	BHandler* Handler() override { return fObject.get(); }
	void Delete() override { fObject.reset(); }

private:
	std::unique_ptr<Object> fObject = std::make_unique<Object>();
};


struct AddOnKind {
	const char* name;
	std::function<std::unique_ptr<SettingsObject>()> make;
	uint32 replyCode;
	const char* title;
};

void PrintTo(const AddOnKind& kind, std::ostream* out)
{
	*out << kind.name;
}

const AddOnKind kKinds[] = {
	{"Image", [] { return std::make_unique<SettingsObjectOf<MVImage>>(); }, kVolumeSettingsReply,
		"Image Settings"},
	{"None", [] { return std::make_unique<SettingsObjectOf<MVNone>>(); }, kCruncherSettingsReply,
		"None Settings"},
};


class SettingsProtocolTest : public SettingsWindowTest,
	public ::testing::WithParamInterface<AddOnKind> {
protected:
	void SetUp() override
	{
		SettingsWindowTest::SetUp();
		fObject = GetParam().make();
	}

	void TearDown() override
	{
		fObject.reset();
		SettingsWindowTest::TearDown();
	}

	// Settings with a frame and a name, as a job keeps them.
	void GiveSettings(BRect frame)
	{
		BMessage settings = fObject->Pref();
		ASSERT_EQ(settings.SetRect("winpos", frame), B_OK);
		ASSERT_EQ(settings.SetString("MVVOLNAME", "/Disk/old"), B_OK);
		fObject->SetPref(settings);
	}

	MVSetWindow* Open()
	{
		fObject->Settings(fParent, &fTarget);
		auto* window = WindowOf<MVSetWindow>(fObject->Window());
		EXPECT_NE(window, nullptr);
		return window;
	}

	// The window went and its reply reached the object.
	void WaitUntilClosed(const BMessenger& window)
	{
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return !window.IsValid() && fObject->Handler()->Looper() == nullptr;
		}));
		SyncParent();
	}

	static BButton* ButtonOf(MVSetWindow* window, const char* name)
	{
		return dynamic_cast<BButton*>(window->FindView(name));
	}

	std::unique_ptr<SettingsObject> fObject;
};

}	// namespace


TEST_P(SettingsProtocolTest, OkStoresTheFrameRelativeToTheParentAndPostsTheResult)
{
	GiveSettings(BRect(30, 40, 430, 215));
	MVSetWindow* window = Open();
	ASSERT_NE(window, nullptr);
	BMessenger messenger = fObject->Window();
	BRect parent = fParent->Frame();
	EXPECT_EQ(window->Frame(), BRect(30, 40, 430, 215).OffsetBy(parent.left, parent.top));
	EXPECT_STREQ(window->Title(), GetParam().title);
	EXPECT_EQ(fObject->Handler()->Looper(), fParent);

	ASSERT_TRUE(window->Lock());
	window->MoveTo(parent.left + 55, parent.top + 65);
	window->Unlock();
	ButtonOf(window, "btn_ok")->Click();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return !fTarget.fReceived.empty(); }));
	WaitUntilClosed(messenger);

	ASSERT_EQ(fTarget.fReceived.size(), 1u);
	const BMessage& reply = fTarget.fReceived.front();
	EXPECT_EQ(reply.what, GetParam().replyCode);
	EXPECT_TRUE(reply.GetBool("result", false));
	BMessage sent;
	ASSERT_EQ(reply.FindMessage("settings", &sent), B_OK);
	BMessage stored = fObject->Pref();
	EXPECT_EQ(Flat(sent), Flat(stored));
	BRect frame;
	ASSERT_EQ(stored.FindRect("winpos", &frame), B_OK);
	EXPECT_EQ(frame, BRect(55, 65, 455, 240));
	EXPECT_STREQ(stored.GetString("MVVOLNAME"), "/Disk/old");
	EXPECT_FALSE(fObject->Window().IsValid());
}


TEST_P(SettingsProtocolTest, CancelAndEscapeChangeNothingAndSendNothing)
{
	const std::function<void(MVSetWindow*)> ways[] = {
		[](MVSetWindow* window) { ButtonOf(window, "btn_cancel")->Click(); },
		[](MVSetWindow* window) { window->FindView("bkg_view")->KeyDown("\x1b", 1); },
	};
	GiveSettings(BRect(30, 40, 430, 215));
	std::vector<char> before = Flat(fObject->Pref());
	for (const auto& cancel : ways) {
		MVSetWindow* window = Open();
		ASSERT_NE(window, nullptr);
		BMessenger messenger = fObject->Window();
		ASSERT_TRUE(window->Lock());
		window->MoveTo(5, 5);
		window->Unlock();
		cancel(window);
		WaitUntilClosed(messenger);
		EXPECT_TRUE(fTarget.fReceived.empty());
		EXPECT_EQ(Flat(fObject->Pref()), before);
	}
}


TEST_P(SettingsProtocolTest, ASecondSettingsWhileOpenOnlyBringsTheWindowUp)
{
	GiveSettings(BRect(30, 40, 430, 215));
	MVSetWindow* window = Open();
	ASSERT_NE(window, nullptr);
	BMessenger first = fObject->Window();
	EXPECT_EQ(Open(), window);
	EXPECT_EQ(fObject->Window(), first);
	EXPECT_FALSE(window->IsHidden());

	ButtonOf(window, "btn_cancel")->Click();
	WaitUntilClosed(first);
	// Once closed, the next call opens a new one.
	MVSetWindow* again = Open();
	ASSERT_NE(again, nullptr);
	EXPECT_NE(fObject->Window(), first);
	ButtonOf(again, "btn_cancel")->Click();
	WaitUntilClosed(fObject->Window());
}


TEST_P(SettingsProtocolTest, TheFirstOpeningStoresTheDefaultFrame)
{
	ASSERT_FALSE(fObject->Pref().HasData("winpos", B_RECT_TYPE));
	MVSetWindow* window = Open();
	ASSERT_NE(window, nullptr);
	BRect frame;
	ASSERT_EQ(fObject->Pref().FindRect("winpos", &frame), B_OK);
	EXPECT_EQ(frame, BRect(20, 20, 420, 195));
	BRect parent = fParent->Frame();
	EXPECT_EQ(window->Frame(), frame.OffsetBy(parent.left, parent.top));
	ButtonOf(window, "btn_cancel")->Click();
	WaitUntilClosed(fObject->Window());
}


TEST_P(SettingsProtocolTest, DeletingTheObjectQuitsItsWindowWithoutAReply)
{
	GiveSettings(BRect(30, 40, 430, 215));
	int32 handlers = fParent->CountHandlers();
	ASSERT_NE(Open(), nullptr);
	EXPECT_EQ(fParent->CountHandlers(), handlers + 1);
	BMessenger window = fObject->Window();
	fObject->Delete();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return !window.IsValid(); }));
	SyncParent();
	EXPECT_TRUE(fTarget.fReceived.empty());
	EXPECT_EQ(fParent->CountHandlers(), handlers);
}


INSTANTIATE_TEST_SUITE_P(AddOns, SettingsProtocolTest, ::testing::ValuesIn(kKinds),
	[](const ::testing::TestParamInfo<AddOnKind>& info) { return std::string(info.param.name); });
