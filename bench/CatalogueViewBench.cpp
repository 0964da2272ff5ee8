// The catalogue view of the restore and compare tools over a catalogue of
// a million entries: one backup whose volume holds 100 folders of 10,000
// files. Measured on a display without a screen, with a registry in this
// process that answers from prepared messages, so that what is timed is the
// view and its model:
//
//   open     opening the backup and its volume (101 rows appear)
//   expand   opening one folder of 10,000 files
//   mark     marking the whole backup, which loads all its entries
//
// References, measured in the same run: for open and expand, adding as many
// plain items to a bare Qt tree; for mark, copying the answer of a million
// entries, the least any client pays to hold them.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include <QApplication>
#include <QTreeWidget>

#include <app/Handler.h>
#include <app/Looper.h>
#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/ColumnListView.h>
#include <interface/Display.h>
#include <interface/Window.h>

#include "CatalogueBrowse.h"
#include "MVLogDataView.h"

namespace {

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 10000;
constexpr const char* kBackup = "202612080000000001";

double Now()
{
	return std::chrono::duration<double, std::milli>(
		std::chrono::steady_clock::now().time_since_epoch()).count();
}


void AddEntry(BMessage* reply, int32 level, const std::string& name, int32 type,
	const std::string& path, int32 index)
{
	reply->AddInt32("level", level);
	reply->AddString("name", name.c_str());
	reply->AddInt32("type", type);
	reply->AddInt64("size", type == 0 ? 4096 : 0);
	reply->AddTime("date", 1796000000);
	reply->AddInt32("medianr", 1);
	reply->AddInt64("offset", int64(index) * 4160);
	reply->AddString("path", path.c_str());
	reply->AddInt32("aktfilenr", index);
}


std::string Folder(int folder)
{
	char name[16];
	snprintf(name, sizeof(name), "d%02d", folder);
	return name;
}


// Answers browse requests from messages prepared for each path and mode.
class PreparedRegistry : public BHandler {
public:
	PreparedRegistry() : BHandler("registry")
	{
		BMessage list('MVLd');
		list.AddString("name", kBackup);
		list.AddString("title", "A million files");
		list.AddTime("date", 1796000000);
		list.AddInt32("type", -1);
		list.AddInt64("size", int64(kFolders) * kFilesPerFolder * 4096);
		list.AddString("path", " ");
		list.AddInt32("medianr", 1);
		list.AddInt64("offset", 0);
		list.AddInt32("pw", 0);
		fAnswers[{"/", kLogReadChildren}] = list;

		std::string backup = std::string("/") + kBackup;
		BMessage volume('MVLd');
		AddEntry(&volume, 0, "Vol", 3, "/Vol", 1);
		fAnswers[{backup, kLogReadChildren}] = volume;
		BMessage folders('MVLd');
		BMessage subtree('MVLd');
		AddEntry(&subtree, 0, "Vol", 3, "/Vol", 1);
		int32 index = 2;
		for (int folder = 0; folder < kFolders; folder++) {
			std::string path = "/Vol/" + Folder(folder);
			AddEntry(&folders, 1, Folder(folder), 1, path, index);
			AddEntry(&subtree, 1, Folder(folder), 1, path, index++);
			BMessage files('MVLd');
			for (int file = 0; file < kFilesPerFolder; file++) {
				std::string name = "f" + std::to_string(file);
				if (folder == 0)
					AddEntry(&files, 2, name, 0, path + "/" + name, index);
				AddEntry(&subtree, 2, name, 0, path + "/" + name, index++);
			}
			if (folder == 0)
				fAnswers[{backup + path, kLogReadChildren}] = files;
		}
		fAnswers[{backup + "/Vol", kLogReadChildren}] = folders;
		fAnswers[{backup, kLogReadSubtree}] = subtree;
	}

	void MessageReceived(BMessage* message) override
	{
		auto found = fAnswers.find({message->GetString("path", ""),
			message->GetInt32("subdir", 0)});
		BMessage empty('MVLd');
		(void)message->SendReply(found != fAnswers.end() ? &found->second : &empty);
	}

	const BMessage& Subtree() const
	{
		return fAnswers.at({std::string("/") + kBackup, kLogReadSubtree});
	}

private:
	std::map<std::pair<std::string, int32>, BMessage> fAnswers;
};


double BareTree(int items)
{
	QTreeWidget tree;
	double start = Now();
	for (int item = 0; item < items; item++) {
		auto* row = new QTreeWidgetItem;
		for (int column = 0; column < 8; column++)
			row->setText(column, QString::number(item));
		tree.addTopLevelItem(row);
	}
	return Now() - start;
}


void Report(const char* what, double measured, double reference)
{
	printf("%-8s %9.1f ms   reference %9.1f ms   ratio %6.2f\n", what, measured, reference,
		measured / reference);
}

}	// namespace


int main(int argc, char** argv)
{
	setenv("QT_QPA_PLATFORM", "offscreen", 0);
	BDisplay display(argc, argv);
	printf("Preparing a catalogue of %d entries...\n", kFolders * (kFilesPerFolder + 1) + 1);
	auto* registry = new PreparedRegistry;
	auto* looper = new BLooper("registry");
	looper->AddHandler(registry);
	looper->Run();

	auto* window = new BWindow(BRect(0, 0, 799, 599), "catalogue", B_TITLED_WINDOW, 0);
	const char* const keys[] = {"N", "S", "D", "R", "M", "O", "I"};
	auto* view = new MVLogDataView(window->Bounds(), keys);
	window->AddChild(view);
	window->Show();
	if (!window->Lock())
		return 1;
	view->UseRegistry(BMessenger(registry, looper));
	view->Reload();
	auto* tree = static_cast<BColumnListView*>(view->FindView("catalogue_tree"));
	BRow* backup = tree->RowAt(0);
	if (backup == nullptr) {
		fprintf(stderr, "catalogue-view-bench: the backup did not show\n");
		return 1;
	}

	double start = Now();
	tree->ExpandOrCollapse(backup, true);
	BRow* volume = tree->RowAt(0, backup);
	tree->ExpandOrCollapse(volume, true);
	double open = Now() - start;

	BRow* folder = tree->RowAt(0, volume);
	start = Now();
	tree->ExpandOrCollapse(folder, true);
	double expand = Now() - start;
	int32 shown = tree->CountRows(folder);

	start = Now();
	tree->DeselectAll();
	tree->AddToSelection(backup);
	view->MarkSelected(true);
	double mark = Now() - start;
	bool marked = view->HasMarks();
	window->Unlock();

	start = Now();
	BMessage copy(registry->Subtree());
	double copied = Now() - start;

	Report("open", open, BareTree(kFolders + 1));
	Report("expand", expand, BareTree(kFilesPerFolder));
	Report("mark", mark, copied);
	if (shown != kFilesPerFolder || !marked || copy.IsEmpty()) {
		fprintf(stderr, "catalogue-view-bench: %d rows shown, marked %d\n", int(shown),
			int(marked));
		return 1;
	}
	if (window->Lock())
		window->Quit();
	looper->Lock();
	looper->Quit();
	return 0;
}
