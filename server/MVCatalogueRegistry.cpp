#include "MVCatalogueRegistry.h"

#include <cstring>

#include <interface/Alert.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/Node.h>
#include <storage/NodeMonitor.h>
#include <storage/VolumeTable.h>

#include <storage/AtomicFileWriter.h>

#include "AddOnLoader.h"
#include "BackupHeader.h"
#include "CatalogueBrowser.h"
#include "CatalogueFile.h"
#include "CatalogueFormat.h"
#include "CatalogueList.h"
#include "MVClientRegistry.h"
#include "MVServerLog.h"
#include "MVVolumeOrg.h"
#include "ServerProtocol.h"
#include "VolumeArchive.h"

namespace {

// A worker holds a catalogue file's lock only while it writes the file.
constexpr bigtime_t kLockRetryInterval = 50000;
// A lock held longer than this is not a writer at work; the attributes are
// then read as they are, so that no file can stall the server.
constexpr int32 kMaxLockRetries = 200;
// Pulses a file that arrived without attributes waits for them before it
// is listed as it is, as at a start.
constexpr int32 kArrivalPulses = 12;
// How long the report server may take to tell its deletion rule.
constexpr bigtime_t kReportServerTimeout = 5000000;
// A destination that keeps reporting backups is not believed for ever.
constexpr int32 kMaxScannedBackups = 100000;
constexpr const char* kAllBackups = "*";

}	// namespace

MVCatalogueRegistry::MVCatalogueRegistry(const std::string& programFolder,
	MVClientRegistry& clients, MVServerLog& log)
	:
	fProgramFolder(programFolder),
	fClients(clients),
	fLog(log),
	fList(kMsgLogData)
{
	fOpenName[0] = '\0';
}

MVCatalogueRegistry::~MVCatalogueRegistry()
{
	// Fails harmlessly when nothing was watched.
	if (fWatcher.IsValid())
		(void)stop_watching(fWatcher);
}

void MVCatalogueRegistry::Start(const BMessenger& watcher)
{
	_CreateFolder();
	if (!fFolder.empty()) {
		int32 removed = AtomicFileWriter::RemoveStaleTemporaries(fFolder.c_str());
		if (removed > 0)
			fLog.Log("%d unfinished catalogue file(s) of an earlier run were removed.", removed);
	}
	_LoadList();
	_Watch(watcher);
}

void MVCatalogueRegistry::_CreateFolder()
{
	if (fProgramFolder.empty()) {
		fLog.Log("The folder of the program is unknown; no catalogues are kept.");
		return;
	}
	std::string folder = fProgramFolder + "/" + kCatalogueFolderName;
	status_t status = create_directory(folder.c_str(), 0777);
	if (status != B_OK) {
		fLog.Log("The catalogue folder %s cannot be created: %s", folder.c_str(),
			strerror_status(status));
		return;
	}
	fFolder = folder;
}

void MVCatalogueRegistry::_LoadList()
{
	if (fFolder.empty())
		return;
	BDirectory folder(fFolder.c_str());
	BEntry entry;
	while (folder.GetNextEntry(&entry) == B_OK) {
		if (CatalogueList::IsFileName(entry.Name()))
			LogAddToList(entry);
	}
}

void MVCatalogueRegistry::_Watch(const BMessenger& watcher)
{
	if (fFolder.empty())
		return;
	BDirectory folder(fFolder.c_str());
	node_ref node;
	status_t status = folder.GetNodeRef(&node);
	if (status == B_OK)
		status = watch_node(&node, B_WATCH_DIRECTORY, watcher);
	if (status != B_OK) {
		fLog.Log("The catalogue folder %s cannot be watched: %s", fFolder.c_str(),
			strerror_status(status));
		return;
	}
	fFolderNode = node;
	fWatcher = watcher;
}

std::string MVCatalogueRegistry::_CataloguePath(const char* name) const
{
	return fFolder + "/" + name;
}

// #pragma mark - the list

bool MVCatalogueRegistry::LogAddToList(const BEntry& entry)
{
	BNode node(&entry);
	node_ref nodeRef;
	if (node.InitCheck() != B_OK || node.GetNodeRef(&nodeRef) != B_OK)
		return false;
	const char* name = entry.Name();
	if (name == nullptr)
		return false;

	int32 listed = CatalogueList::FindName(fList, name);
	if (listed >= 0) {
		int64 listedNode = 0;
		if (fList.FindInt64("node", listed, &listedNode) == B_OK
			&& listedNode == int64(nodeRef.node)) {
			return false;
		}
		// Another file took the name: the old catalogue is gone.
		LogRemListEntry(listed);
	}

	int32 retries = 0;
	status_t lock;
	while ((lock = node.Lock()) == B_BUSY && retries++ < kMaxLockRetries)
		(void)snooze(kLockRetryInterval);
	if (lock == B_BUSY)
		fLog.Log("The catalogue file %s stays locked; its attributes are read anyway.", name);

	CatalogueSlot slot = CatalogueList::ReadSlot(&node, name, int64(nodeRef.node));
	if (lock == B_OK)
		(void)node.Unlock();
	status_t status = CatalogueList::Append(&fList, slot);
	if (status != B_OK) {
		fLog.Log("The catalogue %s cannot be listed: %s", name, strerror_status(status));
		return false;
	}
	return true;
}

void MVCatalogueRegistry::LogAddListEntry(const BEntry& entry)
{
	if (LogAddToList(entry))
		LogInserted(CatalogueList::CountSlots(fList) - 1);
}

void MVCatalogueRegistry::LogInserted(int32 slot)
{
	BMessage notice(kMsgLogInserted);
	if (CatalogueList::AddNotice(fList, slot, &notice) == B_OK)
		fClients.PostClients(&notice);
}

void MVCatalogueRegistry::LogRemListEntry(int32 slot)
{
	const char* name;
	if (fList.FindString("name", slot, &name) != B_OK)
		return;
	BMessage notice(kMsgLogRemoved);
	notice.AddString("name", name);
	// A catalogue that is gone must not be browsed from memory.
	if (strcmp(name, fOpenName) == 0)
		_CloseCatalogue();
	fClients.PostClients(&notice);
	(void)CatalogueList::Remove(&fList, slot);
}

void MVCatalogueRegistry::AddFinishedBackups(const BMessage& finished)
{
	if (fFolder.empty())
		return;
	const char* name;
	for (int32 i = 0; finished.FindString("backup_id", i, &name) == B_OK; i++) {
		if (!CatalogueList::IsFileName(name)) {
			fLog.Log("Job %d named no catalogue file (\"%s\"); it was ignored.",
				finished.GetInt32("job_id", 0), name);
			continue;
		}
		BEntry entry(_CataloguePath(name).c_str());
		LogAddListEntry(entry);
	}
}

// #pragma mark - following the folder

void MVCatalogueRegistry::LogUpdateList(BMessage* message)
{
	// Only the node monitor of this process speaks for the folder.
	if (message->IsSourceRemote() || fFolder.empty())
		return;
	switch (message->GetInt32("opcode", 0)) {
		case B_ENTRY_REMOVED:
			_CatalogueRemoved(message);
			break;
		case B_ENTRY_MOVED:
			_CatalogueMoved(message);
			break;
		case B_ENTRY_CREATED:
			_CatalogueArrived(message);
			break;
		default:
			break;
	}
}

// A file made in the folder or moved in from elsewhere. One that carries its
// attributes (a catalogue moved in) is listed at once; one still being
// written (a copy) waits for them.
void MVCatalogueRegistry::_CatalogueArrived(BMessage* message)
{
	const char* name = message->GetString("name", nullptr);
	if (!_IsCatalogueFolder(message->GetInt64("directory", 0)) || !CatalogueList::IsFileName(name))
		return;
	fArrived[name] = 0;
	ListArrivedCatalogues();
}

void MVCatalogueRegistry::ListArrivedCatalogues()
{
	for (auto it = fArrived.begin(); it != fArrived.end();) {
		std::string path = _CataloguePath(it->first.c_str());
		BEntry entry(path.c_str());
		CatalogueAttributes attributes;
		bool complete = CatalogueFile::ReadAttributes(path.c_str(), &attributes) == B_OK
			&& attributes.version != 0;
		if (!entry.Exists()) {
			it = fArrived.erase(it);
		} else if (complete || ++it->second > kArrivalPulses) {
			LogAddListEntry(entry);
			it = fArrived.erase(it);
		} else {
			++it;
		}
	}
}

bool MVCatalogueRegistry::_IsCatalogueFolder(int64 directory) const
{
	return fFolderNode.node != 0 && directory == int64(fFolderNode.node);
}

void MVCatalogueRegistry::_CatalogueRemoved(BMessage* message)
{
	int64 node = message->GetInt64("node", 0);
	int32 slot = node != 0 ? CatalogueList::FindNode(fList, node) : -1;
	// The monitor may not know the inode of an entry that went quickly;
	// the name then tells, once the file is really gone.
	const char* name = message->GetString("name", nullptr);
	if (slot < 0 && CatalogueList::IsFileName(name)
		&& !BEntry(_CataloguePath(name).c_str()).Exists()) {
		slot = CatalogueList::FindName(fList, name);
	}
	_Forget(slot);
}

// The catalogue file of the slot is gone: its slot and, as the policy says,
// its job's reports go too.
void MVCatalogueRegistry::_Forget(int32 slot)
{
	if (slot < 0)
		return;
	RemoveReport(fList.GetInt32("job_id", slot, 0));
	LogRemListEntry(slot);
}

void MVCatalogueRegistry::_CatalogueMoved(BMessage* message)
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
		int32 slot = CatalogueList::FindName(fList, fromName);
		if (slot >= 0)
			LogRemListEntry(slot);
	} else if (fromName == nullptr) {
		int32 slot = CatalogueList::FindName(fList, name);
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

void MVCatalogueRegistry::RemoveReport(int32 jobId)
{
	// A catalogue without a job id belongs to no job's reports.
	if (jobId == 0 || !fReportServer.IsValid())
		return;
	BMessage request(kMsgReportGetPolicy);
	BMessage policy;
	if (fReportServer.SendMessage(&request, &policy, kReportServerTimeout,
			kReportServerTimeout) != B_OK) {
		fLog.Log("The report server did not tell its rule; the reports of job %d stay.", jobId);
		return;
	}
	if (policy.GetInt32("overwrite", 0) == 0)
		return;
	BMessage remove(kMsgReportDelete);
	remove.AddInt32("job_id", jobId);
	(void)fReportServer.SendMessage(&remove);
}

// #pragma mark - browsing

void MVCatalogueRegistry::LogReadDir(const char* path, BMessage* reply, int32 startIndex,
	int32 mode)
{
	if (path == nullptr)
		return;
	if (strcmp(path, "/") == 0) {
		CatalogueList::CopyForClients(fList, reply);
		return;
	}
	std::string name;
	std::string entryPath;
	if (!CatalogueBrowser::SplitPath(path, &name, &entryPath) || !_OpenCatalogue(name.c_str()))
		return;
	CatalogueBrowser(fOpenCatalogue).ReadDir(fOpenName, entryPath, startIndex, mode, reply);
}

bool MVCatalogueRegistry::GetLogEntry(int32 position, BMessage* reply) const
{
	return CatalogueBrowser(fOpenCatalogue).AddEntry(position, reply);
}

// Makes the named catalogue the open one. The name comes from a client: it
// must be a file of the catalogue folder whose name fits the open name, so
// a longer name is refused rather than cut to another file's name. A file
// that cannot be read is told once per attempt and leaves nothing open, so
// that the next request tries again.
bool MVCatalogueRegistry::_OpenCatalogue(const char* name)
{
	if (!CatalogueList::IsFileName(name) || strlen(name) >= kOpenCatalogueNameSize
		|| fFolder.empty()) {
		return false;
	}
	if (strcmp(name, fOpenName) == 0)
		return true;

	_CloseCatalogue();
	status_t status = CatalogueFile::ReadContent(_CataloguePath(name).c_str(), &fOpenCatalogue);
	if (status == B_ENTRY_NOT_FOUND)
		return false;
	if (status != B_OK) {
		fLog.Log("The catalogue %s cannot be read: %s", name, strerror_status(status));
		(new BAlert("Server", "Error: Can't load LogData!", "Ok", nullptr, nullptr,
			B_WIDTH_AS_USUAL, B_STOP_ALERT))->Go();
		return false;
	}
	// The length was checked above: the name fits with its terminator.
	memcpy(fOpenName, name, strlen(name) + 1);
	return true;
}

void MVCatalogueRegistry::_CloseCatalogue()
{
	fOpenName[0] = '\0';
	fOpenCatalogue.MakeEmpty();
}

// #pragma mark - the backups behind the catalogues

void MVCatalogueRegistry::LogPWCheck(BMessage* request, BMessage* reply)
{
	const char* name;
	for (int32 i = 0; request->FindString("name", i, &name) == B_OK; i++) {
		int32 slot = CatalogueList::FindName(fList, name);
		if (slot < 0)
			continue;
		reply->AddString("name", name);
		reply->AddInt32("protected", fList.GetInt32("pw", slot, 0));

		const char* password;
		if (request->FindString("pw", i, &password) != B_OK)
			continue;
		// Listed names are entries of the folder; checked all the same
		// before a file is opened by a name a client gave.
		BMessage catalogue;
		const char* stored;
		bool right = CatalogueList::IsFileName(name)
			&& CatalogueFile::ReadContent(_CataloguePath(name).c_str(), &catalogue) == B_OK
			&& catalogue.FindString(kLogCryptKey, &stored) == B_OK
			&& strcmp(stored, password) == 0;
		reply->AddInt32("result", right ? 1 : 0);
	}
}

BMessage MVCatalogueRegistry::VolumeScan(const char* addOnName, const BMessage* settings)
{
	BMessage result;
	AddOnLoader loader;
	if (!_GetAddOnLoader(&loader))
		return result;
	MVVolumeOrg volume(nullptr, nullptr, loader);
	if (volume.SetTo(addOnName, settings) != 0)
		return result;

	mvvol_fib info = {};
	strcpy(info.name, kAllBackups);
	int32 found = volume.FindFirst(&info);
	for (int32 count = 0; found == 0 && count < kMaxScannedBackups; count++) {
		// The add-on fills the record; it is terminated here in any case.
		info.name[sizeof(info.name) - 1] = '\0';
		if (volume.Start(info.name, kVolumeModeRead) == 0) {
			VolumeArchive<MVVolumeOrg> source(&volume);
			BackupHeader header;
			if (ReadBackupHeader(&source, &header) == BackupHeaderStatus::Ok) {
				result.AddString("title", header.title);
				result.AddString("ID", header.backupId);
				result.AddTime("date", header.creationTime);
			}
			(void)volume.Stop();
		}
		found = volume.FindNext(&info);
	}
	volume.Unset();
	return result;
}

void MVCatalogueRegistry::DeleteBackups(BMessage* request)
{
	if (fFolder.empty())
		return;
	bool full = request->GetInt32("full", 0) > 0;
	const char* name;
	for (int32 i = 0; request->FindString("name", i, &name) == B_OK; i++) {
		if (!CatalogueList::IsFileName(name)) {
			fLog.Log("A request to delete the backup \"%s\" was refused.", name);
			continue;
		}
		// The catalogue names the destination; it is read before it goes,
		// and the data goes only once the catalogue is gone, so that no
		// listed backup is left without its data.
		BMessage catalogue;
		bool readable = full
			&& CatalogueFile::ReadContent(_CataloguePath(name).c_str(), &catalogue) == B_OK;
		BEntry entry(_CataloguePath(name).c_str());
		status_t status = entry.Remove();
		if (status != B_OK && status != B_ENTRY_NOT_FOUND) {
			fLog.Log("The catalogue %s cannot be removed: %s", name, strerror_status(status));
			continue;
		}
		// The list says so before the reply, so that a client that lists
		// the backups next never sees the deleted one; the folder watch
		// then finds nothing left to do.
		_Forget(CatalogueList::FindName(fList, name));
		if (readable)
			_DeleteOnDestination(name, catalogue);
		else if (full)
			fLog.Log("The catalogue %s cannot be read; its backup stays on the destination.",
				name);
	}
}

// A failing deletion on the destination is not reported to the client: the
// catalogue goes all the same, as the user asked for the backup to go.
void MVCatalogueRegistry::_DeleteOnDestination(const char* name, const BMessage& catalogue)
{
	AddOnLoader loader;
	if (!_GetAddOnLoader(&loader))
		return;
	BMessage settings;
	if (catalogue.FindMessage(kLogDestinationSettingsKey, &settings) != B_OK)
		settings.MakeEmpty();
	MVVolumeOrg volume(nullptr, nullptr, loader);
	int32 result = volume.SetTo(catalogue.GetString(kLogDestinationKey, nullptr), &settings);
	if (result == 0)
		result = volume.Delete(name);
	if (result != 0)
		fLog.Log("The backup %s could not be deleted on its destination (result %d).", name,
			result);
	volume.Unset();
}

bool MVCatalogueRegistry::_GetAddOnLoader(AddOnLoader* loader) const
{
	std::string native;
	if (fProgramFolder.empty()
		|| VolumeTable::ToNative(fProgramFolder.c_str(), &native) != B_OK) {
		return false;
	}
	*loader = AddOnLoader(native);
	return true;
}
