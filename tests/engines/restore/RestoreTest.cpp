#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ArchiveFormat.h"
#include "CatalogueFormat.h"
#include "JobEndStatus.h"
#include "JobTexts.h"
#include "MVRestoreServer.h"
#include "RestoreTestSupport.h"
#include "RestoreTexts.h"
#include "ServerProtocol.h"

namespace {

void SetTimes(const std::string& path, time_t modified)
{
	struct timeval times[2] = {{modified - 100, 0}, {modified, 0}};
	ASSERT_EQ(lutimes(path.c_str(), times), 0);
}

// A tree with every entry kind: an empty file, a file of two blocks with an
// attribute, a link, a read-only folder with a file inside.
void MakeSampleTree(RestoreTestBed& bed)
{
	TestFolder& folder = bed.Folder();
	folder.WriteFile("sys/src/empty", "");
	std::string big(70000, 'x');
	for (size_t i = 0; i < big.size(); i++)
		big[i] = char('a' + i * 7 % 26);
	folder.WriteFile("sys/src/big", big);
	ASSERT_EQ(setxattr((folder / "sys/src/big").c_str(), "user.note", "hello", 5, 0), 0);
	folder.WriteFile("sys/src/locked/inner", "inner data");
	ASSERT_EQ(symlink("big", (folder / "sys/src/link").c_str()), 0);
	ASSERT_EQ(chmod((folder / "sys/src/big").c_str(), 0640), 0);
	SetTimes(folder / "sys/src/empty", 1000000);
	SetTimes(folder / "sys/src/big", 2000000);
	SetTimes(folder / "sys/src/locked/inner", 3000000);
	SetTimes(folder / "sys/src/link", 4000000);
	ASSERT_EQ(chmod((folder / "sys/src/locked").c_str(), 0555), 0);
	SetTimes(folder / "sys/src/locked", 5000000);
	SetTimes(folder / "sys/src", 6000000);
}

BMessage RedirectedSelection(const std::string& source, const std::string& target)
{
	BMessage selection;
	selection.AddString("SELECTION", ("INCLUDE " + source + "/*").c_str());
	selection.AddString("source", ("REDIREC " + source + "/*").c_str());
	selection.AddString("redirect", target.c_str());
	return selection;
}

}	// namespace

// Backup then restore into a redirection folder gives the same tree: data,
// sizes, permissions (a read-only folder too), times, links, attributes.
TEST(RestoreTest, RedirectedRestoreIsIdentical)
{
	RestoreTestBed bed;
	MakeSampleTree(bed);
	bed.Folder().MakeFolder("sys/out");
	std::string id = bed.WriteBackup("2024010100000001", "/sys/src");
	BMessage end = bed.RunRestore(
		RedirectedSelection("/2024010100000001/sys/src", "/sys/out"), 0);

	EXPECT_EQ(end.GetInt32("status", -1), 0);
	EXPECT_EQ(bed.CountLines(kTextRestoreSuccessful), 1);
	EXPECT_EQ(bed.CountLines(kTextBackupLoaded), 1);
	std::vector<std::string> original = DescribeTree(bed.Folder() / "sys/src");
	std::vector<std::string> restored = DescribeTree(bed.Folder() / "sys/out/src");
	EXPECT_EQ(original.size(), 5u);
	EXPECT_EQ(restored, original);
	struct stat status;
	ASSERT_EQ(stat((bed.Folder() / "sys/out/src").c_str(), &status), 0);
	EXPECT_EQ(status.st_mtime, 6000000);
}

// Each overwrite mode against an existing tree.
TEST(RestoreTest, OverwritePolicies)
{
	RestoreTestBed bed;
	bed.Folder().WriteFile("sys/home/notes", "backed up");
	SetTimes(bed.Folder() / "sys/home/notes", 2000000);
	bed.WriteBackup("2024010100000002", "/sys/home");
	BMessage selection;
	selection.AddString("SELECTION", "INCLUDE /2024010100000002/sys/home/notes");

	auto current = [&bed](const std::string& name) {
		return ReadWholeFile(bed.Folder() / ("sys/home/" + name)).value_or("<none>");
	};
	// No: the newer existing file stays.
	bed.Folder().WriteFile("sys/home/notes", "newer");
	SetTimes(bed.Folder() / "sys/home/notes", 3000000);
	EXPECT_EQ(bed.RunRestore(selection, 0).GetInt32("status", -1), 0);
	EXPECT_EQ(current("notes"), "newer");
	// Only older: newer stays, older is replaced.
	bed.RunRestore(selection, 1);
	EXPECT_EQ(current("notes"), "newer");
	SetTimes(bed.Folder() / "sys/home/notes", 1000000);
	bed.RunRestore(selection, 1);
	EXPECT_EQ(current("notes"), "backed up");
	// Rename: notes and notes.1 present, the old notes becomes notes.2.
	bed.Folder().WriteFile("sys/home/notes", "old notes");
	bed.Folder().WriteFile("sys/home/notes.1", "older notes");
	EXPECT_EQ(bed.RunRestore(selection, 2).GetInt32("status", -1), 0);
	EXPECT_EQ(current("notes"), "backed up");
	EXPECT_EQ(current("notes.1"), "older notes");
	EXPECT_EQ(current("notes.2"), "old notes");
	// Yes: replaced whatever its time.
	bed.Folder().WriteFile("sys/home/notes", "newest");
	SetTimes(bed.Folder() / "sys/home/notes", 9000000);
	bed.RunRestore(selection, 3);
	EXPECT_EQ(current("notes"), "backed up");
	struct stat status;
	ASSERT_EQ(stat((bed.Folder() / "sys/home/notes").c_str(), &status), 0);
	EXPECT_EQ(status.st_mtime, 2000000);
}

// A damaged data block stops that file only; the next file restores.
TEST(RestoreTest, DamagedBlockStopsOneFile)
{
	RestoreTestBed bed;
	bed.Folder().WriteFile("sys/d/a", std::string(100000, 'a'));
	bed.Folder().WriteFile("sys/d/b", "bee");
	bed.Folder().MakeFolder("sys/out");
	bed.WriteBackup("2024010100000003", "/sys/d", [](std::vector<uint8>* archive, BMessage*) {
		// The second data block of "a" loses its magic. Records follow the
		// 220-byte backup header at multiples of 8.
		int blocks = 0;
		for (size_t at = kBackupHeaderSize; at + 4 <= archive->size(); at += 8) {
			if (ReadLE32(archive->data() + at) == kDataBlockMagic && ++blocks == 2) {
				WriteLE32(archive->data() + at, 0x12345678);
				return;
			}
		}
	});
	BMessage end = bed.RunRestore(RedirectedSelection("/2024010100000003/sys/d", "/sys/out"), 0);
	EXPECT_EQ(end.GetInt32("status", -1), kJobEndedWithErrors);
	EXPECT_EQ(bed.CountLines(kTextBlockMismatch), 1);
	// The report's status line says so too.
	EXPECT_EQ(bed.CountLines(kTextRestoreEndedWithErrors), 1);
	EXPECT_EQ(bed.CountLines(kTextRestoreSuccessful), 0);
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/d/b").value_or(""), "bee");
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/d/a").value_or("").size(), 65512u);
}

// Step codes that reach a worker before its start, and a second start,
// change nothing: the job runs once, from its first start, to one end.
TEST(RestoreTest, StrayStepsAndASecondStartAreIgnored)
{
	RestoreTestBed bed;
	bed.Folder().WriteFile("sys/d/a", "a once");
	bed.Folder().MakeFolder("sys/out");
	bed.WriteBackup("2024010100000009", "/sys/d");
	std::vector<BMessage> early;
	for (uint32 code : {MVRestoreServer::kStepNextItem, MVRestoreServer::kStepData,
			MVRestoreServer::kStepLink, MVRestoreServer::kStepEnd, uint32('wkst')}) {
		early.emplace_back(code);
	}
	BMessage end = bed.FinishJob(bed.StartRestore(
		RedirectedSelection("/2024010100000009/sys/d", "/sys/out"), 0, early, true));
	EXPECT_EQ(end.GetInt32("status", -1), kJobEndedSuccessfully);
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/d/a").value_or(""), "a once");
	// The end went to the server and to the subscriber, both the bed.
	EXPECT_EQ(bed.Inbox().Count(kMsgJobFinished), 2);
	EXPECT_EQ(bed.CountLines(kTextRestoreSuccessful), 1);
}

// A hostile catalogue and image: a "../" path, a link followed by a file
// inside it, a header whose length is huge. Nothing lands outside the
// target and the job ends.
TEST(RestoreTest, HostileBackupStaysInside)
{
	RestoreTestBed bed;
	bed.Folder().MakeFolder("sys/outside");
	bed.Folder().WriteFile("sys/h/evil/payload", "bad");
	ASSERT_EQ(symlink((bed.Folder() / "sys/outside").c_str(),
		(bed.Folder() / "sys/h/zlink").c_str()), 0);
	bed.Folder().WriteFile("sys/h/zother", "fine");
	bed.Folder().MakeFolder("sys/out");
	bed.WriteBackup("2024010100000004", "/sys/h", [](std::vector<uint8>* archive,
			BMessage* catalogue) {
		// "evil/payload" is listed as "zlink/payload", as if it lay below the
		// link, and "evil" itself as "..".
		for (int32 i = 0; ; i++) {
			const char* name = catalogue->GetString(kLogNameKey, i, nullptr);
			if (name == nullptr)
				break;
			std::string path(name);
			if (path == "/sys/h/evil")
				catalogue->ReplaceString(kLogNameKey, i, "/sys/h/..");
			else if (path == "/sys/h/evil/payload")
				catalogue->ReplaceString(kLogNameKey, i, "/sys/h/zlink/payload");
			else if (path == "/sys/h/zother") {
				// Its header claims a length of 1 GiB.
				int64 offset = 0;
				(void)catalogue->FindInt64(kLogOffsetKey, i, &offset);
				WriteLE32(archive->data() + offset + kFileHeaderTotalOffset, 0x40000000);
			}
		}
	});
	BMessage selection;
	selection.AddString("SELECTION", "INCLUDE /2024010100000004/sys/h/*");
	selection.AddString("SELECTION", "INCLUDE /2024010100000004/sys/h/zlink/payload");
	selection.AddString("source", "REDIREC /2024010100000004/sys/h/*");
	selection.AddString("redirect", "/sys/out");
	BMessage end = bed.RunRestore(selection, 3);

	EXPECT_EQ(end.GetInt32("status", -1), 2);
	EXPECT_FALSE(ReadWholeFile(bed.Folder() / "sys/outside/payload").has_value());
	EXPECT_FALSE(ReadWholeFile(bed.Folder() / "sys/zother").has_value());
	EXPECT_FALSE(ReadWholeFile(bed.Folder() / "sys/out/h/zother").has_value());
	EXPECT_GE(bed.CountLines(kTextCannotReadItem), 1);
}

// Two backups in one job each load their own catalogue; a selection that
// names nothing ends with "found no data".
TEST(RestoreTest, TwoBackupsAndNothing)
{
	RestoreTestBed bed;
	bed.Folder().WriteFile("sys/one/x", "one");
	bed.Folder().WriteFile("sys/two/y", "two");
	bed.Folder().MakeFolder("sys/out");
	bed.WriteBackup("2024010100000005", "/sys/one");
	bed.WriteBackup("2024010100000006", "/sys/two");
	BMessage selection = RedirectedSelection("/2024010100000005/sys/one", "/sys/out");
	selection.AddString("SELECTION", "INCLUDE /2024010100000006/sys/two/*");
	selection.AddString("source", "REDIREC /2024010100000006/sys/two/*");
	selection.AddString("redirect", "/sys/out");
	BMessage end = bed.RunRestore(selection, 0);
	EXPECT_EQ(end.GetInt32("status", -1), 0);
	EXPECT_EQ(bed.CountLines(kTextBackupLoaded), 2);
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/one/x").value_or(""), "one");
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/two/y").value_or(""), "two");

	BMessage nothing;
	nothing.AddString("SELECTION", "INCLUDE /2024010199999999/sys/none/*");
	EXPECT_EQ(bed.RunRestore(nothing, 0).GetInt32("status", -1), 1);
	EXPECT_EQ(bed.CountLines(kTextNothingToRestore), 1);
}

// Another user who can write in the target keeps swapping the folders the
// restore has just made for links to elsewhere while thousands of files
// are restored: nothing is ever written outside the target.
TEST(RestoreTest, FoldersSwappedForLinksDuringTheRestore)
{
	RestoreTestBed bed;
	constexpr int kFolders = 20;
	constexpr int kFilesPerFolder = 100;
	for (int folder = 0; folder < kFolders; folder++) {
		for (int file = 0; file < kFilesPerFolder; file++) {
			bed.Folder().WriteFile("sys/src/d" + std::to_string(folder) + "/f"
				+ std::to_string(file), "data");
		}
	}
	bed.Folder().MakeFolder("sys/outside");
	bed.Folder().MakeFolder("sys/out");
	bed.WriteBackup("2024010100000007", "/sys/src");

	std::atomic<bool> stop{false};
	std::atomic<int> swaps{0};
	std::string restored = bed.Folder() / "sys/out/src";
	std::string outside = bed.Folder() / "sys/outside";
	std::thread attacker([&] {
		int round = 0;
		while (!stop) {
			for (int folder = 0; folder < kFolders && !stop; folder++) {
				std::string path = restored + "/d" + std::to_string(folder);
				struct stat status;
				if (lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
					continue;
				std::string aside = path + ".moved" + std::to_string(round++);
				if (rename(path.c_str(), aside.c_str()) == 0 && symlink(outside.c_str(),
						path.c_str()) == 0)
					swaps++;
			}
			std::this_thread::yield();
		}
	});
	BMessage end = bed.RunRestore(
		RedirectedSelection("/2024010100000007/sys/src", "/sys/out"), 3);
	stop = true;
	attacker.join();

	EXPECT_NE(end.GetInt32("status", -1), -1);
	EXPECT_GT(swaps.load(), 0);
	EXPECT_TRUE(std::filesystem::is_empty(outside));
	EXPECT_EQ(DescribeTree(bed.Folder() / "sys/src").size(),
		size_t(kFolders * (kFilesPerFolder + 1)));
}

// A file the catalogue marks incomplete (it shrank while it was backed up)
// is restored as the backup holds it, with an error line, and the job ends
// with errors instead of reporting success.
TEST(RestoreTest, IncompleteFileEndsWithErrors)
{
	RestoreTestBed bed;
	bed.Folder().WriteFile("sys/part/shrunk", "what was read");
	bed.Folder().WriteFile("sys/part/whole", "complete");
	bed.Folder().MakeFolder("sys/out");
	bed.WriteBackup("2024010100000008", "/sys/part", [](std::vector<uint8>*, BMessage* catalogue) {
		for (int32 i = 0; const char* name = catalogue->GetString(kLogNameKey, i, nullptr); i++) {
			if (std::string(name) == "/sys/part/shrunk")
				catalogue->AddInt32(kLogIncompleteKey, catalogue->GetInt32(kLogEntryNumberKey, i, -1));
		}
	});
	BMessage end = bed.RunRestore(
		RedirectedSelection("/2024010100000008/sys/part", "/sys/out"), 0);
	EXPECT_EQ(end.GetInt32("status", -1), 2);
	EXPECT_EQ(bed.CountLines(kTextIncompleteInBackup), 1);
	EXPECT_EQ(bed.CountLines(kTextRestoreSuccessful), 0);
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/part/shrunk").value_or(""), "what was read");
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/part/whole").value_or(""), "complete");
}
