// The catalogue list of the server: a slot for every file of the catalogue
// folder, kept in step with the folder and told to the clients.

#include "MVServer.h"

#include <cstring>

#include <storage/Entry.h>
#include <storage/Node.h>
#include <storage/NodeMonitor.h>

#include "CatalogueList.h"
#include "ServerProtocol.h"

namespace {

// A worker holds a catalogue file's lock only while it writes the file.
constexpr bigtime_t kLockRetryInterval = 50000;
// A lock held longer than this is not a writer at work; the attributes are
// then read as they are, so that no file can stall the server.
constexpr int32 kMaxLockRetries = 200;

// How long the report server may take to tell its deletion rule.
constexpr bigtime_t kReportServerTimeout = 5000000;

}	// namespace

std::string MVServer::_CataloguePath(const char* name) const
{
	return fCatalogueDirectory + "/" + name;
}

bool MVServer::LogAddToList(const BEntry& entry)
{
	BNode node(&entry);
	node_ref nodeRef;
	if (node.InitCheck() != B_OK || node.GetNodeRef(&nodeRef) != B_OK)
		return false;
	const char* name = entry.Name();
	if (name == nullptr)
		return false;

	int32 listed = CatalogueList::FindName(*fCatalogueList, name);
	if (listed >= 0) {
		int64 listedNode = 0;
		if (fCatalogueList->FindInt64("node", listed, &listedNode) == B_OK
			&& listedNode == int64(nodeRef.node)) {
			return false;
		}
		// Another file took the name: the old catalogue is gone.
		LogRemListEntry(listed);
	}

	int32 retries = 0;
	status_t lock;
	while ((lock = node.Lock()) == B_BUSY && retries++ < kMaxLockRetries)
		snooze(kLockRetryInterval);
	if (lock == B_BUSY)
		_Log("The catalogue file %s stays locked; its attributes are read anyway.", name);

	CatalogueSlot slot = CatalogueList::ReadSlot(&node, name, int64(nodeRef.node));
	if (lock == B_OK)
		(void)node.Unlock();
	status_t status = CatalogueList::Append(fCatalogueList.get(), slot);
	if (status != B_OK) {
		_Log("The catalogue %s cannot be listed: %s", name, strerror_status(status));
		return false;
	}
	return true;
}

void MVServer::LogAddListEntry(const BEntry& entry)
{
	if (LogAddToList(entry))
		LogInserted(CatalogueList::CountSlots(*fCatalogueList) - 1);
}

void MVServer::LogInserted(int32 slot)
{
	BMessage notice(kMsgLogInserted);
	if (CatalogueList::AddNotice(*fCatalogueList, slot, &notice) == B_OK)
		PostClients(&notice);
}

void MVServer::LogRemListEntry(int32 slot)
{
	const char* name;
	if (fCatalogueList->FindString("name", slot, &name) != B_OK)
		return;
	BMessage notice(kMsgLogRemoved);
	notice.AddString("name", name);
	// A catalogue that is gone must not be browsed from memory.
	if (strcmp(name, fOpenCatalogueName) == 0) {
		fOpenCatalogueName[0] = '\0';
		fOpenCatalogue.MakeEmpty();
	}
	PostClients(&notice);
	(void)CatalogueList::Remove(fCatalogueList.get(), slot);
}

void MVServer::LogUpdateList(BMessage* message)
{
	// Only the node monitor of this process speaks for the folder.
	if (message->IsSourceRemote() || fCatalogueDirectory.empty())
		return;
	switch (message->GetInt32("opcode", 0)) {
		case B_ENTRY_REMOVED:
			_CatalogueRemoved(message);
			break;
		case B_ENTRY_MOVED:
			_CatalogueMoved(message);
			break;
		default:
			// New files are listed when their job reports its end.
			break;
	}
}

bool MVServer::_IsCatalogueFolder(int64 directory) const
{
	return fCatalogueFolderNode.node != 0 && directory == int64(fCatalogueFolderNode.node);
}

void MVServer::_CatalogueRemoved(BMessage* message)
{
	int64 node = message->GetInt64("node", 0);
	int32 slot = node != 0 ? CatalogueList::FindNode(*fCatalogueList, node) : -1;
	// The monitor may not know the inode of an entry that went quickly;
	// the name then tells, once the file is really gone.
	const char* name = message->GetString("name", nullptr);
	if (slot < 0 && CatalogueList::IsFileName(name)
		&& !BEntry(_CataloguePath(name).c_str()).Exists()) {
		slot = CatalogueList::FindName(*fCatalogueList, name);
	}
	if (slot < 0)
		return;
	RemoveReport(fCatalogueList->GetInt32("job_id", slot, 0));
	LogRemListEntry(slot);
}

void MVServer::_CatalogueMoved(BMessage* message)
{
	const char* name = message->GetString("name", nullptr);
	const char* fromName = message->GetString("from name", nullptr);
	int64 fromDirectory = message->GetInt64("from directory",
		message->GetInt64("directory", 0));
	int64 toDirectory = message->GetInt64("to directory", 0);

	// A message that names the old entry says exactly what left: a rename
	// inside the folder leaves under the old name and comes in under the
	// new one.
	if (fromName != nullptr && _IsCatalogueFolder(fromDirectory)) {
		int32 slot = CatalogueList::FindName(*fCatalogueList, fromName);
		if (slot >= 0)
			LogRemListEntry(slot);
	} else if (fromName == nullptr) {
		int32 slot = CatalogueList::FindName(*fCatalogueList, name);
		if (slot >= 0) {
			LogRemListEntry(slot);
			return;
		}
	}

	if (!_IsCatalogueFolder(toDirectory) || !CatalogueList::IsFileName(name))
		return;
	BEntry entry(_CataloguePath(name).c_str());
	LogAddListEntry(entry);
}

void MVServer::RemoveReport(int32 jobId)
{
	// A catalogue without a job id belongs to no job's reports.
	if (jobId == 0 || !fReportMessenger.IsValid())
		return;
	BMessage request(kMsgReportGetPolicy);
	BMessage policy;
	if (fReportMessenger.SendMessage(&request, &policy, kReportServerTimeout,
			kReportServerTimeout) != B_OK) {
		_Log("The report server did not tell its rule; the reports of job %d stay.", jobId);
		return;
	}
	if (policy.GetInt32("overwrite", 0) == 0)
		return;
	BMessage remove(kMsgReportDelete);
	remove.AddInt32("job_id", jobId);
	(void)fReportMessenger.SendMessage(&remove);
}
