// The server's catalogue list: what it lists at start, how it follows the
// catalogue folder and finished jobs, and what it tells the clients.

#include <sys/stat.h>
#include <sys/xattr.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include <storage/Entry.h>
#include <storage/Node.h>
#include <storage/NodeMonitor.h>

#include "AwaitCondition.h"
#include "CatalogueList.h"
#include "CatalogueServerTest.h"
#include "MVReportServer.h"
#include "ReportFile.h"
#include "ReportPrunePolicy.h"

namespace {

class CatalogueRegistryTest : public CatalogueServerTest {
protected:
	int64 Inode(const std::string& name) const
	{
		struct stat info;
		EXPECT_EQ(stat(NativeCatalogue(name).c_str(), &info), 0);
		return int64(info.st_ino);
	}

	int32 SlotOf(const std::string& name) { return CatalogueList::FindName(List(), name.c_str()); }

	void StoreReport(int32 reportID, int32 jobID)
	{
		BMessage report;
		report.AddInt32("report_id", reportID);
		report.AddInt32("job_id", jobID);
		report.AddString("title", "report");
		report.AddInt32("job_type", kJobFullBackup);
		report.AddTime("date", int32(time(nullptr)));
		ReportListEntry entry;
		ASSERT_EQ(ReportFile::Write(std::string(kProgramFolder) + "/report", report, &entry),
			B_OK);
	}

	bool ReportExists(int32 reportID) const
	{
		return ReadWholeFile(NativePath("report/" + ReportFile::Name(reportID))).has_value();
	}

	// Reports of jobs 7 and 8, and the rule whether a vanished backup
	// takes its job's reports along.
	void PrepareReports(int32 overwrite)
	{
		fFolder.MakeFolder("Backup_Server/report");
		ReportPrunePolicy policy;
		policy.mode = ReportPrunePolicy::kNever;
		policy.overwrite = overwrite;
		ASSERT_EQ(policy.Save((std::string(kProgramFolder) + "/report.prefs").c_str()), B_OK);
		StoreReport(100, 7);
		StoreReport(101, 8);
	}

	// A removal by hand while the server runs, until the clients are told.
	void RemoveByHand(const std::string& name)
	{
		ASSERT_EQ(unlink(NativeCatalogue(name).c_str()), 0);
		ASSERT_TRUE(AwaitNamed(kMsgLogRemoved, name).has_value());
		// Anything the server asked of the report server before it told
		// the clients is done once the report server answers this.
		EXPECT_EQ(Request(BMessage(kMsgReportGetPolicy)).what, uint32(MVReportServer::kMsgPolicy));
	}

	BMessage NodeMonitor(int32 opcode, const std::string& name, int64 node)
	{
		BMessage message(B_NODE_MONITOR);
		message.AddInt32("opcode", opcode);
		message.AddInt64("node", node);
		message.AddString("name", name.c_str());
		return message;
	}
};

}	// namespace

// At start every file of the folder gets a slot from its attributes; a file
// without them gets the defaults, a long title is cut and a mode of 0 reads
// as a full backup.
TEST_F(CatalogueRegistryTest, StartListsEveryFileFromItsAttributes)
{
	Backup weekly;
	weekly.password = "secret";
	weekly.mode = 2;
	weekly.baseId = 5;
	weekly.destination = "MVSCSIStreamer";
	WriteCatalogue("2024010100000001", weekly);
	Backup longTitle;
	longTitle.title = std::string(70, 'T');
	longTitle.mode = 0;
	WriteCatalogue("2024010100000002", longTitle);
	fFolder.WriteFile("Backup_Server/logdata/bare", "not a catalogue");

	CreateServer();
	ASSERT_EQ(CatalogueList::CountSlots(List()), 3);

	int32 slot = SlotOf("2024010100000001");
	ASSERT_GE(slot, 0);
	int64 node = 0;
	ASSERT_EQ(List().FindInt64("node", slot, &node), B_OK);
	EXPECT_EQ(node, Inode("2024010100000001"));
	EXPECT_STREQ(List().GetString("title", slot, ""), "Weekly");
	int32 date = 0;
	ASSERT_EQ(List().FindTime("date", slot, &date), B_OK);
	EXPECT_EQ(date, 1700000000);
	int64 size = 0;
	ASSERT_EQ(List().FindInt64("size", slot, &size), B_OK);
	EXPECT_EQ(size, 123456);
	EXPECT_EQ(List().GetInt32("type", slot, 0), -1);
	EXPECT_STREQ(List().GetString("path", slot, ""), " ");
	EXPECT_EQ(List().GetInt32("medianr", slot, 0), 1);
	EXPECT_EQ(List().GetInt32("job_id", slot, 0), 7);
	EXPECT_EQ(List().GetInt32("mode", slot, 0), 2);
	EXPECT_EQ(List().GetInt32("base_id", slot, 0), 5);
	EXPECT_EQ(List().GetInt32("pw", slot, 0), 1);
	EXPECT_STREQ(List().GetString("dest", slot, ""), "MVSCSIStreamer");

	slot = SlotOf("2024010100000002");
	ASSERT_GE(slot, 0);
	EXPECT_EQ(List().GetString("title", slot, ""), std::string(63, 'T'));
	EXPECT_EQ(List().GetInt32("mode", slot, 0), 1);
	EXPECT_EQ(List().GetInt32("pw", slot, -1), 0);

	slot = SlotOf("bare");
	ASSERT_GE(slot, 0);
	EXPECT_STREQ(List().GetString("title", slot, ""), "- no title -");
	ASSERT_EQ(List().FindInt64("size", slot, &size), B_OK);
	EXPECT_EQ(size, -1);
	ASSERT_EQ(List().FindTime("date", slot, &date), B_OK);
	EXPECT_EQ(date, 0);
	EXPECT_EQ(List().GetInt32("mode", slot, 0), 1);
	EXPECT_EQ(List().GetInt32("job_id", slot, -1), 0);
	EXPECT_EQ(List().GetInt32("base_id", slot, -1), 0);
	EXPECT_EQ(List().GetInt32("pw", slot, -1), 0);
	EXPECT_STREQ(List().GetString("dest", slot, "?"), "");
}

// A finished job's catalogue is listed once and told to the clients with
// the slot's values; a name without a file adds nothing.
TEST_F(CatalogueRegistryTest, FinishedJobsAddTheirCatalogues)
{
	CreateServer();
	RegisterClient();
	Backup backup;
	backup.mode = 3;
	backup.baseId = 4;
	backup.password = "pw";
	backup.destination = "MVImage";
	WriteCatalogue("2024010100000003", backup);

	BMessage finished;
	finished.AddInt32("job_id", 7);
	finished.AddString("backup_id", "2024010100000003");
	finished.AddString("backup_id", "2024010100000099");
	Handle(kMsgJobFinished, finished);
	Handle(kMsgJobFinished, finished);

	ASSERT_EQ(CatalogueList::CountSlots(List()), 1);
	std::optional<BMessage> inserted = AwaitNamed(kMsgLogInserted, "2024010100000003");
	ASSERT_TRUE(inserted.has_value());
	EXPECT_EQ(inserted->GetInt32("mode", 0), 3);
	EXPECT_EQ(inserted->GetInt32("base_id", 0), 4);
	EXPECT_EQ(inserted->GetInt32("job_id", 0), 7);
	EXPECT_EQ(inserted->GetInt32("type", 0), -1);
	EXPECT_STREQ(inserted->GetString("title", ""), "Weekly");
	int32 date = 0;
	ASSERT_EQ(inserted->FindTime("date", &date), B_OK);
	EXPECT_EQ(date, 1700000000);
	EXPECT_EQ(inserted->GetInt64("size", 0), 123456);
	EXPECT_EQ(inserted->GetInt32("pw", 0), 1);
	EXPECT_STREQ(inserted->GetString("dest", ""), "MVImage");
	DrainClient();
	EXPECT_EQ(fClient.Inbox().Count(kMsgLogInserted), 1);
}

// A catalogue file removed by hand leaves the list, the clients are told,
// and its job's reports go when the report rule says so.
TEST_F(CatalogueRegistryTest, RemovedFilesTakeTheirReportsWhenTheRuleSaysSo)
{
	PrepareReports(1);
	WriteCatalogue("2024010100000001");
	Backup other;
	other.jobId = 8;
	WriteCatalogue("2024010100000002", other);
	CreateServer();
	RegisterClient();
	RunServer();

	RemoveByHand("2024010100000001");
	EXPECT_FALSE(ReportExists(100));
	EXPECT_TRUE(ReportExists(101));

	BMessage browse(kMsgLogRead);
	browse.AddString("path", "/");
	BMessage list = Request(browse);
	EXPECT_EQ(Strings(list, "name"), std::vector<std::string>{"2024010100000002"});
	EXPECT_FALSE(list.HasData("node", B_INT64_TYPE));
	EXPECT_EQ(list.GetInt32("job_id", 0), 8);
}

TEST_F(CatalogueRegistryTest, RemovedFilesKeepTheirReportsByDefault)
{
	PrepareReports(0);
	WriteCatalogue("2024010100000001");
	CreateServer();
	RegisterClient();
	RunServer();

	RemoveByHand("2024010100000001");
	EXPECT_TRUE(ReportExists(100));
	BMessage browse(kMsgLogRead);
	browse.AddString("path", "/");
	EXPECT_TRUE(Request(browse).IsEmpty());
}

// A rename inside the folder lists the file under its new name only; a
// catalogue written anew over a listed one replaces its slot, and the job's
// end report afterwards adds nothing twice.
TEST_F(CatalogueRegistryTest, RenamedAndRewrittenFilesKeepOneSlot)
{
	WriteCatalogue("2024010100000001");
	CreateServer();
	RegisterClient();
	RunServer();

	ASSERT_EQ(rename(NativeCatalogue("2024010100000001").c_str(),
		NativeCatalogue("2024010100000002").c_str()), 0);
	ASSERT_TRUE(AwaitNamed(kMsgLogRemoved, "2024010100000001").has_value());
	ASSERT_TRUE(AwaitNamed(kMsgLogInserted, "2024010100000002").has_value());

	Backup again;
	again.title = "Rewritten";
	WriteCatalogue("2024010100000002", again);
	ASSERT_TRUE(fClient.Inbox().Await(kMsgLogInserted, kPatience, [](const BMessage& message) {
		return strcmp(message.GetString("title", ""), "Rewritten") == 0;
	}).has_value());

	BMessage finished(kMsgJobFinished);
	finished.AddString("backup_id", "2024010100000002");
	ASSERT_EQ(BMessenger(fServer.get()).SendMessage(&finished), B_OK);
	BMessage browse(kMsgLogRead);
	browse.AddString("path", "/");
	BMessage list = Request(browse);
	EXPECT_EQ(Strings(list, "name"), std::vector<std::string>{"2024010100000002"});
	EXPECT_EQ(Strings(list, "title"), std::vector<std::string>{"Rewritten"});
	DrainClient();
	EXPECT_EQ(CountNamed(kMsgLogInserted, "2024010100000002"), 2);
	EXPECT_EQ(CountNamed(kMsgLogRemoved, "2024010100000002"), 1);
}

// Removals are matched by inode; one without an inode by its name, but only
// once the file is really gone. Other events change nothing, and node
// monitor messages from other processes are not taken at all.
TEST_F(CatalogueRegistryTest, RemovalsFindTheirSlot)
{
	WriteCatalogue("2024010100000001");
	WriteCatalogue("2024010100000002");
	WriteCatalogue("2024010100000003");
	CreateServer();
	RegisterClient();
	int64 first = Inode("2024010100000001");

	Handle(B_NODE_MONITOR, NodeMonitor(B_ENTRY_CREATED, "2024010100000001", first));
	Handle(B_NODE_MONITOR, NodeMonitor(B_ENTRY_REMOVED, "2024010100000002", 0));
	Handle(B_NODE_MONITOR, NodeMonitor(B_ENTRY_REMOVED, "unknown", first + 100000));
	EXPECT_EQ(CatalogueList::CountSlots(List()), 3);

	Handle(B_NODE_MONITOR, NodeMonitor(B_ENTRY_REMOVED, "anything", first));
	EXPECT_EQ(SlotOf("2024010100000001"), -1);
	ASSERT_EQ(unlink(NativeCatalogue("2024010100000002").c_str()), 0);
	Handle(B_NODE_MONITOR, NodeMonitor(B_ENTRY_REMOVED, "2024010100000002", 0));
	EXPECT_EQ(SlotOf("2024010100000002"), -1);
	EXPECT_EQ(CatalogueList::CountSlots(List()), 1);
	EXPECT_TRUE(AwaitNamed(kMsgLogRemoved, "2024010100000002").has_value());
	DrainClient();
	EXPECT_EQ(fClient.Inbox().Count(kMsgLogRemoved), 2);
}

// A move message without the old name is read as the name alone tells: a
// listed name left, an unlisted one came in.
TEST_F(CatalogueRegistryTest, MovesWithoutTheOldNameFollowTheName)
{
	WriteCatalogue("2024010100000001");
	CreateServer();
	int64 folder = 0;
	{
		BNode node((std::string(kProgramFolder) + "/logdata").c_str());
		node_ref ref;
		ASSERT_EQ(node.GetNodeRef(&ref), B_OK);
		folder = int64(ref.node);
	}

	BMessage away = NodeMonitor(B_ENTRY_MOVED, "2024010100000001", 0);
	away.AddInt64("to directory", folder + 1);
	Handle(B_NODE_MONITOR, away);
	EXPECT_EQ(CatalogueList::CountSlots(List()), 0);

	WriteCatalogue("2024010100000005");
	BMessage in = NodeMonitor(B_ENTRY_MOVED, "2024010100000005", 0);
	in.AddInt64("to directory", folder);
	Handle(B_NODE_MONITOR, in);
	EXPECT_EQ(SlotOf("2024010100000005"), 0);

	// A name that is not a file of the folder is never looked up.
	BMessage hostile = NodeMonitor(B_ENTRY_MOVED, "../secret", 0);
	hostile.AddInt64("to directory", folder);
	fFolder.WriteFile("Backup_Server/secret", "x");
	Handle(B_NODE_MONITOR, hostile);
	EXPECT_EQ(CatalogueList::CountSlots(List()), 1);
}

// The open catalogue is forgotten when its file leaves the list.
TEST_F(CatalogueRegistryTest, RemovedCataloguesAreNotBrowsedFromMemory)
{
	WriteCatalogue("2024010100000001");
	CreateServer();
	EXPECT_FALSE(ReadDir("/2024010100000001", 0, 0).IsEmpty());
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), "2024010100000001");

	int64 node = Inode("2024010100000001");
	ASSERT_EQ(unlink(NativeCatalogue("2024010100000001").c_str()), 0);
	Handle(B_NODE_MONITOR, NodeMonitor(B_ENTRY_REMOVED, "2024010100000001", node));
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), "");
	EXPECT_TRUE(ReadDir("/2024010100000001", 0, 0).IsEmpty());
}

// A catalogue file whose lock a writer holds is read only once the lock is
// given back.
TEST_F(CatalogueRegistryTest, LockedFilesAreReadAfterTheirWriter)
{
	CreateServer();
	WriteCatalogue("2024010100000001");
	BNode writer(CataloguePath("2024010100000001").c_str());
	ASSERT_EQ(writer.Lock(), B_OK);

	std::atomic<bool> listed = false;
	std::thread reader([&] {
		BEntry entry(CataloguePath("2024010100000001").c_str());
		listed = fServer->Catalogues().LogAddToList(entry);
	});
	// Nothing to await here but the absence of a result: the reader must
	// still wait after a few of its retries.
	EXPECT_FALSE(AwaitCondition([&] { return listed.load(); }, 300000));
	ASSERT_EQ(writer.Unlock(), B_OK);
	reader.join();
	EXPECT_TRUE(listed);
	EXPECT_EQ(SlotOf("2024010100000001"), 0);
	EXPECT_STREQ(List().GetString("title", 0, ""), "Weekly");
}

// Temporary files that writers killed before their end left behind are
// removed at start and never listed. A catalogue moved in from another
// folder is listed as it arrives; a copy is listed once it carries its
// attributes, at the pulse after.
TEST_F(CatalogueRegistryTest, ArrivingCataloguesAreListedAndTemporariesNever)
{
	const std::string temporary = ".2024010100000009.0badcafe~";
	fFolder.WriteFile("Backup_Server/logdata/" + temporary, "half a catalogue");
	fFolder.WriteFile("Backup_Server/.MorvaneServer.joblist.12345678~", "half a list");
	fFolder.MakeFolder("Backup_Server/report");
	fFolder.WriteFile("Backup_Server/report/.report.deadbeef~", "half a report");
	fFolder.WriteFile("Backup_Server/logdata/.hidden", "kept, never listed");
	fFolder.MakeFolder("Backup_Server/elsewhere");
	ASSERT_EQ(CatalogueFile::Write((std::string(kProgramFolder) + "/elsewhere/2024010100000005")
		.c_str(), MakeCatalogue("2024010100000005", Backup())), B_OK);
	CreateServer();
	RegisterClient();
	EXPECT_EQ(CatalogueList::CountSlots(List()), 0);
	for (const char* gone : {"logdata/.2024010100000009.0badcafe~",
			".MorvaneServer.joblist.12345678~", "report/.report.deadbeef~"}) {
		EXPECT_FALSE(ReadWholeFile(NativePath(gone)).has_value()) << gone;
	}
	EXPECT_TRUE(ReadWholeFile(NativePath("logdata/.hidden")).has_value());
	RunServer();

	ASSERT_EQ(rename(NativePath("elsewhere/2024010100000005").c_str(),
		NativeCatalogue("2024010100000005").c_str()), 0);
	std::optional<BMessage> moved = AwaitNamed(kMsgLogInserted, "2024010100000005");
	ASSERT_TRUE(moved.has_value());
	EXPECT_STREQ(moved->GetString("title", ""), "Weekly");

	// A copy arrives empty; its content and attributes follow.
	fFolder.WriteFile("Backup_Server/logdata/2024010100000006", "");
	Backup copied;
	copied.title = "Copied";
	ASSERT_EQ(CatalogueFile::Write((std::string(kProgramFolder) + "/elsewhere/copy").c_str(),
		MakeCatalogue("2024010100000006", copied)), B_OK);
	std::string copy = NativePath("elsewhere/copy");
	std::string target = NativeCatalogue("2024010100000006");
	char names[4096];
	ssize_t length = listxattr(copy.c_str(), names, sizeof(names));
	ASSERT_GT(length, 0);
	for (const char* name = names; name < names + length; name += strlen(name) + 1) {
		char value[256];
		ssize_t size = getxattr(copy.c_str(), name, value, sizeof(value));
		ASSERT_GE(size, 0) << name;
		ASSERT_EQ(setxattr(target.c_str(), name, value, size_t(size), 0), 0) << name;
	}
	ASSERT_EQ(BMessenger(fServer.get()).SendMessage(B_PULSE), B_OK);
	std::optional<BMessage> arrived = AwaitNamed(kMsgLogInserted, "2024010100000006");
	ASSERT_TRUE(arrived.has_value());
	EXPECT_STREQ(arrived->GetString("title", ""), "Copied");

	DrainClient();
	EXPECT_EQ(CountNamed(kMsgLogInserted, "2024010100000006"), 1);
	for (const char* hidden : {".hidden", ".2024010100000009.0badcafe~"})
		EXPECT_EQ(CountNamed(kMsgLogInserted, hidden), 0) << hidden;
}
