// The quick backup tool: the job it builds from its settings, and the
// start with its questions against a real server.

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/CheckBox.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>

#include "AlertAnswers.h"
#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "JobSettingsFile.h"
#include "JobType.h"
#include "MVQBView.h"
#include "ServerProtocol.h"

namespace {

std::vector<std::string> LinesOf(const BMessage& job)
{
	BMessage selection;
	EXPECT_EQ(job.FindMessage("selection", &selection), B_OK);
	std::vector<std::string> lines;
	const char* line;
	for (int32 index = 0; selection.FindString("SELECTION", index, &line) == B_OK; index++)
		lines.push_back(line);
	return lines;
}


TEST(MVQBViewJobTest, AlwaysAFullBackupWithTheVarFolderExcludedOnce)
{
	BMessage stored;
	stored.AddInt32("job_type", kJobIncrementalBackup);
	stored.AddInt32("base_id", 42);
	BMessage selection;
	selection.AddString("SELECTION", "INCLUDE /Disk/*");
	stored.AddMessage("selection", &selection);

	BMessage first;
	MVQBView::BuildJob(stored, "HD", &first);
	BMessage again;
	MVQBView::BuildJob(first, "HD", &again);
	for (const BMessage* job : {&first, &again}) {
		EXPECT_EQ(job->what, uint32(kMsgJobAdd));
		EXPECT_EQ(job->GetInt32("job_type", 0), kJobFullBackup);
		EXPECT_FALSE(job->HasData("base_id", B_INT32_TYPE));
		EXPECT_EQ(LinesOf(*job), (std::vector<std::string>{"INCLUDE /Disk/*", "EXCLUDE /HD/var/*"}));
		// Never chosen: the image destination and the pass-through compressor.
		EXPECT_STREQ(job->GetString("addon", ""), "MVImage");
		EXPECT_STREQ(job->GetString("bak_addonpacker", "?"), "");
		EXPECT_TRUE(job->HasData("scheduler", B_MESSAGE_TYPE));
	}
}


// The tool in the main window over a real server, with every volume of the
// tree's table on the list.
class MVQBViewTest : public GuiWindowTest {
protected:
	MVQBView* OpenTool(const std::function<void(BMessage*)>& settings)
	{
		BMessage quick;
		settings(&quick);
		return static_cast<MVQBView*>(OpenToolWith(kToolQuickBackup, kCmdQuickBackupTool,
			"quickbackup", quick));
	}

	void StartOnHold(MVQBView* view) { ConfirmStart(view, true); }
};


TEST_F(MVQBViewTest, NothingTickedIsRefused)
{
	MVQBView* view = OpenTool([](BMessage*) {});
	ASSERT_NE(view, nullptr);
	AlertAnswers alerts;
	alerts.Expect("Ok");
	Press(view, "btn_start");
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
	EXPECT_EQ(alerts.Alerts()[0].text, "Sorry, no directories or files selected to backup!");
	EXPECT_EQ(alerts.Alerts()[0].title, "QuickBackup");
}


TEST_F(MVQBViewTest, TheOverwriteAnswers)
{
	struct Case {
		const char* answer;
		int32 jobsAdded;
		bool overwrite;
	};
	const Case cases[] = {{"Cancel", 0, true}, {"No", 1, false}, {"Yes", 1, true}};
	for (const Case& testCase : cases) {
		MVQBView* view = OpenTool([](BMessage* settings) {
			BMessage selection;
			selection.AddString("SELECTION", "INCLUDE /ServerTest/*");
			settings->AddMessage("selection", &selection);
			BMessage volume;
			volume.AddString("MVVOLNAME", "/ServerTest/images");
			volume.AddBool("MVVOLOVERWRITE", true);
			settings->AddString("addon", "MVImage");
			settings->AddMessage("volume", &volume);
		});
		ASSERT_NE(view, nullptr);
		EXPECT_EQ(static_cast<BControl*>(view->FindView("vol_ServerTest"))->Value(), B_CONTROL_ON);
		int32 before = CountJobs();
		AlertAnswers alerts;
		alerts.Expect(testCase.answer);
		StartOnHold(view);
		ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
		EXPECT_EQ(alerts.Alerts()[0].buttons, (std::vector<std::string>{"Yes", "No", "Cancel"}));
		BDisplay::WaitFor([&] { return CountJobs() == before + testCase.jobsAdded; }, 3000000);
		ASSERT_EQ(CountJobs(), before + testCase.jobsAdded) << testCase.answer;
		if (testCase.jobsAdded > 0) {
			BMessage job = LastJob();
			BMessage volume;
			ASSERT_EQ(job.FindMessage("volume", &volume), B_OK);
			EXPECT_EQ(volume.GetBool("MVVOLOVERWRITE", !testCase.overwrite), testCase.overwrite);
			EXPECT_EQ(job.GetInt32("job_type", 0), kJobFullBackup);
		}
		fBed.reset();
	}
}


TEST_F(MVQBViewTest, JobSettingsFilesKeepTheSettings)
{
	MVQBView* view = OpenTool([](BMessage* settings) {
		BMessage selection;
		selection.AddString("SELECTION", "INCLUDE /ServerTest/*");
		settings->AddMessage("selection", &selection);
	});
	ASSERT_NE(view, nullptr);
	std::string path = SystemPath(ProgramFolder()) + "/jobsettings/quick";
	BMessage saved;
	view->GetPref(&saved);
	ASSERT_EQ(JobSettingsFile::Write(path.c_str(), JobSettingsFile::kBackupMagic, saved), B_OK);
	ASSERT_TRUE(fWindow->Lock());
	view->SetPref(BMessage());
	EXPECT_EQ(static_cast<BControl*>(view->FindView("vol_ServerTest"))->Value(), B_CONTROL_OFF);
	view->LoadFile(entry_ref(path));
	EXPECT_EQ(static_cast<BControl*>(view->FindView("vol_ServerTest"))->Value(), B_CONTROL_ON);
	fWindow->Unlock();
	BMessage other;
	EXPECT_EQ(JobSettingsFile::Read(path.c_str(), JobSettingsFile::kRestoreMagic, &other), B_BAD_TYPE);

	// A file of another tool is refused with an alert and changes nothing.
	std::string restore = SystemPath(ProgramFolder()) + "/jobsettings/restore";
	ASSERT_EQ(JobSettingsFile::Write(restore.c_str(), JobSettingsFile::kRestoreMagic, BMessage()),
		B_OK);
	AlertAnswers alerts;
	alerts.Expect("Continue");
	ASSERT_TRUE(fWindow->Lock());
	view->LoadFile(entry_ref(restore));
	fWindow->Unlock();
	ASSERT_EQ(alerts.Alerts().size(), 1u);
	EXPECT_NE(alerts.Alerts()[0].text.find("no job settings file of this tool"), std::string::npos);
	EXPECT_EQ(static_cast<BControl*>(view->FindView("vol_ServerTest"))->Value(), B_CONTROL_ON);
}

}	// namespace
