#pragma once

// BackupDeleter: empties a destination of the backups it holds before a
// backup in overwrite mode writes to it. Backups the server has a catalogue
// of are deleted by the server ('MVxX' with "full" = 1, which removes the
// catalogue too); any other backup is deleted through a second object of
// the same destination add-on, but only when its backup header reads
// correctly, so that files that are no backups are never touched.
//
// The destination, the loader and the server must outlive the call. Runs on
// the calling worker's thread; the server is asked synchronously, so the
// caller must not be the server's own looper.

#include <functional>
#include <string>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

#include "AddOnLoader.h"
#include "JobReportLine.h"

class MVVolume;

class BackupDeleter {
public:
	using Reporter = std::function<void(const JobReportLine&)>;

	// How long the server may take to answer one request.
	static constexpr bigtime_t kServerTimeout = 60000000;

	BackupDeleter(const BMessenger& server, const AddOnLoader& loader, Reporter reporter);

	// Deletes every backup on destination except the one named keep. The
	// add-on and its settings open the second destination object. Returns
	// the number of backups deleted.
	int32 DeleteExisting(MVVolume* destination, const std::string& keep,
		const char* addOnName, const BMessage& settings);

private:
	// The server's catalogue list ('MVLR' for "/"); empty when it gives none.
	BMessage _CatalogueList();
	// The index of name in the list's "name" array, or -1.
	static int32 _IndexOf(const BMessage& list, const std::string& name);
	static std::vector<std::string> _ListBackups(MVVolume* destination);
	bool _DeleteThroughServer(const BMessage& list, int32 index, const std::string& name);
	bool _DeleteDirectly(const std::string& name, const char* addOnName,
		const BMessage& settings);

	BMessenger fServer;
	const AddOnLoader& fLoader;
	Reporter fReporter;
};
