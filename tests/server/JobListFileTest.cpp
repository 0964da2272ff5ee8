// The job list file: what a save writes and a load gives back, the states
// of jobs that were running or edited, and files that are cut short, of
// another kind, corrupt, or written to a disk that fails.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include <storage/VolumeTable.h>

#include "MVJobListFile.h"
#include "ServerProtocol.h"
#include "TestFolder.h"

namespace {

// Takes bytes until a limit, then fails every write.
class FailingSink : public BDataIO {
public:
	explicit FailingSink(size_t limit) : fLimit(limit) {}

	ssize_t Read(void*, size_t) override { return B_NOT_ALLOWED; }

	ssize_t Write(const void* buffer, size_t size) override
	{
		if (fData.size() >= fLimit)
			return B_IO_ERROR;
		size_t taken = std::min(size, fLimit - fData.size());
		fData.append(static_cast<const char*>(buffer), taken);
		return ssize_t(taken);
	}

	const std::string& Data() const { return fData; }

private:
	size_t fLimit;
	std::string fData;
};

// The folder as the only volume, "/JobList", for as long as it lives.
class ScopedVolume {
public:
	explicit ScopedVolume(const TestFolder& folder)
		:
		fVolumes(std::make_unique<ScopedEnv>("MORVANE_VOLUMES", "JobList=" + folder.Path()))
	{
		EXPECT_EQ(VolumeTable::Reload(), B_OK);
	}

	~ScopedVolume()
	{
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

private:
	std::unique_ptr<ScopedEnv> fVolumes;
};

class JobListFileTest : public testing::Test {
protected:
	void AddJob(int32 jobId, const char* title, int32 date, int32 state, int32 oldState)
	{
		auto record = std::make_unique<BMessage>('MVJA');
		record->AddInt32("job_id", jobId);
		record->AddInt32("job_type", kJobFullBackup);
		record->AddInt32("client_id", 77);
		record->AddMessenger("user", BMessenger());
		BMessage startInfo;
		startInfo.AddString("title", title);
		record->AddMessage("start_info", &startInfo);
		BMessage schedule;
		schedule.AddTime("TIME", date);
		schedule.AddInt32("Days", 1);
		record->AddMessage("scheduler", &schedule);
		fJobs.push_back(std::move(record));

		fIndex.AddInt32("job_id", jobId);
		fIndex.AddString("title", title);
		fIndex.AddTime("date", date);
		fIndex.AddInt32("job_type", kJobFullBackup);
		fIndex.AddInt32("jobstatus", state);
		fIndex.AddInt32("oldjobstatus", oldState);
		fIndex.AddMessenger("server", BMessenger());
	}

	std::string Written()
	{
		FailingSink sink(SIZE_MAX);
		EXPECT_EQ(MVJobListFile::Write(&sink, fJobs, fIndex), MVJobListFile::kSaved);
		return sink.Data();
	}

	static int32 ReadBytes(const std::string& bytes, MVJobListFile::JobTable* jobs,
		BMessage* index)
	{
		BMemoryIO source(bytes.data(), bytes.size());
		return MVJobListFile::Read(&source, jobs, index);
	}

	MVJobListFile::JobTable fJobs;
	BMessage fIndex;
};

}	// namespace

// The header is the kind and zeros; the records and the index come back in
// order, a running job as Waiting, an edited one in the state before Edit,
// without the subscribers or the worker of the writing process.
TEST_F(JobListFileTest, RoundTripRestoresStatesBeforeRunningAndEdit)
{
	AddJob(11, "waiting", 1000, kJobWaiting, 0);
	AddJob(12, "running", 2000, kJobRunning, kJobWaiting);
	AddJob(13, "edited while paused", 3000, kJobEdit, kJobPaused);
	AddJob(14, "edited while waiting", 4000, kJobEdit, kJobWaiting);
	AddJob(15, "paused", 5000, kJobPaused, kJobRunning);
	std::string bytes = Written();
	ASSERT_GT(bytes.size(), MVJobListFile::kHeaderSize);
	EXPECT_EQ(bytes.substr(0, 8), "MVJOBLST");
	EXPECT_EQ(bytes.substr(8, 92), std::string(92, '\0'));

	MVJobListFile::JobTable jobs;
	BMessage index;
	ASSERT_EQ(ReadBytes(bytes, &jobs, &index), MVJobListFile::kRead);
	ASSERT_EQ(jobs.size(), 5u);
	const int32 states[][2] = {{kJobWaiting, 0}, {kJobWaiting, kJobRunning},
		{kJobPaused, kJobEdit}, {kJobWaiting, kJobEdit}, {kJobPaused, kJobRunning}};
	for (int32 slot = 0; slot < 5; slot++) {
		SCOPED_TRACE(slot);
		EXPECT_EQ(index.GetInt32("job_id", slot, 0), 11 + slot);
		EXPECT_EQ(jobs[slot]->GetInt32("job_id", 0), 11 + slot);
		EXPECT_EQ(jobs[slot]->what, uint32('MVJA'));
		EXPECT_EQ(index.GetInt32("jobstatus", slot, 0), states[slot][0]);
		EXPECT_EQ(index.GetInt32("oldjobstatus", slot, -1), states[slot][1]);
		int32 date = 0;
		EXPECT_EQ(index.FindTime("date", slot, &date), B_OK);
		EXPECT_EQ(date, 1000 * (slot + 1));
		EXPECT_FALSE(jobs[slot]->HasData("user", B_MESSENGER_TYPE));
		EXPECT_EQ(jobs[slot]->GetInt32("client_id", 0), 77);
		BMessenger worker;
		EXPECT_EQ(index.FindMessenger("server", slot, &worker), B_OK);
		EXPECT_FALSE(worker.IsValid());
	}
	EXPECT_STREQ(index.GetString("title", 2, ""), "edited while paused");

	// The index the server keeps is not changed by saving it.
	EXPECT_EQ(fIndex.GetInt32("jobstatus", 1, 0), kJobRunning);

	// An empty queue is a valid list too.
	fJobs.clear();
	fIndex.MakeEmpty();
	ASSERT_EQ(ReadBytes(Written(), &jobs, &index), MVJobListFile::kRead);
	EXPECT_TRUE(jobs.empty());
}

// A file cut at any byte, or of another kind, gives an empty queue and the
// reason; it never gives a part of the queue.
TEST_F(JobListFileTest, TruncatedAndForeignFilesGiveAnEmptyQueue)
{
	AddJob(21, "first", 1000, kJobWaiting, 0);
	AddJob(22, "second", 2000, kJobPaused, kJobWaiting);
	std::string bytes = Written();

	for (size_t length = 0; length < bytes.size(); length++) {
		MVJobListFile::JobTable jobs;
		BMessage index;
		int32 result = ReadBytes(bytes.substr(0, length), &jobs, &index);
		int32 expected = length < MVJobListFile::kHeaderSize ? MVJobListFile::kHeaderShort
			: MVJobListFile::kContentsUnreadable;
		ASSERT_EQ(result, expected) << "cut at " << length;
		ASSERT_TRUE(jobs.empty());
		ASSERT_TRUE(index.IsEmpty());
	}

	std::string foreign = bytes;
	memcpy(foreign.data(), "MVREPORT", 8);
	MVJobListFile::JobTable jobs;
	BMessage index;
	EXPECT_EQ(ReadBytes(foreign, &jobs, &index), MVJobListFile::kWrongMagic);
	EXPECT_TRUE(jobs.empty());
}

// Every single corrupted byte is either harmless or refused as a whole:
// what is read always has one index slot per record.
TEST_F(JobListFileTest, CorruptBytesNeverGiveAnInconsistentQueue)
{
	AddJob(31, "first", 1000, kJobWaiting, 0);
	AddJob(32, "second", 2000, kJobRunning, kJobWaiting);
	std::string bytes = Written();
	for (size_t at = MVJobListFile::kHeaderSize; at < bytes.size(); at++) {
		for (char flip : {char(0x01), char(0x80), char(0xff)}) {
			std::string corrupt = bytes;
			corrupt[at] = char(corrupt[at] ^ flip);
			MVJobListFile::JobTable jobs;
			BMessage index;
			int32 result = ReadBytes(corrupt, &jobs, &index);
			if (result != MVJobListFile::kRead) {
				ASSERT_EQ(result, MVJobListFile::kContentsUnreadable);
				ASSERT_TRUE(jobs.empty());
				continue;
			}
			type_code type;
			int32 count = 0;
			for (const char* name : {"job_id", "title", "date", "job_type", "jobstatus",
					"oldjobstatus", "server"}) {
				ASSERT_EQ(index.GetInfo(name, &type, &count), B_OK) << name << " at " << at;
				ASSERT_EQ(size_t(count), jobs.size()) << name << " at " << at;
			}
			for (int32 slot = 0; slot < count; slot++) {
				int32 state = index.GetInt32("jobstatus", slot, 0);
				ASSERT_TRUE(state == kJobWaiting || state == kJobPaused) << "at " << at;
			}
		}
	}
}

// An index that does not describe the records is refused: counts that
// differ, fields of another type, a job id of 0 or twice.
TEST_F(JobListFileTest, IndexMustMatchTheRecords)
{
	auto check = [this](const char* what, auto change) {
		SCOPED_TRACE(what);
		fJobs.clear();
		fIndex.MakeEmpty();
		AddJob(41, "first", 1000, kJobWaiting, 0);
		AddJob(42, "second", 2000, kJobWaiting, 0);
		change();
		MVJobListFile::JobTable jobs;
		BMessage index;
		EXPECT_EQ(ReadBytes(Written(), &jobs, &index), MVJobListFile::kContentsUnreadable);
		EXPECT_TRUE(jobs.empty());
	};
	check("a slot too few", [this] { fIndex.RemoveData("title", 1); });
	check("a record too many", [this] { fJobs.push_back(std::make_unique<BMessage>()); });
	check("date as int32", [this] {
		fIndex.RemoveName("date");
		fIndex.AddInt32("date", 1000);
		fIndex.AddInt32("date", 2000);
	});
	check("job id 0", [this] { fIndex.ReplaceInt32("job_id", 1, 0); });
	check("job id twice", [this] { fIndex.ReplaceInt32("job_id", 1, 41); });

	// A state out of range is held as Paused.
	fJobs.clear();
	fIndex.MakeEmpty();
	AddJob(43, "odd", 1000, 99, 0);
	MVJobListFile::JobTable jobs;
	BMessage index;
	ASSERT_EQ(ReadBytes(Written(), &jobs, &index), MVJobListFile::kRead);
	EXPECT_EQ(index.GetInt32("jobstatus", 0, 0), kJobPaused);
}

// A disk that fails while writing: the result says where, and a save that
// fails keeps the old file whole.
TEST_F(JobListFileTest, FailedWritesAreReportedAndKeepTheOldFile)
{
	AddJob(51, "first", 1000, kJobWaiting, 0);
	std::string bytes = Written();
	for (size_t limit : {size_t(0), size_t(7), size_t(99)}) {
		FailingSink sink(limit);
		EXPECT_EQ(MVJobListFile::Write(&sink, fJobs, fIndex), MVJobListFile::kHeaderNotWritten);
	}
	for (size_t limit : {size_t(100), size_t(101), bytes.size() - 1}) {
		FailingSink sink(limit);
		EXPECT_EQ(MVJobListFile::Write(&sink, fJobs, fIndex),
			MVJobListFile::kContentsNotWritten);
	}

	TestFolder folder;
	ScopedVolume volume(folder);
	EXPECT_EQ(MVJobListFile::Save("/JobList/missing", fJobs, fIndex),
		MVJobListFile::kFolderNotUsable);
	EXPECT_EQ(MVJobListFile::Save("", fJobs, fIndex), MVJobListFile::kFolderNotUsable);
	ASSERT_EQ(MVJobListFile::Save("/JobList", fJobs, fIndex), MVJobListFile::kSaved);
	EXPECT_EQ(ReadWholeFile(folder / MVJobListFile::kFileName), bytes);

	MVJobListFile::JobTable jobs;
	BMessage index;
	ASSERT_EQ(MVJobListFile::Load("/JobList", &jobs, &index), MVJobListFile::kRead);
	ASSERT_EQ(jobs.size(), 1u);
	EXPECT_EQ(MVJobListFile::Load("/JobList/missing", &jobs, &index), MVJobListFile::kNoFile);

	// A folder where the file should be: nothing is written there.
	folder.MakeFolder(std::string("blocked/") + MVJobListFile::kFileName);
	EXPECT_EQ(MVJobListFile::Save("/JobList/blocked", fJobs, fIndex),
		MVJobListFile::kFileNotCreated);
	EXPECT_EQ(MVJobListFile::Load("/JobList/blocked", &jobs, &index), MVJobListFile::kNoFile);

	EXPECT_EQ(MVJobListFile::KeepDamaged("/JobList"), B_OK);
	EXPECT_FALSE(ReadWholeFile(folder / MVJobListFile::kFileName).has_value());
	EXPECT_EQ(ReadWholeFile(folder / (std::string(MVJobListFile::kFileName) + ".damaged")),
		bytes);
	EXPECT_EQ(MVJobListFile::Load("/JobList", &jobs, &index), MVJobListFile::kNoFile);
}
