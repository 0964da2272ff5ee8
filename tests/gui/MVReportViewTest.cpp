// The report viewer against a real server: choosing between reports,
// lines that come while a report is shown, the line filter, deleting.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/RadioButton.h>
#include <interface/TextControl.h>
#include <interface/TextView.h>

#include "AlertAnswers.h"
#include "GuiProtocol.h"
#include "GuiTestBed.h"
#include "MVReportLine.h"
#include "MVReportView.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"

namespace {

constexpr int32 kTextJobSuccessful = 148;
constexpr int32 kTextJobCanceled = 149;

// A line of a report as the report store sends it to its viewers.
BMessage ReportLine(int32 reportID, int32 lineType, int32 textID)
{
	MVReportLine line("", {});
	std::string flat = line.Flatten();
	BMessage message(kMsgReportLine);
	message.AddInt32("report_id", reportID);
	message.AddInt32("linetype", lineType);
	message.AddInt32("text_id", textID);
	message.AddData("reportline", MVReportLine::kTypeCode, flat.data(), flat.size(), false);
	return message;
}


class MVReportViewTest : public GuiWindowTest {
protected:
	// Two finished backups, each with its report, then the viewer open.
	MVReportView* OpenWithTwoReports(int32 logFilter = -1)
	{
		BackupWindow* window = StartWith([&](Preferences* prefs) {
			BMessage settings;
			BMessage report;
			report.AddInt32("logfilter", logFilter);
			settings.AddMessage("report", &report);
			(void)prefs->Set("report", settings);
		});
		EXPECT_NE(window, nullptr);
		fWindow = window;
		std::string data = ProgramFolder() + "/../data";
		EXPECT_EQ(mkdir(data.c_str(), 0700), 0);
		FILE* file = fopen((data + "/only").c_str(), "w");
		fputs("some data", file);
		fclose(file);
		for (const char* title : {"First job", "Second job"}) {
			BMessage job = BackupJobOf(data, ProgramFolder() + "/../images", title);
			EXPECT_EQ(fBed->app->PostMessage(&job), B_OK);
		}
		EXPECT_TRUE(BDisplay::WaitFor([&] { return CountReports() == 2 && JobsLeft() == 0; },
			60000000));
		EXPECT_EQ(window->PostMessage(kCmdReportTool), B_OK);
		BDisplay::WaitFor([&] { return window->Tool(kToolReports) != nullptr; });
		return static_cast<MVReportView*>(window->Tool(kToolReports));
	}

	int32 JobsLeft() { return CountJobs(); }

	void Choose(MVReportView* view, int32 row)
	{
		auto* list = static_cast<BColumnListView*>(view->FindView("report_list"));
		ASSERT_TRUE(fWindow->Lock());
		list->DeselectAll();
		list->AddToSelection(list->RowAt(row));
		fWindow->Unlock();
	}

	std::string Text(MVReportView* view)
	{
		return static_cast<BTextView*>(view->FindView("report_text"))->Text();
	}
};


TEST_F(MVReportViewTest, ChoosingAnotherReportShowsOnlyItsLines)
{
	MVReportView* view = OpenWithTwoReports();
	ASSERT_NE(view, nullptr);
	Choose(view, 0);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return Text(view).find("job") != std::string::npos; }));
	int32 first = view->ShownReport();
	bool firstIsFirst = Text(view).find("First job") != std::string::npos;
	Choose(view, 1);
	const char* second = firstIsFirst ? "Second job" : "First job";
	const char* other = firstIsFirst ? "First job" : "Second job";
	ASSERT_TRUE(BDisplay::WaitFor([&] { return Text(view).find(second) != std::string::npos; }));
	EXPECT_NE(view->ShownReport(), first);
	// A line of the first report that comes late is not shown.
	BMessage late = ReportLine(first, kLineInfo, kTextJobCanceled);
	ASSERT_EQ(BMessenger(view).SendMessage(&late), B_OK);
	BMessage live = ReportLine(view->ShownReport(), kLineInfo, kTextJobSuccessful);
	ASSERT_EQ(BMessenger(view).SendMessage(&live), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		std::string text = Text(view);
		return text.size() > 15 && text.compare(text.size() - 15, 15, "Job successful\n") == 0;
	}));
	EXPECT_EQ(Text(view).find(other), std::string::npos);
	EXPECT_EQ(Text(view).find("Job canceled"), std::string::npos);
}


TEST_F(MVReportViewTest, AFilteredLineTypeIsHidden)
{
	// Every line type but warnings.
	MVReportView* view = OpenWithTwoReports(~(1 << kLineWarning));
	ASSERT_NE(view, nullptr);
	Choose(view, 0);
	// The report comes before any later line of it, as the store sends them.
	ASSERT_TRUE(BDisplay::WaitFor([&] { return Text(view).find("job") != std::string::npos; }));
	for (int32 lineType : {kLineWarning, kLineInfo}) {
		BMessage line = ReportLine(view->ShownReport(), lineType,
			lineType == kLineWarning ? kTextJobCanceled : kTextJobSuccessful);
		ASSERT_EQ(BMessenger(view).SendMessage(&line), B_OK);
	}
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return Text(view).find("Job successful") != std::string::npos;
	}));
	EXPECT_EQ(Text(view).find("Job canceled"), std::string::npos);
	EXPECT_FALSE(view->Shows(kLineWarning));
	EXPECT_TRUE(view->Shows(kLineError));
}


TEST_F(MVReportViewTest, DeletingAsksWithTheSelectionAsItChanges)
{
	MVReportView* view = OpenWithTwoReports();
	ASSERT_NE(view, nullptr);
	AlertAnswers alerts;
	alerts.Expect("Ok");
	Press(view, "btn_delete");
	ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
	EXPECT_EQ(alerts.Alerts()[0].text, "No report to delete selected!");
	EXPECT_EQ(alerts.Alerts()[0].title, "Delete Report");
	EXPECT_EQ(CountReports(), 2);

	const struct {
		const char* button;
		int32 left;
	} cases[] = {{"btn_cancel", 2}, {"btn_ok", 0}};
	for (const auto& testCase : cases) {
		Choose(view, 0);
		Press(view, "btn_delete");
		BWindow* request = nullptr;
		ASSERT_TRUE(BDisplay::WaitFor([&] {
			return (request = BDisplay::FindWindow("Delete Report(s)")) != nullptr;
		}));
		auto names = [&] {
			request->Lock();
			std::string text = static_cast<BTextView*>(request->FindView("txt_names"))->Text();
			request->Unlock();
			return text;
		};
		EXPECT_EQ(names().find(", "), std::string::npos) << names();
		// Selecting the other report too shows both in the open window.
		auto* list = static_cast<BColumnListView*>(view->FindView("report_list"));
		ASSERT_TRUE(fWindow->Lock());
		list->AddToSelection(list->RowAt(1));
		fWindow->Unlock();
		EXPECT_TRUE(BDisplay::WaitFor([&] { return names().find(", ") != std::string::npos; }))
			<< names();
		ASSERT_TRUE(request->Lock());
		static_cast<BButton*>(request->FindView(testCase.button))->Click();
		request->Unlock();
		ASSERT_TRUE(AwaitWindowGone("Delete Report(s)"));
		EXPECT_TRUE(BDisplay::WaitFor([&] { return CountReports() == testCase.left; }, 3000000))
			<< testCase.button;
		EXPECT_EQ(CountReports(), testCase.left) << testCase.button;
	}
	EXPECT_EQ(alerts.Alerts().size(), 1u);
}

TEST_F(MVReportViewTest, ReportSettingsChecksItsFieldsAndSetsThePruningRule)
{
	BackupWindow* window = StartWith([](Preferences*) {});
	ASSERT_NE(window, nullptr);
	fWindow = window;
	ASSERT_EQ(window->PostMessage(kCmdReportTool), B_OK);
	ASSERT_TRUE(BDisplay::WaitFor([&] { return window->Tool(kToolReports) != nullptr; }));
	BView* view = window->Tool(kToolReports);
	ASSERT_TRUE(window->Lock());
	static_cast<BButton*>(view->FindView("btn_settings"))->Click();
	window->Unlock();
	BWindow* settings = nullptr;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		return (settings = BDisplay::FindWindow("Report Settings")) != nullptr;
	}));
	auto control = [&](const char* name) { return static_cast<BControl*>(settings->FindView(name)); };
	ASSERT_TRUE(settings->Lock());
	// Only the field of the chosen rule takes input.
	static_cast<BRadioButton*>(control("rbtn_delete_2"))->Click();
	settings->Unlock();
	ASSERT_TRUE(BDisplay::WaitFor([&] { return control("txt_deletecount")->IsEnabled(); }));
	EXPECT_FALSE(control("txt_deleteolder")->IsEnabled());

	struct Case {
		const char* days;
		const char* count;
		const char* alert;   // null: accepted
	};
	const Case cases[] = {
		{"3x", "5", "Only numbers for day count allowed! Please correct!"},
		{"30", "", "Only numbers for report count allowed! Please correct!"},
		{"30", "5", nullptr},
	};
	for (const Case& testCase : cases) {
		AlertAnswers alerts;
		if (testCase.alert != nullptr)
			alerts.Expect("Ok");
		ASSERT_TRUE(settings->Lock());
		static_cast<BTextControl*>(control("txt_deleteolder"))->SetText(testCase.days);
		static_cast<BTextControl*>(control("txt_deletecount"))->SetText(testCase.count);
		static_cast<BButton*>(control("btn_ok"))->Click();
		settings->Unlock();
		if (testCase.alert != nullptr) {
			ASSERT_TRUE(BDisplay::WaitFor([&] { return alerts.Alerts().size() == 1; }));
			EXPECT_EQ(alerts.Alerts()[0].text, testCase.alert);
		}
	}
	BMessage policy;
	ASSERT_TRUE(BDisplay::WaitFor([&] {
		BMessage ask(kMsgReportGetPolicy);
		return fBed->app->PostServer(&ask, &policy) == B_OK && policy.GetInt32("mode", -1) == 2;
	}));
	EXPECT_EQ(policy.GetInt32("count", -1), 5);
	EXPECT_EQ(BDisplay::FindWindow("Report Settings"), nullptr);
}

}	// namespace
