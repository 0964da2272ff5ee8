#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "ArchiveFormat.h"
#include "CatalogueFormat.h"
#include "JobTexts.h"
#include "CompareTexts.h"
#include "JobEndStatus.h"
#include "MVCompareServer.h"
#include "RestoreTestSupport.h"
#include "ServerProtocol.h"

// Compare jobs run by the worker against backups written by hand, each
// sound but for one flaw: what ends a job (nothing selected, a catalogue or
// a backup that is gone) and what only counts against it (a damaged block).

namespace {

BMessage CompareJob(const std::string& selectionLine)
{
	BMessage job(kMsgJobStart);
	job.AddInt32("job_id", 11);
	job.AddInt32("report_id", 7);
	BMessage startInfo;
	startInfo.AddString("title", "compare test");
	job.AddMessage("start_info", &startInfo);
	BMessage compare;
	compare.AddInt32("compareall", 1);
	job.AddMessage("compare", &compare);
	BMessage selection;
	selection.AddString("SELECTION", selectionLine.c_str());
	job.AddMessage("selection", &selection);
	return job;
}

// Gives the first data block of an image another magic.
void BreakFirstBlock(std::vector<uint8>* image)
{
	for (size_t at = 0; at + 4 <= image->size(); at++) {
		if (ReadLE32(image->data() + at) == kDataBlockMagic) {
			WriteLE32(image->data() + at, 0x12345678);
			return;
		}
	}
	ADD_FAILURE() << "no data block";
}

// Marks the backup's one file as read only in part while it was saved.
void MarkFileIncomplete(BMessage* catalogue)
{
	for (int32 i = 0; const char* name = catalogue->GetString(kLogNameKey, i, nullptr); i++) {
		if (std::string(name).ends_with("/file")) {
			catalogue->AddInt32(kLogIncompleteKey, catalogue->GetInt32(kLogEntryNumberKey, i, -1));
			return;
		}
	}
	ADD_FAILURE() << "no file";
}

}	// namespace

TEST(CompareJobTest, FailuresEndOrCountAsTheyShould)
{
	namespace fs = std::filesystem;
	struct Case {
		const char* what;
		std::function<void(std::vector<uint8>* image)> imageFlaw;
		std::function<void(BMessage* catalogue)> catalogueFlaw;
		// Takes away what the backup needs, once it is written.
		std::function<void(RestoreTestBed* bed, const std::string& id)> removal;
		// Selects the whole backup when null.
		const char* selection;
		int32 text;
		int32 status;
	};
	const Case cases[] = {
		{"sound", nullptr, nullptr, nullptr, nullptr, kTextCompareSuccessful,
			kJobEndedSuccessfully},
		{"a backup the catalogue lacks", nullptr, nullptr, nullptr,
			"INCLUDE /2099010100000000/*", kTextNothingToCompare, kJobEndedAborted},
		{"the catalogue file gone", nullptr, nullptr,
			[](RestoreTestBed* bed, const std::string& id) {
				fs::remove(bed->Native(std::string(kServerFolder) + "/logdata/" + id));
			}, nullptr, kTextNoDatabase, kJobEndedAborted},
		{"the image gone from its fixed destination", nullptr, nullptr,
			[](RestoreTestBed* bed, const std::string& id) {
				fs::remove(bed->Native("/dest/" + id));
			}, nullptr, kTextNoSuchBackup, kJobEndedAborted},
		{"a data block of another magic", BreakFirstBlock, nullptr, nullptr, nullptr,
			kTextBlockMismatch, kJobEndedWithErrors},
		{"a file the catalogue marks incomplete", nullptr, MarkFileIncomplete, nullptr, nullptr,
			kTextIncompleteInBackup, kJobEndedWithErrors},
	};
	RestoreTestBed bed;
	bed.Folder().WriteFile("sys/c/file", std::string(100000, 'c'));
	int32 number = 0;
	for (const Case& test : cases) {
		SCOPED_TRACE(test.what);
		std::string id = bed.WriteBackup("20240201" + std::to_string(10000000 + ++number),
			"/sys/c", [&](std::vector<uint8>* image, BMessage* catalogue) {
				if (test.imageFlaw)
					test.imageFlaw(image);
				if (test.catalogueFlaw)
					test.catalogueFlaw(catalogue);
			});
		if (test.removal)
			test.removal(&bed, id);
		BMessage job = CompareJob(test.selection != nullptr ? test.selection
			: "INCLUDE /" + id + "/*");
		BMessenger worker = bed.StartWorker(new MVCompareServer(kServerFolder,
			AddOnLoader(DistServerFolder())));
		EXPECT_EQ(worker.SendMessage(&job), B_OK);
		BMessage end = bed.FinishJob(worker);
		EXPECT_EQ(end.GetInt32("status", -1), test.status);
		EXPECT_EQ(bed.CountLines(test.text), 1);
	}
}
