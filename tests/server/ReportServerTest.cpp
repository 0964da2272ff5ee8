// The report store: reports of running jobs with their live lines, stored
// report files, the list, delivery through a shared memory area, the pruning
// rule and the report folder followed as it changes.

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>

#include <app/Looper.h>
#include <kernel/OS.h>
#include <storage/VolumeTable.h>

#include "AwaitCondition.h"
#include "MVReportLine.h"
#include "MVReportServer.h"
#include "MVServerLog.h"
#include "MessageRecorder.h"
#include "ReportDelivery.h"
#include "ReportFile.h"
#include "ReportPrunePolicy.h"
#include "JobTexts.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"
#include "TestFolder.h"

namespace {

constexpr bigtime_t kPatience = 10000000;
constexpr int32 kDay = 86400;

// A report viewer as the GUI has one: it takes each 'rpRP' as a client
// does, mapping the area when there is one, and keeps the reports it got.
class ViewerLooper : public BLooper {
public:
	ViewerLooper() : BLooper("report viewer") {}

	void MessageReceived(BMessage* message) override
	{
		if (message->what != ReportDelivery::kMsgReport) {
			fInbox.Add(*message);
			return;
		}
		BMessage report;
		BMessage received(*message);
		if (ReportDelivery::Receive(message, &report) == B_OK) {
			report.AddBool("came_through_area", received.HasData("area_id", B_INT32_TYPE));
			fInbox.Add(report);
		}
	}

	MessageInbox fInbox;
};

class ReportServerTest : public ::testing::Test {
protected:
	static constexpr const char* kServerFolder = "/Test/server";

	void SetUp() override
	{
		fVolumes.emplace("MORVANE_VOLUMES", "Test=" + fFolder.Path());
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		fFolder.MakeFolder("server");
		fViewer = new ViewerLooper();
		ASSERT_GE(fViewer->Run(), 0);
		fViewerMessenger = BMessenger(fViewer);
	}

	void TearDown() override
	{
		StopServer();
		if (fViewerMessenger.LockTarget())
			fViewer->Quit();
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	void StartServer(MVServerLog* log = nullptr)
	{
		fServer = new MVReportServer(kServerFolder);
		fServer->SetLog(log);
		BMessenger clients = fClients.Messenger();
		fServer->SetNotifier([clients](const BMessage& message) {
			(void)clients.SendMessage(&message);
		});
		fServer->SetPruneInterval(0);
		ASSERT_GE(fServer->Run(), 0);
		fMessenger = BMessenger(fServer);
	}

	void StopServer()
	{
		if (fServer == nullptr)
			return;
		if (fMessenger.LockTarget())
			fServer->Quit();
		fServer = nullptr;
		EXPECT_TRUE(AwaitCondition([this] { return !fMessenger.IsValid(); }, kPatience));
	}

	BMessage Request(const BMessage& request)
	{
		BMessage reply;
		EXPECT_EQ(fMessenger.SendMessage(&request, &reply), B_OK);
		return reply;
	}

	void Post(const BMessage& message) { ASSERT_EQ(fMessenger.SendMessage(&message), B_OK); }

	int32 NewReport(int32 jobID, const char* title, int32 date = 1000)
	{
		BMessage request(kMsgReportNew);
		request.AddInt32("job_id", jobID);
		request.AddInt32("job_type", kJobFullBackup);
		request.AddString("title", title);
		request.AddTime("date", date);
		return Request(request).GetInt32("report_id", 0);
	}

	static BMessage Line(int32 reportID, int32 lineType, const MVTextArguments& arguments)
	{
		std::string flat = MVReportLine("%s", arguments).Flatten();
		BMessage line(kMsgJobProgress);
		line.AddInt32("report_id", reportID);
		line.AddInt32("linetype", lineType);
		line.AddInt32("text_id", kTextSingle);
		line.AddData("reportline", MVReportLine::kTypeCode, flat.data(), flat.size(), false);
		return line;
	}

	void Finish(int32 reportID)
	{
		BMessage finished(kMsgJobFinished);
		finished.AddInt32("report_id", reportID);
		Post(finished);
	}

	// The listed report ids; being a synchronous request, it also waits for
	// everything sent before it.
	std::vector<int32> ListedIDs()
	{
		BMessage list = Request(BMessage(kMsgReportGetList));
		EXPECT_FALSE(list.HasData("node", B_INT64_TYPE));
		std::vector<int32> ids;
		int32 id;
		for (int32 i = 0; list.FindInt32("report_id", i, &id) == B_OK; i++)
			ids.push_back(id);
		return ids;
	}

	void Subscribe(uint32 what, int32 reportID, const BMessenger& user)
	{
		BMessage request(what);
		request.AddInt32("report_id", reportID);
		request.AddMessenger("user", user);
		Post(request);
	}

	// A stored report written as the server writes one, before it starts.
	int32 StoreReport(int32 reportID, int32 jobID, int32 date)
	{
		BMessage report;
		report.AddInt32("report_id", reportID);
		report.AddInt32("job_id", jobID);
		report.AddString("title", "stored");
		report.AddInt32("job_type", kJobFullBackup);
		report.AddTime("date", date);
		ReportListEntry entry;
		EXPECT_EQ(ReportFile::Write(std::string(kServerFolder) + "/report", report, &entry), B_OK);
		return reportID;
	}

	std::string NativeReport(int32 reportID) const
	{
		return fFolder / ("server/report/" + ReportFile::Name(reportID));
	}

	bool Exists(int32 reportID) const
	{
		return ReadWholeFile(NativeReport(reportID)).has_value();
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
	MessageRecorder fClients{"clients"};
	MessageRecorder fOther{"other viewer"};
	ViewerLooper* fViewer = nullptr;
	BMessenger fViewerMessenger;
	MVReportServer* fServer = nullptr;
	BMessenger fMessenger;
};

std::vector<int32> Sorted(std::vector<int32> ids)
{
	std::sort(ids.begin(), ids.end());
	return ids;
}

} // namespace

// A running job's report: created on request, told to the clients, lines
// passed on live to its viewers, progress lines and lines of unknown reports
// ignored, and stored with its attributes when the job ends.
TEST_F(ReportServerTest, KeepsLinesAndStoresTheReport)
{
	StartServer();
	int32 reportID = NewReport(42, "Daily", 5000);
	ASSERT_NE(reportID, 0);
	std::optional<BMessage> inserted = fClients.Inbox().Await(MVReportServer::kMsgReportInserted,
		kPatience);
	ASSERT_TRUE(inserted.has_value());
	EXPECT_EQ(inserted->GetInt32("report_id", 0), reportID);
	EXPECT_EQ(inserted->GetInt32("job_id", 0), 42);
	EXPECT_STREQ(inserted->GetString("title", ""), "Daily");

	Subscribe(kMsgReportOpen, reportID, fViewerMessenger);
	std::optional<BMessage> empty = fViewer->fInbox.Await(ReportDelivery::kMsgReport, kPatience);
	ASSERT_TRUE(empty.has_value());
	EXPECT_FALSE(empty->HasData("linetype", B_INT32_TYPE));

	Post(Line(reportID, 1, { "heading" }));
	Post(Line(reportID, 100, { "progress" }));
	Post(Line(reportID + 1, 3, { "unknown report" }));
	Post(Line(reportID, 3, { "error" }));
	Finish(reportID);
	Post(Line(reportID, 2, { "too late" }));
	EXPECT_EQ(ListedIDs(), std::vector<int32>{ reportID });

	ASSERT_TRUE(AwaitCondition(
		[this] { return fViewer->fInbox.Count(kMsgReportLine) == 2; }, kPatience));
	EXPECT_EQ(fViewer->fInbox.Count(kMsgReportLine), 2);

	BMessage stored;
	ASSERT_EQ(ReportFile::ReadReport(std::string(kServerFolder) + "/report/"
		+ ReportFile::Name(reportID), &stored), B_OK);
	EXPECT_EQ(stored.GetInt32("linetype", 0, 0), kLineInfo);
	EXPECT_EQ(stored.GetInt32("linetype", 1, 0), kLineError);
	int32 lines = 0;
	ASSERT_EQ(stored.GetInfo("reportline", nullptr, &lines), B_OK);
	EXPECT_EQ(lines, 2);
	const void* data;
	ssize_t size;
	ASSERT_EQ(stored.FindData("reportline", MVReportLine::kTypeCode, 1, &data, &size), B_OK);
	MVReportLine line;
	ASSERT_EQ(line.Unflatten(data, size_t(size)), B_OK);
	EXPECT_EQ(line.Arguments(), MVTextArguments{ "error" });

	ReportListEntry entry;
	ASSERT_EQ(ReportFile::ReadEntry(std::string(kServerFolder) + "/report/"
		+ ReportFile::Name(reportID), &entry), B_OK);
	EXPECT_EQ(entry.reportID, reportID);
	EXPECT_EQ(entry.jobID, 42);
	EXPECT_EQ(entry.title, "Daily");
	EXPECT_EQ(entry.date, 5000);
	EXPECT_EQ(entry.jobType, 1);

	// A stored report is delivered from its file.
	fViewer->fInbox.Clear();
	Subscribe(kMsgReportOpen, reportID, fViewerMessenger);
	std::optional<BMessage> whole = fViewer->fInbox.Await(ReportDelivery::kMsgReport, kPatience);
	ASSERT_TRUE(whole.has_value());
	EXPECT_EQ(whole->GetInt32("linetype", 1, 0), kLineError);
}

// A report that cannot be written is logged, stays listed and deliverable
// from memory, and is written at the next pulse that can; one still unwritten
// when the server quits is logged as lost.
TEST_F(ReportServerTest, KeepsReportsThatCannotBeWritten)
{
	MVServerLog log(kServerFolder, MVServerLog::kDefaultMaxSize, nullptr);
	StartServer(&log);
	// Today's, which the pruning rule keeps.
	int32 kept = NewReport(5, "kept", int32(time(nullptr)));
	int32 lost = NewReport(6, "lost", int32(time(nullptr)));
	Post(Line(kept, kLineError, { "a line" }));
	(void)ListedIDs();

	// A file where the folder was: every write fails.
	std::filesystem::rename(fFolder / "server/report", fFolder / "server/away");
	fFolder.WriteFile("server/report", "");
	Finish(kept);
	EXPECT_EQ(ListedIDs(), std::vector<int32>{ kept });
	Subscribe(kMsgReportOpen, kept, fViewerMessenger);
	std::optional<BMessage> delivered = fViewer->fInbox.Await(ReportDelivery::kMsgReport,
		kPatience);
	ASSERT_TRUE(delivered.has_value());
	EXPECT_EQ(delivered->GetInt32("linetype", 0, 0), kLineError);

	std::filesystem::remove(fFolder / "server/report");
	std::filesystem::rename(fFolder / "server/away", fFolder / "server/report");
	Post(BMessage(MVReportServer::kMsgPrune));
	EXPECT_EQ(ListedIDs(), std::vector<int32>{ kept });
	BMessage stored;
	ASSERT_EQ(ReportFile::ReadReport(std::string(kServerFolder) + "/report/"
		+ ReportFile::Name(kept), &stored), B_OK);
	EXPECT_EQ(stored.GetInt32("linetype", 0, 0), kLineError);

	std::filesystem::rename(fFolder / "server/report", fFolder / "server/away");
	fFolder.WriteFile("server/report", "");
	Finish(lost);
	std::vector<int32> listed = ListedIDs();
	EXPECT_NE(std::find(listed.begin(), listed.end(), lost), listed.end());
	StopServer();
	std::string logged = ReadWholeFile(fFolder / "server/server.log").value_or("");
	for (const std::string& expected : { "The report " + ReportFile::Name(kept)
			+ " of job 5 cannot be written", "The report " + ReportFile::Name(kept)
			+ " is written now", std::string("1 report(s) could not be written and are lost") })
		EXPECT_NE(logged.find(expected), std::string::npos) << expected << " in\n" << logged;
}

// Unsubscribing a viewer that never subscribed changes nothing; a viewer
// that unsubscribes gets no more lines.
TEST_F(ReportServerTest, UnsubscribingViewers)
{
	StartServer();
	int32 reportID = NewReport(1, "job");
	Subscribe(kMsgReportOpen, reportID, fViewerMessenger);
	Subscribe(kMsgReportClose, reportID, fOther.Messenger());
	Post(Line(reportID, 1, { "first" }));
	ASSERT_TRUE(fViewer->fInbox.Await(kMsgReportLine, kPatience).has_value());

	Subscribe(kMsgReportClose, reportID, fViewerMessenger);
	Post(Line(reportID, 1, { "second" }));
	Subscribe(kMsgReportOpen, reportID, fOther.Messenger());
	Post(Line(reportID, 1, { "third" }));
	ASSERT_TRUE(fOther.Inbox().Await(kMsgReportLine, kPatience).has_value());
	(void)ListedIDs();
	EXPECT_EQ(fViewer->fInbox.Count(kMsgReportLine), 1);
	EXPECT_EQ(fOther.Inbox().Count(kMsgReportLine), 1);
}

// A large report travels through a shared memory area, which is deleted once
// the viewer has read it.
TEST_F(ReportServerTest, LargeReportThroughArea)
{
	StartServer();
	int32 reportID = NewReport(7, "big");
	const std::string text(200, 'x');
	const int32 lineCount = int32(ReportDelivery::kAreaThreshold / text.size()) + 50;
	for (int32 i = 0; i < lineCount; i++)
		Post(Line(reportID, 4, { text + std::to_string(i) }));
	Subscribe(kMsgReportOpen, reportID, fViewerMessenger);

	std::optional<BMessage> report = fViewer->fInbox.Await(ReportDelivery::kMsgReport, kPatience);
	ASSERT_TRUE(report.has_value());
	EXPECT_TRUE(report->GetBool("came_through_area"));
	EXPECT_FALSE(report->HasData("user", B_MESSENGER_TYPE));
	int32 lines = 0;
	ASSERT_EQ(report->GetInfo("reportline", nullptr, &lines), B_OK);
	EXPECT_EQ(lines, lineCount);
	EXPECT_EQ(report->GetInt32("report_id", 0), reportID);
	EXPECT_TRUE(AwaitCondition(
		[] { return find_area(ReportDelivery::kAreaName) < 0; }, kPatience));

	// A small one comes inside the message.
	int32 small = NewReport(8, "small");
	Post(Line(small, 4, { "one line" }));
	Subscribe(kMsgReportOpen, small, fViewerMessenger);
	std::optional<BMessage> inside = fViewer->fInbox.Await(ReportDelivery::kMsgReport, kPatience,
		[small](const BMessage& message) { return message.GetInt32("report_id", 0) == small; });
	ASSERT_TRUE(inside.has_value());
	EXPECT_FALSE(inside->GetBool("came_through_area"));
}

// The list is built from the folder at start; a file that cannot be read is
// left out and left alone.
TEST_F(ReportServerTest, ListLeavesOutUnreadableFiles)
{
	fFolder.MakeFolder("server/report");
	StoreReport(12345678, 1, 100);
	fFolder.WriteFile("server/report/00000042", "not a report");
	fFolder.WriteFile("server/report/notes.txt", "other file");
	StartServer();
	EXPECT_EQ(ListedIDs(), std::vector<int32>{ 12345678 });
	EXPECT_TRUE(ReadWholeFile(fFolder / "server/report/00000042").has_value());

	// Deleting by report and by job removes files and slots and tells the
	// clients; unknown ids are ignored.
	StoreReport(20000000, 2, 100);
	StoreReport(20000001, 2, 100);
	StoreReport(20000002, 3, 100);
	ASSERT_TRUE(AwaitCondition([this] { return ListedIDs().size() == 4; }, kPatience));
	BMessage remove(kMsgReportDelete);
	remove.AddInt32("report_id", 12345678);
	remove.AddInt32("report_id", 999);
	remove.AddInt32("job_id", 2);
	Post(remove);
	EXPECT_EQ(ListedIDs(), std::vector<int32>{ 20000002 });
	EXPECT_FALSE(Exists(12345678));
	EXPECT_FALSE(Exists(20000001));
	EXPECT_TRUE(Exists(20000002));
	EXPECT_TRUE(AwaitCondition([this] {
		return fClients.Inbox().Count(MVReportServer::kMsgReportRemoved) == 3;
	}, kPatience));
}

// Reports removed from or added to the folder by hand follow in the list and
// at every client.
TEST_F(ReportServerTest, FollowsTheFolder)
{
	fFolder.MakeFolder("server/report");
	StoreReport(30000000, 1, 100);
	StoreReport(30000001, 1, 100);
	StartServer();
	ASSERT_EQ(Sorted(ListedIDs()), (std::vector<int32>{ 30000000, 30000001 }));

	ASSERT_EQ(remove(NativeReport(30000000).c_str()), 0);
	std::optional<BMessage> removed = fClients.Inbox().Await(
		MVReportServer::kMsgReportRemoved, kPatience);
	ASSERT_TRUE(removed.has_value());
	EXPECT_EQ(removed->GetInt32("report_id", 0), 30000000);
	EXPECT_EQ(ListedIDs(), std::vector<int32>{ 30000001 });

	StoreReport(30000002, 1, 100);
	std::optional<BMessage> inserted = fClients.Inbox().Await(
		MVReportServer::kMsgReportInserted, kPatience);
	ASSERT_TRUE(inserted.has_value());
	EXPECT_EQ(inserted->GetInt32("report_id", 0), 30000002);
	EXPECT_EQ(Sorted(ListedIDs()), (std::vector<int32>{ 30000001, 30000002 }));
}

// Pruning by age (default 30 days) and by count, count 0 included, with the
// rule set by a client, stored in "report.prefs" and told to the clients.
TEST_F(ReportServerTest, PrunesByAgeAndCount)
{
	int32 now = int32(time(nullptr));
	fFolder.MakeFolder("server/report");
	StoreReport(40000031, 1, now - 31 * kDay);
	StoreReport(40000029, 1, now - 29 * kDay);
	StoreReport(40000010, 1, now - 10 * kDay);
	StoreReport(40000001, 1, now - 1 * kDay);
	StartServer();

	BMessage policy = Request(BMessage(kMsgReportGetPolicy));
	EXPECT_EQ(policy.what, MVReportServer::kMsgPolicy);
	EXPECT_EQ(policy.GetInt32("mode", -1), 1);
	EXPECT_EQ(policy.GetInt32("days", -1), 30);

	Post(BMessage(MVReportServer::kMsgPrune));
	EXPECT_EQ(Sorted(ListedIDs()), (std::vector<int32>{ 40000001, 40000010, 40000029 }));
	EXPECT_FALSE(Exists(40000031));

	BMessage byCount(kMsgReportSetPolicy);
	byCount.AddInt32("mode", 2);
	byCount.AddInt32("days", 30);
	byCount.AddInt32("count", 2);
	byCount.AddInt32("overwrite", 1);
	Post(byCount);
	std::optional<BMessage> told = fClients.Inbox().Await(MVReportServer::kMsgPolicy, kPatience);
	ASSERT_TRUE(told.has_value());
	EXPECT_EQ(told->GetInt32("count", -1), 2);
	Post(BMessage(MVReportServer::kMsgPrune));
	EXPECT_EQ(Sorted(ListedIDs()), (std::vector<int32>{ 40000001, 40000010 }));

	ReportPrunePolicy stored = ReportPrunePolicy::Load("/Test/server/report.prefs");
	EXPECT_EQ(stored.mode, 2);
	EXPECT_EQ(stored.count, 2);
	EXPECT_EQ(stored.overwrite, 1);

	BMessage none(kMsgReportSetPolicy);
	none.AddInt32("count", 0);
	Post(none);
	Post(BMessage(MVReportServer::kMsgPrune));
	EXPECT_TRUE(ListedIDs().empty());
	EXPECT_FALSE(Exists(40000001));

	// The rule survives a restart.
	StopServer();
	StartServer();
	EXPECT_EQ(Request(BMessage(kMsgReportGetPolicy)).GetInt32("mode", -1), 2);
}

// The rule itself: newest first in mode 2, nothing in mode 0, and limits
// that cannot be meant delete nothing.
TEST(ReportPrunePolicyTest, SelectsTheDoomed)
{
	std::vector<ReportListEntry> reports(4);
	for (int32 i = 0; i < 4; i++) {
		reports[i].reportID = i + 1;
		reports[i].date = 1000 * (i % 2 == 0 ? i + 10 : i);
	}
	ReportPrunePolicy policy;
	policy.mode = ReportPrunePolicy::kByCount;
	policy.count = 2;
	// Dates 10000, 1000, 12000, 3000: the two oldest go.
	EXPECT_EQ(Sorted(policy.Select(reports, 0)), (std::vector<int32>{ 2, 4 }));
	policy.count = 4;
	EXPECT_TRUE(policy.Select(reports, 0).empty());
	policy.count = -1;
	EXPECT_TRUE(policy.Select(reports, 0).empty());

	policy.mode = ReportPrunePolicy::kByAge;
	policy.days = 0;
	EXPECT_EQ(Sorted(policy.Select(reports, 10000)), (std::vector<int32>{ 2, 4 }));
	policy.days = -5;
	EXPECT_TRUE(policy.Select(reports, 100000).empty());
	policy.mode = ReportPrunePolicy::kNever;
	EXPECT_TRUE(policy.Select(reports, 1000000000).empty());
	policy.mode = 9;
	EXPECT_TRUE(policy.Select(reports, 1000000000).empty());
}

// Report file names: the canonical "%08lu" form only.
TEST(ReportFileTest, NamesAreCanonical)
{
	EXPECT_EQ(ReportFile::Name(42), "00000042");
	EXPECT_EQ(ReportFile::Name(-1), "4294967295");
	int32 id = 0;
	EXPECT_TRUE(ReportFile::ParseName("4294967295", &id));
	EXPECT_EQ(id, -1);
	EXPECT_TRUE(ReportFile::ParseName("00000042", &id));
	EXPECT_EQ(id, 42);
	for (const char* name : { "42", "0000042x", "000000042", "4294967296", ".00000042.ab~", "" })
		EXPECT_FALSE(ReportFile::ParseName(name, &id)) << name;
}

// The reader takes back whatever the writer writes, however large.
TEST(ReportFileTest, ReadsBackLargeReports)
{
	TestFolder folder;
	ScopedEnv volumes("MORVANE_VOLUMES", "Test=" + folder.Path());
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	BMessage report;
	report.AddInt32("report_id", 77);
	std::string line(65 * 1024 * 1024, 'r');
	report.AddData("reportline", MVReportLine::kTypeCode, line.data(), line.size(), false);
	ReportListEntry entry;
	ASSERT_EQ(ReportFile::Write("/Test", report, &entry), B_OK);
	BMessage read;
	EXPECT_EQ(ReportFile::ReadReport("/Test/" + ReportFile::Name(77), &read), B_OK);
	const void* data = nullptr;
	ssize_t size = 0;
	ASSERT_EQ(read.FindData("reportline", MVReportLine::kTypeCode, &data, &size), B_OK);
	EXPECT_EQ(size_t(size), line.size());
	(void)VolumeTable::Reload();
}
