// The job list file: what a save writes and a load gives back, the states
// of jobs that were running or edited, and files that are cut short, of
// another kind, corrupt, or written to a disk that fails.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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

		QueuedJob job;
		job.id = jobId;
		job.title = title;
		job.date = date;
		job.type = kJobFullBackup;
		job.state = state;
		job.oldState = oldState;
		job.record = std::move(record);
		fJobs.push_back(std::move(job));
	}

	std::string Written()
	{
		FailingSink sink(SIZE_MAX);
		EXPECT_EQ(MVJobListFile::Write(&sink, fJobs), MVJobListFile::kSaved);
		return sink.Data();
	}

	// The file as written, with its two messages (the records' container
	// and the index) changed by change before they are put back.
	std::string Rewritten(const std::function<void(BMessage* container, BMessage* index)>& change)
	{
		std::string bytes = Written();
		BMemoryIO source(bytes.data() + MVJobListFile::kHeaderSize,
			bytes.size() - MVJobListFile::kHeaderSize);
		BMessage container;
		BMessage index;
		EXPECT_EQ(container.Unflatten(&source), B_OK);
		EXPECT_EQ(index.Unflatten(&source), B_OK);
		change(&container, &index);
		std::vector<char> first;
		std::vector<char> second;
		EXPECT_EQ(container.Flatten(&first), B_OK);
		EXPECT_EQ(index.Flatten(&second), B_OK);
		return bytes.substr(0, MVJobListFile::kHeaderSize) + std::string(first.begin(), first.end())
			+ std::string(second.begin(), second.end());
	}

	static int32 ReadBytes(const std::string& bytes, JobTable* jobs)
	{
		BMemoryIO source(bytes.data(), bytes.size());
		return MVJobListFile::Read(&source, jobs);
	}

	JobTable fJobs;
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

	JobTable jobs;
	ASSERT_EQ(ReadBytes(bytes, &jobs), MVJobListFile::kRead);
	ASSERT_EQ(jobs.size(), 5u);
	const int32 states[][2] = {{kJobWaiting, 0}, {kJobWaiting, kJobRunning},
		{kJobPaused, kJobEdit}, {kJobWaiting, kJobEdit}, {kJobPaused, kJobRunning}};
	for (int32 slot = 0; slot < 5; slot++) {
		SCOPED_TRACE(slot);
		const QueuedJob& job = jobs[size_t(slot)];
		EXPECT_EQ(job.id, 11 + slot);
		EXPECT_EQ(job.record->GetInt32("job_id", 0), 11 + slot);
		EXPECT_EQ(job.record->what, uint32('MVJA'));
		EXPECT_EQ(job.state, states[slot][0]);
		EXPECT_EQ(job.oldState, states[slot][1]);
		EXPECT_EQ(job.date, 1000 * (slot + 1));
		EXPECT_EQ(job.type, kJobFullBackup);
		EXPECT_FALSE(job.record->HasData("user", B_MESSENGER_TYPE));
		EXPECT_EQ(job.record->GetInt32("client_id", 0), 77);
		EXPECT_FALSE(job.worker.IsValid());
	}
	EXPECT_EQ(jobs[2].title, "edited while paused");

	// The queue is not changed by saving it.
	EXPECT_EQ(fJobs[1].state, kJobRunning);

	// An empty queue is a valid list too.
	fJobs.clear();
	ASSERT_EQ(ReadBytes(Written(), &jobs), MVJobListFile::kRead);
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
		JobTable jobs;
		int32 result = ReadBytes(bytes.substr(0, length), &jobs);
		int32 expected = length < MVJobListFile::kHeaderSize ? MVJobListFile::kHeaderShort
			: MVJobListFile::kContentsUnreadable;
		ASSERT_EQ(result, expected) << "cut at " << length;
		ASSERT_TRUE(jobs.empty());
	}

	std::string foreign = bytes;
	memcpy(foreign.data(), "MVREPORT", 8);
	JobTable jobs;
	EXPECT_EQ(ReadBytes(foreign, &jobs), MVJobListFile::kWrongMagic);
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
			JobTable jobs;
			int32 result = ReadBytes(corrupt, &jobs);
			if (result != MVJobListFile::kRead) {
				ASSERT_EQ(result, MVJobListFile::kContentsUnreadable);
				ASSERT_TRUE(jobs.empty());
				continue;
			}
			for (const QueuedJob& job : jobs) {
				ASSERT_NE(job.record, nullptr) << "at " << at;
				ASSERT_NE(job.id, 0) << "at " << at;
				ASSERT_TRUE(job.state == kJobWaiting || job.state == kJobPaused) << "at " << at;
			}
		}
	}
}

// An index that does not describe the records is refused: counts that
// differ, fields of another type, a job id of 0 or twice.
TEST_F(JobListFileTest, IndexMustMatchTheRecords)
{
	AddJob(41, "first", 1000, kJobWaiting, 0);
	AddJob(42, "second", 2000, kJobWaiting, 0);
	using Change = std::function<void(BMessage*, BMessage*)>;
	const std::pair<const char*, Change> changes[] = {
		{"a slot too few", [](BMessage*, BMessage* index) { index->RemoveData("title", 1); }},
		{"a record too many", [](BMessage* container, BMessage*) {
			BMessage extra;
			container->AddMessage("joblist", &extra);
		}},
		{"date as int32", [](BMessage*, BMessage* index) {
			index->RemoveName("date");
			index->AddInt32("date", 1000);
			index->AddInt32("date", 2000);
		}},
		{"job id 0", [](BMessage*, BMessage* index) { index->ReplaceInt32("job_id", 1, 0); }},
		{"job id twice", [](BMessage*, BMessage* index) { index->ReplaceInt32("job_id", 1, 41); }},
	};
	for (const auto& [what, change] : changes) {
		SCOPED_TRACE(what);
		JobTable jobs;
		EXPECT_EQ(ReadBytes(Rewritten(change), &jobs), MVJobListFile::kContentsUnreadable);
		EXPECT_TRUE(jobs.empty());
	}

	// A state out of range is held as Paused.
	JobTable jobs;
	ASSERT_EQ(ReadBytes(Rewritten([](BMessage*, BMessage* index) {
		index->ReplaceInt32("jobstatus", 0, 99);
	}), &jobs), MVJobListFile::kRead);
	EXPECT_EQ(jobs[0].state, kJobPaused);
}

// A disk that fails while writing: the result says where, and a save that
// fails keeps the old file whole.
TEST_F(JobListFileTest, FailedWritesAreReportedAndKeepTheOldFile)
{
	AddJob(51, "first", 1000, kJobWaiting, 0);
	std::string bytes = Written();
	for (size_t limit : {size_t(0), size_t(7), size_t(99)}) {
		FailingSink sink(limit);
		EXPECT_EQ(MVJobListFile::Write(&sink, fJobs), MVJobListFile::kHeaderNotWritten);
	}
	for (size_t limit : {size_t(100), size_t(101), bytes.size() - 1}) {
		FailingSink sink(limit);
		EXPECT_EQ(MVJobListFile::Write(&sink, fJobs),
			MVJobListFile::kContentsNotWritten);
	}

	TestFolder folder;
	ScopedVolume volume(folder);
	EXPECT_EQ(MVJobListFile::Save("/JobList/missing", fJobs),
		MVJobListFile::kFolderNotUsable);
	EXPECT_EQ(MVJobListFile::Save("", fJobs), MVJobListFile::kFolderNotUsable);
	ASSERT_EQ(MVJobListFile::Save("/JobList", fJobs), MVJobListFile::kSaved);
	EXPECT_EQ(ReadWholeFile(folder / MVJobListFile::kFileName), bytes);

	JobTable jobs;
	ASSERT_EQ(MVJobListFile::Load("/JobList", &jobs), MVJobListFile::kRead);
	ASSERT_EQ(jobs.size(), 1u);
	EXPECT_EQ(MVJobListFile::Load("/JobList/missing", &jobs), MVJobListFile::kNoFile);

	// A folder where the file should be: nothing is written there.
	folder.MakeFolder(std::string("blocked/") + MVJobListFile::kFileName);
	EXPECT_EQ(MVJobListFile::Save("/JobList/blocked", fJobs),
		MVJobListFile::kFileNotCreated);
	EXPECT_EQ(MVJobListFile::Load("/JobList/blocked", &jobs), MVJobListFile::kNoFile);

	EXPECT_EQ(MVJobListFile::KeepDamaged("/JobList"), B_OK);
	EXPECT_FALSE(ReadWholeFile(folder / MVJobListFile::kFileName).has_value());
	EXPECT_EQ(ReadWholeFile(folder / (std::string(MVJobListFile::kFileName) + ".damaged")),
		bytes);
	EXPECT_EQ(MVJobListFile::Load("/JobList", &jobs), MVJobListFile::kNoFile);
}
