// morvane-screenshots: opens every window of the GUI over an installed tree
// on a display without a screen and saves each as a PNG, for the manual and
// for a look at what users see.
//
//   morvane-screenshots TREE OUTPUT
//
// TREE is the native folder of the installed tree (its server is started or
// found as the program does); OUTPUT the folder for the PNG files.

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include <app/Message.h>
#include <interface/Alert.h>
#include <interface/Display.h>
#include <interface/MenuBar.h>
#include <interface/ColumnListView.h>
#include <interface/MenuItem.h>
#include <interface/TextView.h>
#include <storage/VolumeTable.h>

#include "AddOnShelf.h"
#include "BackupApplication.h"
#include "BackupWindow.h"
#include "GuiProtocol.h"
#include "JobType.h"
#include "MVJQRestoreWindow.h"
#include "MVJobQueueView.h"
#include "MVLogDataView.h"
#include "MVSourceSelectionView.h"
#include "MVQBView.h"
#include "MVReportView.h"
#include "MVStatusWindow.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"

namespace {

std::string gOutput;
int gFailures = 0;


void Save(BWindow* window, const char* name)
{
	std::string path = gOutput + "/" + name + ".png";
	BDisplay::ProcessEvents(50000);
	if (window == nullptr || window->SaveImage(path.c_str()) != B_OK) {
		fprintf(stderr, "morvane-screenshots: could not save %s\n", path.c_str());
		gFailures++;
		return;
	}
	printf("%s\n", path.c_str());
}


template<typename Find>
BWindow* Await(Find find)
{
	BWindow* window = nullptr;
	BDisplay::WaitFor([&] { return (window = find()) != nullptr; });
	return window;
}


void ShowRunningJob(BackupWindow* main)
{
	BMessage start(kMsgJobStart);
	start.AddInt32("job_id", 12);
	start.AddString("title", "Home folder, weekly");
	main->MessageReceived(&start);
	auto* status = static_cast<MVStatusWindow*>(main->Registered(kStatusWindowName));
	if (status == nullptr)
		return;
	BMessenger row = status->AddJob(start);
	BMessage progress(kMsgJobProgress);
	progress.AddInt32("job_id", 12);
	progress.AddInt32("linetype", kLineProgress);
	progress.AddString("report", "/home/ada/Projects/thesis/chapter-3.tex");
	progress.AddInt32("count", 18342);
	progress.AddInt32("maxcount", 30517);
	progress.AddInt64("size", 2318000000LL);
	progress.AddInt64("maxsize", 3870000000LL);
	progress.AddInt32("elapsed", 83);
	progress.AddInt32("remain", 56);
	progress.AddFloat("speed", 27.9f * 1024 * 1024);
	(void)row.SendMessage(&progress);
}


int32 CountOf(BackupApplication* app, uint32 request, const char* field)
{
	BMessage ask(request);
	BMessage answer;
	if (app->PostServer(&ask, &answer) != B_OK)
		return -1;
	int32 count = 0;
	(void)answer.GetInfo(field, nullptr, &count);
	return count;
}


// A quick backup of the "Projects" volume, and its report in the viewer.
void ShowReport(BackupApplication* app, BackupWindow* main)
{
	BMessage settings;
	BMessage selection;
	selection.AddString("SELECTION", "INCLUDE /Projects/*");
	settings.AddMessage("selection", &selection);
	BMessage volume;
	volume.AddString("MVVOLNAME", "/Screenshots/Backups");
	volume.AddBool("createpath", true);
	settings.AddString("addon", "MVImage");
	settings.AddMessage("volume", &volume);
	BMessage startInfo;
	startInfo.AddString("title", "Projects, daily");
	settings.AddMessage("start_info", &startInfo);
	BMessage job;
	MVQBView::BuildJob(settings, "Screenshots", &job);
	(void)app->PostMessage(&job);
	BDisplay::WaitFor([&] {
		return CountOf(app, kMsgReportGetList, "report_id") > 0
			&& CountOf(app, kMsgJobList, "job_id") == 0;
	}, 60000000);
	(void)main->PostMessage(kCmdReportTool);
	BDisplay::WaitFor([&] { return main->Tool(kToolReports) != nullptr; });
	auto* reports = static_cast<MVReportView*>(main->Tool(kToolReports));
	auto* list = static_cast<BColumnListView*>(reports->FindView("report_list"));
	if (main->Lock()) {
		list->AddToSelection(list->RowAt(0));
		main->Unlock();
	}
	auto* text = static_cast<BTextView*>(reports->FindView("report_text"));
	BDisplay::WaitFor([&] { return text->TextLength() > 0; });
	Save(main, "reports");
	(void)BMessenger(reports).SendMessage(kCmdReportSettings);
	Save(Await([&] { return BDisplay::FindWindow("Report Settings"); }), "report-settings");
	(void)BMessenger(reports).SendMessage(kCmdReportClear);
	BWindow* request = Await([&] { return BDisplay::FindWindow("Delete Report(s)"); });
	Save(request, "delete-reports");
	if (request != nullptr)
		(void)request->PostMessage(B_QUIT_REQUESTED);
}


// Two jobs waiting in the queue: one held, one for the night.
void ShowQueue(BackupApplication* app, BackupWindow* main)
{
	const struct {
		const char* title;
		bool hold;
		int32 hoursAhead;
	} jobs[] = {{"Photos, monthly", true, 0}, {"Projects, nightly", false, 6}};
	for (const auto& queued : jobs) {
		BMessage settings;
		BMessage selection;
		selection.AddString("SELECTION", "INCLUDE /Photos/*");
		settings.AddMessage("selection", &selection);
		BMessage startInfo;
		startInfo.AddString("title", queued.title);
		if (queued.hold)
			startInfo.AddInt32("submitonhold", 1);
		settings.AddMessage("start_info", &startInfo);
		BMessage scheduler;
		scheduler.AddTime("TIME", int32(real_time_clock()) + queued.hoursAhead * 3600);
		scheduler.AddInt32("Days", 1);
		settings.AddMessage("scheduler", &scheduler);
		BMessage job;
		MVQBView::BuildJob(settings, "Screenshots", &job);
		(void)app->PostMessage(&job);
	}
	(void)main->PostMessage(kCmdJobQueueTool);
	BDisplay::WaitFor([&] {
		auto* queue = static_cast<MVJobQueueView*>(main->Tool(kToolJobQueue));
		return queue != nullptr && queue->CountJobs() == 2;
	});
	Save(main, "job-queue");
}


void ShowBackupTool(BackupWindow* main)
{
	(void)main->PostMessage(kCmdBackupTool);
	BDisplay::WaitFor([&] { return main->Tool(kToolBackup) != nullptr; });
	BView* backup = main->Tool(kToolBackup);
	if (backup == nullptr || !main->Lock())
		return;
	auto* sources = static_cast<MVSourceSelectionView*>(backup->FindView("MV_SOURCES"));
	auto* tree = static_cast<BColumnListView*>(backup->FindView("source_tree"));
	const struct {
		const char* path;
		SelectionMarks::Mark mark;
	} marks[] = {
		{"/Projects/thesis", SelectionMarks::kIncluded},
		{"/Projects/thesis/figure.png", SelectionMarks::kExcluded},
	};
	for (const auto& marked : marks) {
		tree->DeselectAll();
		tree->AddToSelection(sources->RowOfPath(marked.path));
		sources->MarkSelected(marked.mark);
	}
	tree->DeselectAll();
	main->Unlock();
	Save(main, "backup");
}


// The edit window of a queued job, and the job queue's settings window.
void ShowQueueWindows(BackupWindow* main)
{
	auto* queue = static_cast<MVJobQueueView*>(main->Tool(kToolJobQueue));
	if (queue == nullptr || !main->Lock())
		return;
	auto* list = static_cast<BColumnListView*>(queue->FindView("job_list"));
	list->DeselectAll();
	list->AddToSelection(list->RowAt(1));
	main->Unlock();
	(void)BMessenger(queue).SendMessage('JQed');
	BWindow* edit = Await([&] { return BDisplay::FindWindow("Edit: Projects, nightly"); });
	Save(edit, "job-edit-backup");
	if (edit != nullptr)
		(void)edit->PostMessage(B_QUIT_REQUESTED);
	(void)BMessenger(queue).SendMessage('JQst');
	BWindow* settings = Await([&] { return BDisplay::FindWindow("JobQueue Settings"); });
	Save(settings, "job-queue-settings");
	if (settings != nullptr)
		(void)settings->PostMessage(B_QUIT_REQUESTED);

	// A restore job as its edit window shows it.
	BMessage restore;
	restore.AddInt32("job_type", kJobRestore);
	restore.AddString("title", "Thesis back");
	BMessage options;
	options.AddInt32("overwrite", 1);
	options.AddInt32("createemptydirs", 1);
	restore.AddMessage("restore", &options);
	BMessage selection;
	selection.AddString("SELECTION", "INCLUDE /Projects/thesis/*");
	restore.AddMessage("selection", &selection);
	BRect frame = main->Frame();
	auto* window = new MVJQRestoreWindow(BPoint(frame.left + 40, frame.top + 40), restore,
		BMessenger());
	window->Show();
	Save(window, "job-edit-restore");
	if (window->Lock())
		window->Quit();
}


// Saves the window of that title, then closes it.
void SaveAndClose(const char* title, const char* name)
{
	BWindow* window = Await([&] { return BDisplay::FindWindow(title); });
	Save(window, name);
	if (window != nullptr)
		(void)window->PostMessage(B_QUIT_REQUESTED);
	BDisplay::WaitFor([&] { return BDisplay::FindWindow(title) == nullptr; });
}


// Marks the thesis folder of the first backup in a catalogue tool.
void MarkThesis(BackupWindow* main, BView* tool, bool redirect)
{
	if (tool == nullptr || !main->Lock())
		return;
	auto* catalogue = static_cast<MVLogDataView*>(tool->FindView("MV_LOGDATA"));
	auto* tree = static_cast<BColumnListView*>(tool->FindView("catalogue_tree"));
	std::set<std::string> names = catalogue->BackupNames();
	if (!names.empty()) {
		BRow* thesis = catalogue->RowOfPath("/" + *names.begin() + "/Projects/thesis");
		if (thesis != nullptr) {
			tree->DeselectAll();
			tree->AddToSelection(thesis);
			catalogue->MarkSelected(true);
			if (redirect)
				catalogue->RedirectSelected("/Screenshots/Restored");
			tree->DeselectAll();
		}
	}
	main->Unlock();
}


void ShowCatalogueTools(BackupWindow* main)
{
	(void)main->PostMessage(kCmdRestoreTool);
	BDisplay::WaitFor([&] { return main->Tool(kToolRestore) != nullptr; });
	BView* restore = main->Tool(kToolRestore);
	BMessage settings;
	settings.AddInt32("divert", 1);
	BMessage insert;
	insert.AddString("addon", "MVImage");
	BMessage volume;
	volume.AddString("MVVOLNAME", "/Screenshots/Backups");
	insert.AddMessage("volume", &volume);
	settings.AddMessage("res_insert", &insert);
	if (restore != nullptr && main->Lock()) {
		static_cast<MVToolView*>(restore)->SetPref(settings);
		main->Unlock();
	}
	MarkThesis(main, restore, true);
	Save(main, "restore");
	if (main->Lock()) {
		auto* catalogue = static_cast<MVLogDataView*>(restore->FindView("MV_LOGDATA"));
		(void)catalogue->FindNext("chapter-2");
		BWindow* info = catalogue->ShowInfo();
		main->Unlock();
		if (info != nullptr)
			SaveAndClose(info->Title(), "get-info");
	}
	const struct {
		uint32 command;
		const char* title;
		const char* name;
	} restoreWindows[] = {
		{'rsSE', "Restore Settings", "restore-settings"},
		{'rsST', "Start Restore", "restore-start"},
		{'RSDE', "Delete", "restore-delete"},
	};
	for (const auto& shown : restoreWindows) {
		(void)BMessenger(restore).SendMessage(shown.command);
		SaveAndClose(shown.title, shown.name);
	}
	// The insert window after a scan of the backups folder.
	(void)BMessenger(restore).SendMessage('rsIN');
	BWindow* insertWindow = Await([&] { return BDisplay::FindWindow("Insert Backup"); });
	if (insertWindow != nullptr) {
		(void)insertWindow->PostMessage('scan');
		auto* found = static_cast<BColumnListView*>(insertWindow->FindView("lst_found"));
		BDisplay::WaitFor([&] { return found->CountRows() > 0; }, 10000000);
		SaveAndClose("Insert Backup", "insert-backup");
	}

	(void)main->PostMessage(kCmdCompareTool);
	BDisplay::WaitFor([&] { return main->Tool(kToolCompare) != nullptr; });
	BView* compare = main->Tool(kToolCompare);
	MarkThesis(main, compare, false);
	Save(main, "compare");
	(void)BMessenger(compare).SendMessage('cmse');
	SaveAndClose("Compare Settings", "compare-settings");
	(void)BMessenger(compare).SendMessage('cmst');
	SaveAndClose("Start Compare", "compare-start");
}


void Tour(BackupApplication* app)
{
	BWindow* found = Await([&]() -> BWindow* { return app->MainWindow(); });
	auto* main = static_cast<BackupWindow*>(found);
	if (main == nullptr) {
		fprintf(stderr, "morvane-screenshots: the main window did not open\n");
		gFailures++;
		return;
	}
	Save(main, "main-window");
	std::string menus = gOutput + "/main-window-menus.png";
	if (main->KeyMenuBar()->ItemAt(2)->Submenu()->SaveImage(menus.c_str()) == B_OK)
		printf("%s\n", menus.c_str());

	(void)main->PostMessage(kCmdQuickBackupTool);
	BDisplay::WaitFor([&] { return main->Tool(kToolQuickBackup) != nullptr; });
	Save(main, "quick-backup");
	BView* quick = main->Tool(kToolQuickBackup);
	(void)BMessenger(quick).SendMessage('schd');
	Save(Await([&] { return BDisplay::FindWindow("Scheduler"); }), "scheduler");
	if (BWindow* scheduler = BDisplay::FindWindow("Scheduler")) {
		if (scheduler->Lock())
			scheduler->Quit();
	}
	(void)main->PostMessage(kCmdToolbarIconOnly);
	BDisplay::ProcessEvents(50000);

	ShowRunningJob(main);
	Save(main->Registered(kStatusWindowName), "running-jobs");

	(void)main->PostMessage(kCmdStatusSettings);
	Save(Await([&] { return main->Registered(kStatusSettingsName); }), "running-jobs-settings");

	BMessage question(kMsgQuestion);
	question.AddInt32("job_id", 12);
	question.AddString("title", "Medium full");
	question.AddString("text", "Medium #1 of 'Home folder, weekly' is full! Please insert a new "
		"medium.");
	question.AddString("label0", "Abort");
	question.AddString("label1", "Continue");
	(void)main->PostMessage(&question);
	Save(Await([&] { return main->RequestWindow("Medium full"); }), "request-window");

	ShowBackupTool(main);
	ShowReport(app, main);
	ShowCatalogueTools(main);
	ShowQueue(app, main);
	ShowQueueWindows(main);

	std::string native;
	(void)VolumeTable::ToNative(app->FolderBeside("Backup_Server").c_str(), &native);
	AddOnShelf shelf(native);
	BMessage imageSettings;
	imageSettings.AddString("MVVOLNAME", "/boot/home/backups");
	imageSettings.AddBool("createpath", true);
	if (shelf.OpenSettings(AddOnShelf::kDestination, "MVImage", imageSettings, main, main) == B_OK)
		Save(Await([&] { return BDisplay::FindWindow("Image Settings"); }), "image-settings");
	if (shelf.OpenSettings(AddOnShelf::kCompressor, "MVNone", BMessage(), main, main) == B_OK)
		Save(Await([&] { return BDisplay::FindWindow("None Settings"); }), "none-settings");
	if (shelf.OpenSettings(AddOnShelf::kDestination, "MVSCSIStreamer", BMessage(), main, main)
			== B_OK)
		Save(Await([&] { return BDisplay::FindWindow("Streamer settings"); }), "streamer-settings");
}

}	// namespace


int main(int argc, char** argv)
{
	if (argc != 3) {
		fprintf(stderr, "usage: morvane-screenshots TREE OUTPUT\n");
		return 64;
	}
	setenv("QT_QPA_PLATFORM", "offscreen", 0);
	std::string tree = argv[1];
	gOutput = argv[2];
	BDisplay display(argc, argv);
	// Nobody is there to answer: alerts go to the log with their default.
	BAlert::SetPresenter({});
	BackupApplication::Places places;
	if (VolumeTable::ToSystem(tree.c_str(), &places.programFolder) != B_OK) {
		fprintf(stderr, "morvane-screenshots: %s lies on no volume\n", tree.c_str());
		return 1;
	}
	places.serverProgram = tree + "/Backup_Server/MorvaneServer";
	{
		BackupApplication app(places, {});
		BDisplay::AttachApplication(&app);
		(void)app.PostMessage(B_READY_TO_RUN);
		Tour(&app);
		if (BackupWindow* main = app.MainWindow()) {
			if (main->Lock())
				main->Quit();
		}
		BDisplay::WaitFor([&] { return app.MainWindow() == nullptr; });
	}
	return gFailures == 0 ? 0 : 1;
}
