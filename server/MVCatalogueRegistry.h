#pragma once

// MVCatalogueRegistry: the catalogues of every backup, one file each in the
// folder "logdata" beside the server program. It keeps a list with a slot
// per file (CatalogueList.h), in step with the folder by node monitoring,
// and tells the clients of every slot that comes ('MVLi') or goes ('MVLr').
// It answers browse requests ('MVLR') from the list and from one catalogue
// held open, checks passwords ('mvpc'), lists the backups a destination
// holds ('mvvs') and deletes backups with their catalogues ('MVxX').
//
// Names in requests come from other processes: a name that is not a plain
// file name opens and deletes nothing. Catalogue files are untrusted: one
// that cannot be read is told once per attempt and leaves nothing open.
//
// Threads: the application thread only; the node monitor's messages come to
// the watcher given to Start() and are handed to LogUpdateList(). The client
// registry and the log are not owned and must outlive the registry.

#include <map>
#include <string>

#include <app/Message.h>
#include <app/Messenger.h>
#include <storage/NodeRef.h>

class AddOnLoader;
class BEntry;
class MVClientRegistry;
class MVServerLog;

class MVCatalogueRegistry {
public:
	static constexpr const char* kCatalogueFolderName = "logdata";
	static constexpr size_t kOpenCatalogueNameSize = 32;

	// programFolder is the system path of the server's folder; empty: no
	// catalogues are kept.
	MVCatalogueRegistry(const std::string& programFolder, MVClientRegistry& clients,
		MVServerLog& log);
	~MVCatalogueRegistry();
	MVCatalogueRegistry(const MVCatalogueRegistry&) = delete;
	MVCatalogueRegistry& operator=(const MVCatalogueRegistry&) = delete;

	// Makes the folder, lists its files and watches it; the node monitor
	// sends its messages to watcher.
	void Start(const BMessenger& watcher);
	// The report server, whose rule says whether the reports of a job whose
	// backup went away go too.
	void SetReportServer(const BMessenger& reportServer) { fReportServer = reportServer; }

	// The system path of the folder; empty when it is not usable.
	const std::string& Folder() const { return fFolder; }
	// The list, one slot per catalogue file.
	const BMessage& List() const { return fList; }
	// The name of the catalogue held open for browsing; "" when none is.
	const char* OpenCatalogueName() const { return fOpenName; }

	// Appends a slot for the file, read from its attributes once no one
	// holds the file's lock. False when the file cannot be opened or its
	// slot is already there.
	bool LogAddToList(const BEntry& entry);
	// LogAddToList, then tells the clients of the new slot.
	void LogAddListEntry(const BEntry& entry);
	void LogInserted(int32 slot);
	// Tells the clients, then removes the slot with all its values.
	void LogRemListEntry(int32 slot);
	// A node monitor message about the folder.
	void LogUpdateList(BMessage* message);
	// Lists the catalogues a finished job names ("backup_id" of 'MVJf').
	void AddFinishedBackups(const BMessage& finished);
	// Lists the files that came into the folder unfinished (a copy in
	// progress) once they carry their attributes, or as they are after a
	// while; the server calls it at every pulse.
	void ListArrivedCatalogues();

	// Browses "/" (the list) or "/<catalogue>[/<entry path>]" with a
	// LogReadMode; an unknown or unusable path adds nothing.
	void LogReadDir(const char* path, BMessage* reply, int32 startIndex, int32 mode);
	// Appends the browse entry of a position of the open catalogue.
	bool GetLogEntry(int32 position, BMessage* reply) const;
	void LogPWCheck(BMessage* request, BMessage* reply);
	// The backups the named destination add-on finds with the settings:
	// "title", "ID" and "date" of each.
	BMessage VolumeScan(const char* addOnName, const BMessage* settings);
	// Deletes the catalogues of the request's "name"s, and with "full" > 0
	// their backups on the destination too.
	void DeleteBackups(BMessage* request);
	// Deletes the reports of a job whose backup went away, when the
	// report server's rule says so. Waits for the report server.
	void RemoveReport(int32 jobId);

private:
	void _CreateFolder();
	void _LoadList();
	void _Watch(const BMessenger& watcher);
	std::string _CataloguePath(const char* name) const;
	bool _IsCatalogueFolder(int64 directory) const;
	void _CatalogueArrived(BMessage* message);
	void _CatalogueRemoved(BMessage* message);
	void _Forget(int32 slot);
	void _CatalogueMoved(BMessage* message);
	bool _OpenCatalogue(const char* name);
	void _CloseCatalogue();
	[[nodiscard]] bool _GetAddOnLoader(AddOnLoader* loader) const;
	void _DeleteOnDestination(const char* name, const BMessage& catalogue);

	std::string fProgramFolder;
	MVClientRegistry& fClients;
	MVServerLog& fLog;
	BMessenger fReportServer;
	BMessenger fWatcher;
	std::string fFolder;
	node_ref fFolderNode;
	BMessage fList;
	// Files that arrived without their attributes yet, with the pulses they
	// have waited.
	std::map<std::string, int32> fArrived;
	char fOpenName[kOpenCatalogueNameSize];
	BMessage fOpenCatalogue;
};
