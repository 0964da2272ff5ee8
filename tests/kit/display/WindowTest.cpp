// Windows dispatched from the display's loop, views following their parent,
// and controls and menus invoking their messages.

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <QWidget>

#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/Display.h>
#include <interface/MenuBar.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>
#include <interface/RadioButton.h>
#include <interface/TextControl.h>
#include <interface/Window.h>

namespace {

// Keeps every message its handlers get, and what thread got it.
class RecordingWindow : public BWindow {
public:
	RecordingWindow(std::vector<BMessage>* received, bool* deleted)
		:
		BWindow(BRect(10, 10, 309, 209), "Recording", B_TITLED_WINDOW, 0),
		fReceived(received),
		fDeleted(deleted)
	{
	}

	~RecordingWindow() override
	{
		if (fDeleted != nullptr)
			*fDeleted = true;
	}

	void MessageReceived(BMessage* message) override
	{
		EXPECT_TRUE(IsLocked());
		fReceived->push_back(*message);
		fThreads.push_back(find_thread(nullptr));
	}

	std::vector<thread_id> fThreads;

private:
	std::vector<BMessage>* fReceived;
	bool* fDeleted;
};


TEST(WindowTest, MessagesFromOtherThreadsAreDispatchedOnTheMainThreadInOrder)
{
	std::vector<BMessage> received;
	bool deleted = false;
	auto* window = new RecordingWindow(&received, &deleted);
	window->Show();
	BMessenger messenger(window);
	std::thread poster([&] {
		for (int32 index = 0; index < 50; index++) {
			BMessage message('test');
			message.AddInt32("index", index);
			ASSERT_EQ(messenger.SendMessage(&message), B_OK);
		}
	});
	poster.join();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return received.size() == 50; }));
	for (int32 index = 0; index < 50; index++) {
		EXPECT_EQ(received[size_t(index)].GetInt32("index", -1), index);
		EXPECT_EQ(window->fThreads[size_t(index)], find_thread(nullptr));
	}
	// A synchronous send from the thread that dispatches the window would
	// wait for itself.
	BMessage reply;
	EXPECT_EQ(messenger.SendMessage('sync', &reply), B_WOULD_BLOCK);

	ASSERT_TRUE(window->Lock());
	window->Quit();
	EXPECT_TRUE(BDisplay::WaitFor([&] { return deleted; }));
	EXPECT_FALSE(messenger.IsValid());
}


// Quitting from inside one of its own messages deletes the window only after
// that message is done.
class SelfQuittingWindow : public BWindow {
public:
	explicit SelfQuittingWindow(bool* deleted)
		:
		BWindow(BRect(0, 0, 99, 99), "Quitter", B_TITLED_WINDOW, 0),
		fDeleted(deleted)
	{
	}

	~SelfQuittingWindow() override { *fDeleted = true; }

	void MessageReceived(BMessage* message) override
	{
		Quit();
		EXPECT_FALSE(*fDeleted);
		fAfterQuit = true;
	}

	bool fAfterQuit = false;

private:
	bool* fDeleted;
};


TEST(WindowTest, QuitInsideAMessageDeletesAfterItAndDropsTheRest)
{
	bool deleted = false;
	auto* window = new SelfQuittingWindow(&deleted);
	window->Show();
	ASSERT_EQ(window->PostMessage('quit'), B_OK);
	ASSERT_EQ(window->PostMessage('more'), B_OK);
	EXPECT_TRUE(BDisplay::WaitFor([&] { return deleted; }));
}


TEST(WindowTest, UserCloseAsksQuitRequested)
{
	std::vector<BMessage> received;
	bool deleted = false;
	auto* window = new RecordingWindow(&received, &deleted);
	window->Show();
	window->Widget()->close();
	EXPECT_TRUE(BDisplay::WaitFor([&] { return deleted; }));
}


TEST(ViewTest, ChildrenFollowTheirParentByResizingMode)
{
	struct Case {
		uint32 mode;
		BRect expected;
	};
	// The parent grows by 100 x 40 from 200 x 100.
	const Case cases[] = {
		{B_FOLLOW_LEFT | B_FOLLOW_TOP, BRect(10, 10, 49, 29)},
		{B_FOLLOW_RIGHT | B_FOLLOW_BOTTOM, BRect(110, 50, 149, 69)},
		{B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP_BOTTOM, BRect(10, 10, 149, 69)},
		{B_FOLLOW_H_CENTER | B_FOLLOW_V_CENTER, BRect(60, 30, 99, 49)},
	};
	for (const Case& testCase : cases) {
		auto* window = new BWindow(BRect(0, 0, 199, 99), "Resize", B_TITLED_WINDOW, 0);
		auto* parent = new BView(window->Bounds(), "parent", B_FOLLOW_ALL, 0);
		auto* child = new BView(BRect(10, 10, 49, 29), "child", testCase.mode, 0);
		parent->AddChild(child);
		window->AddChild(parent);
		window->ResizeBy(100, 40);
		EXPECT_EQ(window->FindView("child"), child);
		EXPECT_EQ(child->Frame(), testCase.expected) << "mode " << testCase.mode;
		window->Quit();
	}
}


// A window with one of each control, recording what they invoke.
struct ControlBed {
	ControlBed()
	{
		window = new RecordingWindow(&received, nullptr);
		button = new BButton(BRect(10, 10, 90, 30), "btn", "Go", new BMessage('butn'));
		check = new BCheckBox(BRect(10, 40, 90, 60), "check", "Check", new BMessage('chck'));
		radioA = new BRadioButton(BRect(10, 70, 90, 90), "radioA", "A", new BMessage('rada'));
		radioB = new BRadioButton(BRect(100, 70, 190, 90), "radioB", "B", new BMessage('radb'));
		text = new BTextControl(BRect(10, 100, 290, 120), "text", "Name:", "old",
			new BMessage('text'));
		auto* menu = new BPopUpMenu("Choose");
		menu->AddItem(new BMenuItem("One", new BMessage('one ')));
		menu->AddItem(new BMenuItem("Two", new BMessage('two ')));
		field = new BMenuField(BRect(10, 130, 290, 150), "field", "Pick:", menu);
		for (BView* view : std::initializer_list<BView*>{button, check, radioA, radioB, text, field})
			window->AddChild(view);
		window->Show();
	}

	~ControlBed() { window->Quit(); }

	bool WaitForCount(size_t count)
	{
		return BDisplay::WaitFor([&] { return received.size() >= count; });
	}

	std::vector<BMessage> received;
	RecordingWindow* window;
	BButton* button;
	BCheckBox* check;
	BRadioButton* radioA;
	BRadioButton* radioB;
	BTextControl* text;
	BMenuField* field;
};


TEST(ControlTest, ControlsInvokeTheirMessagesWithTheirValue)
{
	ControlBed bed;
	bed.button->Click();
	bed.check->Click();
	bed.radioA->Click();
	bed.radioB->Click();
	bed.text->TypeText("new");
	ASSERT_TRUE(bed.WaitForCount(5));
	const uint32 whats[] = {'butn', 'chck', 'rada', 'radb', 'text'};
	for (size_t index = 0; index < 5; index++)
		EXPECT_EQ(bed.received[index].what, whats[index]);
	EXPECT_EQ(bed.received[1].GetInt32("be:value", -1), B_CONTROL_ON);
	void* source = nullptr;
	ASSERT_EQ(bed.received[1].FindPointer("source", &source), B_OK);
	EXPECT_EQ(source, static_cast<BControl*>(bed.check));
	// Radio buttons of one parent exclude each other.
	EXPECT_EQ(bed.radioA->Value(), B_CONTROL_OFF);
	EXPECT_EQ(bed.radioB->Value(), B_CONTROL_ON);
	EXPECT_STREQ(bed.text->Text(), "new");
	// Setting a value is not a click: nothing is invoked.
	bed.check->SetValue(B_CONTROL_OFF);
	bed.button->SetEnabled(false);
	bed.button->Click();
	BDisplay::ProcessEvents(20000);
	EXPECT_EQ(bed.received.size(), 5u);
}


TEST(ControlTest, RadioMenuMarksTheChoiceAndTheFieldShowsIt)
{
	ControlBed bed;
	BMenu* menu = bed.field->Menu();
	EXPECT_STREQ(bed.field->MenuLabel(), "Choose");
	menu->ItemAt(1)->Click();
	ASSERT_TRUE(bed.WaitForCount(1));
	EXPECT_EQ(bed.received[0].what, uint32('two '));
	EXPECT_EQ(bed.received[0].GetInt32("index", -1), 1);
	EXPECT_EQ(menu->FindMarked(), menu->ItemAt(1));
	EXPECT_STREQ(bed.field->MenuLabel(), "Two");
	menu->ItemAt(0)->Click();
	ASSERT_TRUE(bed.WaitForCount(2));
	EXPECT_FALSE(menu->ItemAt(1)->IsMarked());
	EXPECT_STREQ(bed.field->MenuLabel(), "One");
	// Marking an item by program unmarks the one marked before.
	menu->ItemAt(1)->SetMarked(true);
	EXPECT_FALSE(menu->ItemAt(0)->IsMarked());
	EXPECT_STREQ(bed.field->MenuLabel(), "Two");
	menu->ItemAt(0)->SetMarked(true);
	// Removing the marked item leaves the field with the menu's name.
	delete menu->RemoveItem(int32(0));
	EXPECT_STREQ(bed.field->MenuLabel(), "Choose");
}


TEST(ControlTest, MenuBarItemsReachTheirWindowAndSubmenusFindThem)
{
	std::vector<BMessage> received;
	auto* window = new RecordingWindow(&received, nullptr);
	auto* bar = new BMenuBar(BRect(0, 0, 299, 19), "bar");
	auto* file = new BMenu("File");
	auto* sub = new BMenu("Toolbar");
	sub->SetRadioMode(true);
	sub->AddItem(new BMenuItem("None", new BMessage('tbno')));
	file->AddItem(sub);
	file->AddSeparatorItem();
	file->AddItem(new BMenuItem("Quit", new BMessage('quit'), 'Q'));
	bar->AddItem(file);
	window->AddChild(bar);
	window->Show();
	EXPECT_EQ(window->KeyMenuBar(), bar);
	BMenuItem* none = bar->FindItem('tbno');
	ASSERT_NE(none, nullptr);
	EXPECT_EQ(bar->FindItem("Quit")->Command(), uint32('quit'));
	none->Click();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return !received.empty(); }));
	EXPECT_EQ(received[0].what, uint32('tbno'));
	EXPECT_TRUE(none->IsMarked());
	window->Quit();
}

}	// namespace
