#include "MVJobListFile.h"

#include <cstring>
#include <set>
#include <string>

#include <storage/AtomicFileWriter.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/File.h>

#include "ServerProtocol.h"

namespace {

struct IndexField {
	const char* name;
	type_code type;
};

// The fields every slot of a stored index must have, besides "server".
constexpr IndexField kIndexFields[] = {
	{"job_id", B_INT32_TYPE},
	{"title", B_STRING_TYPE},
	{"date", B_TIME_TYPE},
	{"job_type", B_INT32_TYPE},
	{"jobstatus", B_INT32_TYPE},
	{"oldjobstatus", B_INT32_TYPE},
};

// The number of values of a field, 0 when it is missing, -1 when it holds
// another type.
int32 CountValues(const BMessage& message, const char* name, type_code type)
{
	type_code found;
	int32 count = 0;
	if (message.GetInfo(name, &found, &count) != B_OK)
		return 0;
	return found == type ? count : -1;
}

bool IsStoredState(int32 state)
{
	return state == kJobWaiting || state == kJobPaused;
}

// Rebuilds the table from what a file held; false when the index does not
// describe the records.
bool Rebuild(const BMessage& container, const BMessage& stored, JobTable* jobs)
{
	int32 count = CountValues(container, "joblist", B_MESSAGE_TYPE);
	if (count < 0)
		return false;
	for (const IndexField& field : kIndexFields) {
		if (CountValues(stored, field.name, field.type) != count)
			return false;
	}

	std::set<int32> seen;
	for (int32 slot = 0; slot < count; slot++) {
		int32 jobId = stored.GetInt32("job_id", slot, 0);
		if (jobId == 0 || !seen.insert(jobId).second)
			return false;
		auto record = std::make_unique<BMessage>();
		const char* title;
		int32 date;
		if (container.FindMessage("joblist", slot, record.get()) != B_OK
			|| stored.FindString("title", slot, &title) != B_OK
			|| stored.FindTime("date", slot, &date) != B_OK) {
			return false;
		}
		int32 state = stored.GetInt32("jobstatus", slot, 0);
		int32 oldState = stored.GetInt32("oldjobstatus", slot, 0);
		// A job that was running or edited, or whose state makes no sense,
		// is held until the user lets it go on.
		if (state < kJobWaiting || state > kJobEdit || state == kJobRunning
			|| state == kJobEdit) {
			state = kJobPaused;
			oldState = kJobWaiting;
		}
		// The subscribers and the worker belonged to the process that wrote
		// the file.
		record->RemoveName("user");
		record->SetInt32("job_id", jobId);

		QueuedJob job;
		job.id = jobId;
		job.title = title;
		job.date = date;
		job.type = stored.GetInt32("job_type", slot, 0);
		job.state = state;
		job.oldState = oldState;
		job.record = std::move(record);
		jobs->push_back(std::move(job));
	}
	return true;
}

std::string FilePath(const char* folder)
{
	return std::string(folder) + "/" + MVJobListFile::kFileName;
}

}	// namespace

int32 MVJobListFile::Write(BDataIO* sink, const JobTable& jobs)
{
	char header[kHeaderSize] = {};
	memcpy(header, kMagic, sizeof(kMagic));
	if (sink->WriteExactly(header, sizeof(header)) != B_OK)
		return kHeaderNotWritten;

	BMessage container;
	for (const QueuedJob& job : jobs)
		container.AddMessage("joblist", job.record.get());

	BMessage stored = MakeJobIndex(jobs);
	int32 state;
	for (int32 slot = 0; stored.FindInt32("jobstatus", slot, &state) == B_OK; slot++) {
		if (IsStoredState(state))
			continue;
		int32 oldState = stored.GetInt32("oldjobstatus", slot, 0);
		stored.ReplaceInt32("jobstatus", slot, oldState);
		stored.ReplaceInt32("oldjobstatus", slot, state);
	}

	if (container.Flatten(sink) != B_OK || stored.Flatten(sink) != B_OK)
		return kContentsNotWritten;
	return kSaved;
}

int32 MVJobListFile::Read(BDataIO* source, JobTable* jobs)
{
	jobs->clear();

	char header[kHeaderSize];
	if (source->ReadExactly(header, sizeof(header)) != B_OK)
		return kHeaderShort;
	if (memcmp(header, kMagic, sizeof(kMagic)) != 0)
		return kWrongMagic;

	BMessage container;
	BMessage stored;
	if (container.Unflatten(source) != B_OK || stored.Unflatten(source) != B_OK)
		return kContentsUnreadable;
	JobTable table;
	if (!Rebuild(container, stored, &table))
		return kContentsUnreadable;
	*jobs = std::move(table);
	return kRead;
}

int32 MVJobListFile::Save(const char* folder, const JobTable& jobs)
{
	if (folder == nullptr || folder[0] == '\0')
		return kFolderNotUsable;
	BDirectory directory(folder);
	if (directory.InitCheck() != B_OK)
		return kFolderNotUsable;

	AtomicFileWriter writer;
	if (writer.SetTo(FilePath(folder).c_str()) != B_OK)
		return kFileNotCreated;
	int32 result = Write(writer.File(), jobs);
	if (result != kSaved) {
		writer.Discard();
		return result;
	}
	if (writer.Commit() != B_OK)
		return kContentsNotWritten;
	return kSaved;
}

int32 MVJobListFile::Load(const char* folder, JobTable* jobs)
{
	jobs->clear();
	if (folder == nullptr || folder[0] == '\0')
		return kNoFile;
	BFile file(FilePath(folder).c_str(), B_READ_ONLY);
	if (file.InitCheck() != B_OK)
		return kNoFile;
	return Read(&file, jobs);
}

status_t MVJobListFile::KeepDamaged(const char* folder)
{
	BEntry entry(FilePath(folder).c_str());
	status_t status = entry.InitCheck();
	if (status != B_OK)
		return status;
	std::string damagedName = std::string(kFileName) + kDamagedSuffix;
	return entry.Rename(damagedName.c_str(), true);
}
