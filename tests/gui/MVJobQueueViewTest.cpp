// The job queue tool against a real server: the rows follow the queue, and
// each action reaches only the jobs whose state allows it.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>

#include "AlertAnswers.h"
#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "JobState.h"
#include "MVJobQueueView.h"
#include "ServerProtocol.h"

namespace {

class MVJobQueueViewTest : public GuiWindowTest {
protected:
	// One job on hold and one waiting for a start far ahead, then the tool.
	MVJobQueueView* OpenWithTwoJobs()
	{
		BackupWindow* window = StartWith([](Preferences*) {});
		EXPECT_NE(window, nullptr);
		fWindow = window;
		std::string data = ProgramFolder() + "/../data";
		EXPECT_EQ(mkdir(data.c_str(), 0700), 0);
		std::string images = ProgramFolder() + "/../images";
		BMessage held = BackupJobOf(data, images, "Held", {"--hold"});
		BMessage later = BackupJobOf(data, images, "Later", {"--at", "2037-06-01 00:00"});
		EXPECT_EQ(fBed->app->PostMessage(&held), B_OK);
		EXPECT_EQ(fBed->app->PostMessage(&later), B_OK);
		EXPECT_EQ(window->PostMessage(kCmdJobQueueTool), B_OK);
		MVJobQueueView* view = nullptr;
		EXPECT_TRUE(BDisplay::WaitFor([&] {
			view = static_cast<MVJobQueueView*>(window->Tool(kToolJobQueue));
			return view != nullptr && view->CountJobs() == 2;
		}, 10000000));
		return view;
	}

	// The server's states of the jobs by title.
	std::map<std::string, int32> States()
	{
		BMessage request(kMsgJobList);
		BMessage index;
		EXPECT_EQ(fBed->app->PostServer(&request, &index), B_OK);
		std::map<std::string, int32> states;
		const char* title;
		for (int32 slot = 0; index.FindString("title", slot, &title) == B_OK; slot++)
			states[title] = index.GetInt32("jobstatus", slot, 0);
		return states;
	}

	int32 JobIDOf(const char* title)
	{
		BMessage request(kMsgJobList);
		BMessage index;
		EXPECT_EQ(fBed->app->PostServer(&request, &index), B_OK);
		const char* found;
		for (int32 slot = 0; index.FindString("title", slot, &found) == B_OK; slot++) {
			if (std::string(found) == title)
				return index.GetInt32("job_id", slot, 0);
		}
		return 0;
	}

	void PressOnAll(MVJobQueueView* view, const char* button)
	{
		auto* list = static_cast<BColumnListView*>(view->FindView("job_list"));
		auto* control = static_cast<BButton*>(view->FindView(button));
		ASSERT_TRUE(fWindow->Lock());
		for (int32 row = 0; row < list->CountRows(); row++)
			list->AddToSelection(list->RowAt(row));
		fWindow->Unlock();
		// The buttons wake with the selection.
		ASSERT_TRUE(BDisplay::WaitFor([&] { return control->IsEnabled(); }));
		ASSERT_TRUE(fWindow->Lock());
		control->Click();
		fWindow->Unlock();
	}
};


TEST_F(MVJobQueueViewTest, ActionsSkipJobsWhoseStateForbidsThem)
{
	MVJobQueueView* view = OpenWithTwoJobs();
	ASSERT_NE(view, nullptr);
	ASSERT_EQ(States(), (std::map<std::string, int32>{{"Held", kJobPaused},
		{"Later", kJobWaiting}}));
	struct Case {
		const char* button;
		const char* answer;     // to the question, or null for none
		std::map<std::string, int32> after;
	};
	const Case cases[] = {
		// Pause reaches the waiting job; the held one is paused already.
		{"pause", nullptr, {{"Held", kJobPaused}, {"Later", kJobPaused}}},
		// Delete after "No" does nothing.
		{"delete", "No", {{"Held", kJobPaused}, {"Later", kJobPaused}}},
	};
	for (const Case& testCase : cases) {
		AlertAnswers alerts;
		if (testCase.answer != nullptr)
			alerts.Expect(testCase.answer);
		PressOnAll(view, testCase.button);
		if (testCase.answer != nullptr) {
			EXPECT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
		}
		EXPECT_TRUE(BDisplay::WaitFor([&] { return States() == testCase.after; }, 5000000))
			<< testCase.button;
	}
	// A job open in an edit window is not deleted.
	int32 heldID = JobIDOf("Held");
	BMessage edit(kMsgJobEdit);
	edit.AddInt32("job_id", heldID);
	edit.AddInt32("edit", 1);
	ASSERT_EQ(fBed->app->PostServer(&edit), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return States()["Held"] == kJobEdit; }));
	AlertAnswers alerts;
	alerts.Expect("Yes");
	PressOnAll(view, "delete");
	EXPECT_TRUE(BDisplay::WaitFor([&] {
		return States() == std::map<std::string, int32>{{"Held", kJobEdit}};
	})) << ::testing::PrintToString(States()) << " alerts " << alerts.Alerts().size();
	EXPECT_TRUE(BDisplay::WaitFor([&] { return view->CountJobs() == 1; }));
}

TEST_F(MVJobQueueViewTest, ATitleTypedInTheListBecomesTheJobs)
{
	MVJobQueueView* view = OpenWithTwoJobs();
	ASSERT_NE(view, nullptr);
	int32 laterID = JobIDOf("Later");
	// What the list sends when the user commits an edited title.
	BMessage edited('JQti');
	edited.AddPointer("row", view->RowOf(laterID));
	edited.AddInt32("field", 0);
	edited.AddString("text", "Later, renamed");
	ASSERT_EQ(BMessenger(view).SendMessage(&edited), B_OK);
	EXPECT_TRUE(BDisplay::WaitFor([&] {
		return States() == std::map<std::string, int32>{{"Held", kJobPaused},
			{"Later, renamed", kJobWaiting}};
	})) << ::testing::PrintToString(States());
}

TEST_F(MVJobQueueViewTest, ThePopUpMenuSelectsAndActs)
{
	MVJobQueueView* view = OpenWithTwoJobs();
	ASSERT_NE(view, nullptr);
	auto* list = static_cast<BColumnListView*>(view->FindView("job_list"));
	BPopUpMenu* popup = list->ContextMenu();
	ASSERT_NE(popup, nullptr);
	EXPECT_STREQ(popup->Name(), "jobqueuepopup");
	ASSERT_TRUE(fWindow->Lock());
	popup->FindItem(kCmdSelectAll)->Click();
	fWindow->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return list->CurrentSelection() != nullptr
			&& list->CurrentSelection(list->CurrentSelection()) != nullptr;
	}));
	ASSERT_TRUE(fWindow->Lock());
	popup->FindItem('JQpa')->Click();
	fWindow->Unlock();
	EXPECT_TRUE(BDisplay::WaitFor([&] {
		return States() == std::map<std::string, int32>{{"Held", kJobPaused},
			{"Later", kJobPaused}};
	}));
	ASSERT_TRUE(fWindow->Lock());
	popup->FindItem(kCmdClearSelection)->Click();
	fWindow->Unlock();
	EXPECT_TRUE(BDisplay::WaitFor([&] { return list->CurrentSelection() == nullptr; }));
}

}	// namespace
