// The job queue tool against a real server: the rows follow the queue, and
// each action reaches only the jobs whose state allows it.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/TextControl.h>
#include <interface/ColumnListView.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>

#include "AlertAnswers.h"
#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "JobState.h"
#include "JobType.h"
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

	// Selects the one job and presses the button.
	void PressOn(MVJobQueueView* view, int32 jobID, const char* button)
	{
		auto* list = static_cast<BColumnListView*>(view->FindView("job_list"));
		ASSERT_TRUE(fWindow->Lock());
		list->DeselectAll();
		list->AddToSelection(view->RowOf(jobID));
		fWindow->Unlock();
		auto* control = static_cast<BButton*>(view->FindView(button));
		ASSERT_TRUE(BDisplay::WaitFor([&] { return control->IsEnabled(); }));
		ASSERT_TRUE(fWindow->Lock());
		control->Click();
		fWindow->Unlock();
	}

	BMessage Record(int32 jobID)
	{
		BMessage get(kMsgJobGet);
		get.AddInt32("job_id", jobID);
		BMessage record;
		EXPECT_EQ(fBed->app->PostServer(&get, &record), B_OK);
		return record;
	}

	bool AwaitShownStatus(MVJobQueueView* view, int32 jobID, const char* status)
	{
		return BDisplay::WaitFor([&] {
			fWindow->Lock();
			BRow* row = view->RowOf(jobID);
			std::string shown = row != nullptr
				? static_cast<BStringField*>(row->GetField(1))->String() : "";
			fWindow->Unlock();
			return shown == status;
		});
	}

	// Whether the server lets this process take the job for editing (and
	// gives it back at once when it does).
	bool CanTake(int32 jobID)
	{
		BMessage take(kMsgJobEdit);
		take.AddInt32("job_id", jobID);
		take.AddInt32("edit", 1);
		BMessage reply;
		EXPECT_EQ(fBed->app->PostServer(&take, &reply), B_OK);
		if (!reply.GetBool("result", false))
			return false;
		BMessage release(kMsgJobEdit);
		release.AddInt32("job_id", jobID);
		release.AddInt32("edit", 0);
		EXPECT_EQ(fBed->app->PostServer(&release, &reply), B_OK);
		EXPECT_TRUE(reply.GetBool("result", false));
		return true;
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


TEST_F(MVJobQueueViewTest, AnEditWindowHoldsTheJobAndSendsItOnlyWhenConfirmed)
{
	MVJobQueueView* view = OpenWithTwoJobs();
	ASSERT_NE(view, nullptr);
	// No alert is expected.
	AlertAnswers alerts;
	int32 laterID = JobIDOf("Later");
	struct Case {
		const char* button;
		const char* title;      // typed into the window
		const char* kept;       // the job's title afterwards
	};
	const Case cases[] = {
		{"btn_cancel", "Not kept", "Later"},
		{"btn_ok", "Later, edited", "Later, edited"},
	};
	for (const Case& testCase : cases) {
		// The view has heard that the job waits again.
		ASSERT_TRUE(AwaitShownStatus(view, laterID, "Waiting"));
		PressOn(view, laterID, "edit");
		BWindow* window = nullptr;
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return (window = BDisplay::FindWindow("Edit: Later")) != nullptr;
		})) << testCase.button;
		// The job is this window's: no other client takes, deletes or
		// starts it meanwhile.
		EXPECT_EQ(States()["Later"], kJobEdit);
		EXPECT_FALSE(CanTake(laterID));
		ASSERT_TRUE(window->Lock());
		EXPECT_NE(window->FindView("bak_job_setttings"), nullptr);
		EXPECT_NE(window->FindView("source_tree"), nullptr);
		static_cast<BTextControl*>(window->FindView("txt_title"))->SetText(testCase.title);
		static_cast<BButton*>(window->FindView(testCase.button))->Click();
		window->Unlock();
		ASSERT_TRUE(AwaitWindowGone("Edit: Later"));
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return States() == std::map<std::string, int32>{{"Held", kJobPaused},
				{testCase.kept, kJobWaiting}};
		})) << testCase.button << " " << ::testing::PrintToString(States());
		BMessage record = Record(laterID);
		BMessage startInfo;
		ASSERT_EQ(record.FindMessage("start_info", &startInfo), B_OK);
		EXPECT_STREQ(startInfo.GetString("title", ""), testCase.kept);
		EXPECT_EQ(record.GetInt32("job_type", 0), kJobFullBackup);
		EXPECT_TRUE(CanTake(laterID));
	}

	// A job another client holds opens no window.
	int32 heldID = JobIDOf("Held");
	BMessage take(kMsgJobEdit);
	take.AddInt32("job_id", heldID);
	take.AddInt32("edit", 1);
	ASSERT_EQ(fBed->app->PostServer(&take), B_OK);
	// The row is edited: the button skips it without a word.
	ASSERT_TRUE(AwaitShownStatus(view, heldID, "Edit"));
	PressOn(view, heldID, "edit");
	BDisplay::ProcessEvents(200000);
	EXPECT_EQ(BDisplay::FindWindow("Edit: Held"), nullptr);
}


TEST_F(MVJobQueueViewTest, TheFiltersHideJobsByKindAndState)
{
	MVJobQueueView* view = OpenWithTwoJobs();
	ASSERT_NE(view, nullptr);
	struct Case {
		const char* box;
		int32 listed;
	};
	// Each case unticks one more box.
	const Case cases[] = {{"chk_status3", 1}, {"chk_type2", 1}, {"chk_type1", 0}};
	for (const Case& testCase : cases) {
		Press(view, "settings");
		BWindow* window = nullptr;
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return (window = BDisplay::FindWindow("JobQueue Settings")) != nullptr;
		}));
		ASSERT_TRUE(window->Lock());
		static_cast<BCheckBox*>(window->FindView(testCase.box))->SetValue(B_CONTROL_OFF);
		static_cast<BButton*>(window->FindView("btn_ok"))->Click();
		window->Unlock();
		ASSERT_TRUE(AwaitWindowGone("JobQueue Settings"));
		EXPECT_TRUE(BDisplay::WaitFor([&] { return view->CountJobs() == testCase.listed; }))
			<< testCase.box;
	}
	// The hidden jobs are still followed: a job that leaves the filtered
	// state shows again.
	BMessage settings;
	ASSERT_TRUE(fWindow->Lock());
	view->GetPref(&settings);
	settings.ReplaceInt32("typefilter", 0x3f);
	view->SetPref(settings);
	fWindow->Unlock();
	EXPECT_EQ(view->CountJobs(), 1);
	BMessage resume(kMsgJobContinue);
	resume.AddInt32("job_id", JobIDOf("Held"));
	ASSERT_EQ(fBed->app->PostServer(&resume), B_OK);
	EXPECT_TRUE(BDisplay::WaitFor([&] { return view->CountJobs() == 2; }));
}

}	// namespace
