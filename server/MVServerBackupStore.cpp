// The backups behind the catalogues: checking the password of protected
// ones, finding the backups a destination holds, and deleting backups with
// their catalogue files. Destinations are loaded from the add-on folder of
// the server through MVVolumeOrg.

#include "MVServer.h"

#include <cstring>

#include <storage/Entry.h>
#include <storage/VolumeTable.h>

#include "AddOnLoader.h"
#include "BackupHeader.h"
#include "CatalogueFormat.h"
#include "CatalogueFile.h"
#include "CatalogueList.h"
#include "MVVolumeOrg.h"
#include "VolumeArchive.h"

namespace {

// A destination that keeps reporting backups is not believed for ever.
constexpr int32 kMaxScannedBackups = 100000;

constexpr const char* kAllBackups = "*";

}	// namespace

void MVServer::LogPWCheck(BMessage* request, BMessage* reply)
{
	const char* name;
	for (int32 i = 0; request->FindString("name", i, &name) == B_OK; i++) {
		int32 slot = CatalogueList::FindName(*fCatalogueList, name);
		if (slot < 0)
			continue;
		reply->AddString("name", name);
		reply->AddInt32("protected", fCatalogueList->GetInt32("pw", slot, 0));

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

BMessage MVServer::VolumeScan(const char* addOnName, const BMessage* settings)
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
			BackupHeader decoded;
			if (ReadBackupHeader(&source, &decoded) == BackupHeaderStatus::Ok) {
				result.AddString("title", decoded.title);
				result.AddString("ID", decoded.backupId);
				result.AddTime("date", decoded.creationTime);
			}
			(void)volume.Stop();
		}
		found = volume.FindNext(&info);
	}
	volume.Unset();
	return result;
}

void MVServer::DeleteBackups(BMessage* request)
{
	if (fCatalogueDirectory.empty())
		return;
	bool full = request->GetInt32("full", 0) > 0;
	const char* name;
	for (int32 i = 0; request->FindString("name", i, &name) == B_OK; i++) {
		if (!CatalogueList::IsFileName(name)) {
			_Log("A request to delete the backup \"%s\" was refused.", name);
			continue;
		}
		if (full)
			_DeleteOnDestination(name);
		// The folder watch then takes the slot and the job's reports away.
		BEntry entry(_CataloguePath(name).c_str());
		status_t status = entry.Remove();
		if (status != B_OK && status != B_ENTRY_NOT_FOUND)
			_Log("The catalogue %s cannot be removed: %s", name, strerror_status(status));
	}
}

// A failing deletion on the destination is not reported to the client: the
// catalogue goes all the same, as the user asked for the backup to go.
void MVServer::_DeleteOnDestination(const char* name)
{
	BMessage catalogue;
	if (CatalogueFile::ReadContent(_CataloguePath(name).c_str(), &catalogue) != B_OK) {
		_Log("The catalogue %s cannot be read; its backup stays on the destination.", name);
		return;
	}
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
		_Log("The backup %s could not be deleted on its destination (result %d).", name, result);
	volume.Unset();
}

bool MVServer::_GetAddOnLoader(AddOnLoader* loader) const
{
	std::string native;
	if (fProgramFolder.empty()
		|| VolumeTable::ToNative(fProgramFolder.c_str(), &native) != B_OK) {
		return false;
	}
	*loader = AddOnLoader(native);
	return true;
}
