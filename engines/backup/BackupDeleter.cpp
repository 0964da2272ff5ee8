#include "BackupDeleter.h"

#include "JobStatistics.h"

#include "BackupHeader.h"
#include "BackupSettingsReport.h"
#include "BackupTexts.h"
#include "CatalogueBrowse.h"
#include "ReportLineType.h"
#include "MVVolume.h"
#include "ServerProtocol.h"
#include "VolumeArchive.h"

BackupDeleter::BackupDeleter(const BMessenger& server, const AddOnLoader& loader,
	Reporter reporter)
	:
	fServer(server),
	fLoader(loader),
	fReporter(std::move(reporter))
{
}

int32 BackupDeleter::DeleteExisting(MVVolume* destination, const std::string& keep,
	const char* addOnName, const BMessage& settings)
{
	if (destination == nullptr)
		return 0;
	BMessage list = _CatalogueList();
	int32 deleted = 0;
	// The whole listing first: deleting while a folder is being listed may
	// make the listing skip entries.
	for (const std::string& name : _ListBackups(destination)) {
		if (name == keep)
			continue;
		int32 index = _IndexOf(list, name);
		bool done = index >= 0 && list.HasData("date", B_TIME_TYPE, index)
			? _DeleteThroughServer(list, index, name)
			: _DeleteDirectly(name, addOnName, settings);
		if (done)
			deleted++;
	}
	return deleted;
}

BMessage BackupDeleter::_CatalogueList()
{
	BMessage request = MakeLogReadRequest("/", kLogReadChildren);
	BMessage reply;
	if (fServer.SendMessage(&request, &reply, kServerTimeout, kServerTimeout) != B_OK)
		return BMessage();
	return reply;
}

int32 BackupDeleter::_IndexOf(const BMessage& list, const std::string& name)
{
	const char* listed;
	for (int32 i = 0; list.FindString("name", i, &listed) == B_OK; i++) {
		if (name == listed)
			return i;
	}
	return -1;
}

std::vector<std::string> BackupDeleter::_ListBackups(MVVolume* destination)
{
	std::vector<std::string> names;
	mvvol_fib info = {};
	strcpy(info.name, "*");
	for (int32 result = destination->FindFirst(&info); result == 0;
			result = destination->FindNext(&info)) {
		info.name[sizeof(info.name) - 1] = '\0';
		names.emplace_back(info.name);
	}
	return names;
}

bool BackupDeleter::_DeleteThroughServer(const BMessage& list, int32 index,
	const std::string& name)
{
	int32 date = 0;
	(void)list.FindTime("date", index, &date);
	const char* title = list.GetString("title", index, "");
	fReporter({kLineInfo, kTextDeleting,
		{title, name, JobStatistics::DateText(time_t(date))}});
	BMessage request(kMsgDeleteBackups);
	request.AddString("name", name.c_str());
	request.AddInt32("full", 1);
	// Waiting for the answer makes the space free before the new backup
	// needs it.
	BMessage reply;
	return fServer.SendMessage(&request, &reply, kServerTimeout, kServerTimeout) == B_OK;
}

bool BackupDeleter::_DeleteDirectly(const std::string& name, const char* addOnName,
	const BMessage& settings)
{
	image_id image = 0;
	MVVolume* second = fLoader.LoadDestination(addOnName, &settings, &image);
	if (second == nullptr)
		return false;
	bool deleted = false;
	if (second->Start(name.c_str(), kVolumeModeRead) == 0) {
		VolumeArchive<MVVolume> source(second);
		BackupHeader header;
		bool isBackup = ReadBackupHeader(&source, &header) == BackupHeaderStatus::Ok;
		// The image must be closed before it can be deleted.
		(void)second->Stop();
		if (isBackup && second->Delete(name.c_str()) == 0) {
			std::string date = JobStatistics::DateText(time_t(header.creationTime));
			if (header.removable != 0) {
				fReporter({kLineInfo, kTextDeletingMedium,
					{header.title, int32(header.mediumNumber), name, date}});
			} else {
				fReporter({kLineInfo, kTextDeleting, {header.title, name, date}});
			}
			deleted = true;
		}
	}
	delete second;
	AddOnLoader::Free(&image);
	return deleted;
}
