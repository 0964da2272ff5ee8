#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>

#include <kernel/fs_info.h>
#include <storage/Node.h>
#include <storage/VolumeTable.h>
#include <support/TypeConstants.h>

#include "ArchiveReader.h"
#include "AwaitCondition.h"
#include "JobEndStatus.h"
#include "MemoryArchive.h"
#include "RestoreTestSupport.h"
#include "RestoreTexts.h"
#include "ServerProtocol.h"

// Backups written by the real backup worker and read back by the restore
// worker: every entry kind, both compressors, two media, pause and abort.

namespace {

constexpr bigtime_t kPatience = 20000000;

void SetTimes(const std::string& path, time_t modified)
{
	struct timeval times[2] = {{modified - 100, 0}, {modified, 0}};
	ASSERT_EQ(lutimes(path.c_str(), times), 0);
}

// Bytes that neither repeat within a block nor compress to nothing.
std::string Pattern(size_t length, uint32 seed)
{
	std::string data(length, '\0');
	uint32 state = seed * 2654435761u + 1;
	for (size_t i = 0; i < length; i++) {
		state = state * 1103515245u + 12345u;
		// Runs of letters mixed with noise, so that LZRW1 finds matches.
		data[i] = i % 64 < 32 ? char('a' + i % 13) : char(state >> 24);
	}
	return data;
}

off_t SizeOf(const std::string& path)
{
	struct stat status;
	return stat(path.c_str(), &status) == 0 ? status.st_size : -1;
}

// A tree below sys/src with every entry kind the backup knows.
void MakeFullTree(RestoreTestBed& bed)
{
	TestFolder& folder = bed.Folder();
	folder.WriteFile("sys/src/empty", "");
	folder.WriteFile("sys/src/one", "1");
	folder.WriteFile("sys/src/block", Pattern(65512, 1));
	folder.WriteFile("sys/src/block1", Pattern(65513, 2));
	folder.WriteFile("sys/src/deep/er/big", Pattern(3 * 1048576 + 5, 3));
	folder.WriteFile("sys/src/locked/inside", "kept");
	ASSERT_EQ(symlink("deep/er/big", (folder / "sys/src/link").c_str()), 0);
	ASSERT_EQ(setxattr((folder / "sys/src/one").c_str(), "user.comment", "raw\0bytes", 9, 0),
		0);
	BNode node("/sys/src/block1");
	ASSERT_EQ(node.InitCheck(), B_OK);
	int32 rating = 0x01020304;
	ASSERT_EQ(node.WriteAttr("Rating", B_INT32_TYPE, 0, &rating, sizeof(rating)),
		ssize_t(sizeof(rating)));
	ASSERT_EQ(node.WriteAttr("Note", B_STRING_TYPE, 0, "typed", 6), 6);
	node.Unset();
	ASSERT_EQ(chmod((folder / "sys/src/one").c_str(), 0600), 0);
	ASSERT_EQ(chmod((folder / "sys/src/block").c_str(), 0751), 0);
	time_t when = 1500000000;
	for (const char* name : {"empty", "one", "block", "block1", "deep/er/big",
			"locked/inside", "link", "deep/er", "deep"})
		SetTimes(folder / ("sys/src/" + std::string(name)), when += 1000);
	ASSERT_EQ(chmod((folder / "sys/src/locked").c_str(), 0555), 0);
	SetTimes(folder / "sys/src/locked", when += 1000);
	SetTimes(folder / "sys/src", when + 1000);
}

BMessage RedirectedSelection(const std::string& id, const std::string& source,
	const std::string& target)
{
	BMessage selection;
	std::string path = "/" + id + source;
	selection.AddString("SELECTION", ("INCLUDE " + path + "/*").c_str());
	selection.AddString("source", ("REDIREC " + path + "/*").c_str());
	selection.AddString("redirect", target.c_str());
	return selection;
}

// The native folder of a medium that holds the marker of that number; the
// drive's own folder counts only when it holds the marker.
std::string FindMedium(const TestFolder& folder, int32 number)
{
	std::string marker = "marker-" + std::to_string(number);
	DIR* root = opendir(folder.Path().c_str());
	if (root == nullptr)
		return std::string();
	std::string found;
	while (dirent* entry = readdir(root)) {
		std::string name = entry->d_name;
		if (name.rfind("media", 0) != 0)
			continue;
		if (ReadWholeFile(folder / (name + "/" + marker)).has_value())
			found = folder / name;
	}
	closedir(root);
	return found;
}

dev_t MediaDevice()
{
	return dev_t(dev_for_path("/media"));
}

int32 WantedMedium(const BMessage& question)
{
	std::string text = question.GetString("text", "");
	size_t hash = text.rfind('#');
	return hash == std::string::npos ? -1 : atoi(text.c_str() + hash + 1);
}

}	// namespace

// A tree with every entry kind, backed up with each compressor and restored
// into a redirection folder, compares equal entry by entry: data, sizes,
// permissions (a 0555 folder included), modification times, link targets,
// raw and typed attributes.
TEST(RoundTripTest, EveryEntryKindWithBothCompressors)
{
	for (const char* compressor : {"MVNone", "MVLZRW1"}) {
		SCOPED_TRACE(compressor);
		RestoreTestBed bed;
		MakeFullTree(bed);
		bed.Folder().MakeFolder("sys/out");
		std::string id = bed.RunBackup({"INCLUDE /sys/src/*"}, compressor);
		ASSERT_FALSE(id.empty());
		BMessage end = bed.RunRestore(RedirectedSelection(id, "/sys/src", "/sys/out"), 0);

		EXPECT_EQ(end.GetInt32("status", -1), 0);
		EXPECT_EQ(bed.CountLines(kTextRestoreSuccessful), 1);
		std::vector<std::string> original = DescribeTree(bed.Folder() / "sys/src");
		std::vector<std::string> restored = DescribeTree(bed.Folder() / "sys/out/src");
		EXPECT_EQ(original.size(), 10u);
		EXPECT_EQ(restored, original);
		// Both attribute kinds are part of what was compared.
		char value[16];
		EXPECT_EQ(getxattr((bed.Folder() / "sys/out/src/one").c_str(), "user.comment", value,
			sizeof(value)), 9);
		EXPECT_GT(getxattr((bed.Folder() / "sys/out/src/block1").c_str(), "user.mv.Rating",
			value, sizeof(value)), 0);
	}
}

// A backup that fills one medium of a removable volume goes on on a second
// one; its restore asks for each medium in turn and gives the data back.
TEST(RoundTripTest, TwoMediaBackupAndRestore)
{
	RestoreTestBed bed;
	std::string spans = Pattern(600000, 7);
	bed.Folder().WriteFile("sys/m/spans", spans);
	bed.Folder().WriteFile("sys/m/tail", "after the change");
	bed.Folder().MakeFolder("sys/out");
	dev_t device = MediaDevice();
	ASSERT_GT(device, 0);
	int32 inserted = 0;
	std::string id = bed.RunBackup({"INCLUDE /sys/m/*"}, "MVNone", "/media/backups",
		[&](const BMessage&) {
			// The worker ejected the full medium; a blank one goes in.
			ASSERT_EQ(VolumeTable::InsertMedium(device, nullptr), B_OK);
			inserted++;
		});
	ASSERT_FALSE(id.empty());
	ASSERT_EQ(inserted, 1);
	// Label the media so that the restore's questions can be answered.
	ASSERT_TRUE(ReadWholeFile(bed.Folder() / ("media.medium-1/backups/" + id)).has_value());
	bed.Folder().WriteFile("media.medium-1/marker-1", "");
	bed.Folder().WriteFile("media/marker-2", "");

	int32 asked = 0;
	BMessage end = bed.FinishJob(
		bed.StartRestore(RedirectedSelection(id, "/sys/m", "/sys/out"), 0),
		[&](const BMessage& question) {
			asked++;
			int32 wanted = WantedMedium(question);
			EXPECT_STREQ(question.GetString("title", ""), "Change Media");
			std::string medium = FindMedium(bed.Folder(), wanted);
			ASSERT_FALSE(medium.empty()) << "medium " << wanted;
			ASSERT_EQ(VolumeTable::InsertMedium(device, medium.c_str()), B_OK);
		});
	EXPECT_EQ(end.GetInt32("status", -1), 0);
	EXPECT_GE(asked, 2);
	EXPECT_EQ(bed.CountLines(kTextInsertMedia), asked);
	EXPECT_TRUE(ReadWholeFile(bed.Folder() / "sys/out/m/spans") == spans);
	EXPECT_EQ(ReadWholeFile(bed.Folder() / "sys/out/m/tail").value_or(""), "after the change");
}

// Where a link's records lie in a backup image: its header's offset and
// length, and its block's length.
struct LinkRecords {
	int64 headerOffset = -1;
	int64 headerLength = 0;
	int64 blockLength = 0;
};

LinkRecords FindLink(const std::string& image, const char* name)
{
	std::string bytes = ReadWholeFile(image).value_or("");
	MemoryArchive archive(bytes.data(), bytes.size());
	ArchiveReader reader(&archive);
	LinkRecords found;
	ArchiveRecordKind kind;
	int64 before = 0;
	bool inLink = false;
	while (reader.NextRecord(&kind) == B_OK) {
		int64 after = archive.Position();
		if (kind == ArchiveRecordKind::FileHeader) {
			inLink = strcmp(reader.Header().Name(), name) == 0;
			if (inLink) {
				found.headerOffset = before;
				found.headerLength = after - before;
			}
		} else if (kind == ArchiveRecordKind::DataBlock && inLink) {
			found.blockLength = after - before;
		}
		before = after;
	}
	return found;
}

// A link whose header ends one medium has its block, with a target of
// thousands of bytes, on the next; the restore asks for that medium and
// makes the link with its whole target.
TEST(RoundTripTest, LinkBlockOnTheNextMedium)
{
	const std::string target = std::string(3000, 't') + "/end";
	auto makeTree = [&](RestoreTestBed& bed) {
		bed.Folder().WriteFile("sys/a/pad", Pattern(100000, 9));
		bed.Folder().MakeFolder("sys/b");
		ASSERT_EQ(symlink(target.c_str(), (bed.Folder() / "sys/b/zlink").c_str()), 0);
		bed.Folder().MakeFolder("sys/out");
	};
	const std::vector<std::string> lines = {"INCLUDE /sys/a/pad", "INCLUDE /sys/b/zlink"};

	// A first backup on a fixed volume shows where the link's records lie.
	LinkRecords link;
	{
		RestoreTestBed trial;
		makeTree(trial);
		std::string id = trial.RunBackup(lines, "MVNone");
		ASSERT_FALSE(id.empty());
		link = FindLink(trial.Folder() / ("dest/backups/" + id), "zlink");
		ASSERT_GT(link.headerOffset, 0);
		ASSERT_GT(link.blockLength, int64(target.size()));
	}

	// The medium holds the link's header and the end-of-medium record, not
	// the block.
	RestoreTestBed bed(link.headerOffset + link.headerLength + kEndOfMediumSize
		+ link.blockLength / 2);
	makeTree(bed);
	dev_t device = MediaDevice();
	std::string id = bed.RunBackup(lines, "MVNone", "/media/backups", [&](const BMessage&) {
		ASSERT_EQ(VolumeTable::InsertMedium(device, nullptr), B_OK);
	});
	ASSERT_FALSE(id.empty());
	std::string first = ReadWholeFile(bed.Folder() / ("media.medium-1/backups/" + id))
		.value_or("");
	ASSERT_EQ(int64(first.size()), link.headerOffset + link.headerLength + kEndOfMediumSize);
	bed.Folder().WriteFile("media.medium-1/marker-1", "");
	bed.Folder().WriteFile("media/marker-2", "");

	BMessage end = bed.FinishJob(bed.StartRestore(RedirectedSelection(id, "/sys/b", "/sys/out"),
		0), [&](const BMessage& question) {
			std::string medium = FindMedium(bed.Folder(), WantedMedium(question));
			ASSERT_FALSE(medium.empty());
			ASSERT_EQ(VolumeTable::InsertMedium(device, medium.c_str()), B_OK);
		});
	EXPECT_EQ(end.GetInt32("status", -1), kJobEndedSuccessfully);
	EXPECT_EQ(bed.CountLines(kTextInsertMedia), 2);
	char restored[8192];
	ssize_t length = readlink((bed.Folder() / "sys/out/b/zlink").c_str(), restored,
		sizeof(restored));
	ASSERT_GT(length, 0);
	EXPECT_EQ(std::string(restored, size_t(length)), target);
}

// Pausing a restore stops its file from growing; continuing finishes it with
// the data the backup holds. Aborting ends the job with status 1 and its
// status line.
TEST(RoundTripTest, PauseContinueAndAbort)
{
	RestoreTestBed bed;
	std::string big = Pattern(48 * 1048576, 9);
	bed.Folder().WriteFile("sys/p/big", big);
	bed.Folder().MakeFolder("sys/out");
	bed.Folder().MakeFolder("sys/out2");
	std::string id = bed.RunBackup({"INCLUDE /sys/p/*"}, "MVLZRW1");
	ASSERT_FALSE(id.empty());
	std::string restored = bed.Folder() / "sys/out/p/big";

	BMessenger worker = bed.StartRestore(RedirectedSelection(id, "/sys/p", "/sys/out"), 0);
	ASSERT_TRUE(AwaitCondition([&] { return SizeOf(restored) > 0; }, kPatience));
	ASSERT_EQ(worker.SendMessage(kMsgJobPause), B_OK);
	// A synchronous message the worker does not answer comes back once the
	// worker has handled everything before it, the pause included.
	BMessage barrier('brri');
	BMessage reply;
	ASSERT_EQ(worker.SendMessage(&barrier, &reply, kPatience), B_OK);
	off_t paused = SizeOf(restored);
	EXPECT_LT(paused, off_t(big.size()));
	(void)snooze(200000);
	ASSERT_EQ(worker.SendMessage(&barrier, &reply, kPatience), B_OK);
	EXPECT_EQ(SizeOf(restored), paused);

	BMessage resume(kMsgJobContinue);
	ASSERT_EQ(worker.SendMessage(&resume), B_OK);
	BMessage end = bed.FinishJob(worker);
	EXPECT_EQ(end.GetInt32("status", -1), 0);
	EXPECT_TRUE(ReadWholeFile(restored) == big);

	std::string second = bed.Folder() / "sys/out2/p/big";
	worker = bed.StartRestore(RedirectedSelection(id, "/sys/p", "/sys/out2"), 0);
	ASSERT_TRUE(AwaitCondition([&] { return SizeOf(second) > 0; }, kPatience));
	BMessage abort(kMsgJobDelete);
	abort.AddInt32("job_id", 7);
	ASSERT_EQ(worker.SendMessage(&abort), B_OK);
	end = bed.FinishJob(worker);
	EXPECT_EQ(end.GetInt32("status", -1), 1);
	EXPECT_EQ(bed.CountLines(kTextRestoreAborted), 1);
	EXPECT_EQ(bed.CountLines(kTextRestoreSuccessful), 0);
	EXPECT_LT(SizeOf(second), off_t(big.size()));
}
