#include "DestinationScan.h"

#include <cstdio>
#include <unistd.h>

#include "CatalogueCommands.h"
#include "ClientApplication.h"
#include "ExitStatus.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"

int DestinationScan::Run(ServerConnection& server, ClientApplication& application,
	const char* addOn, const BMessage& settings, const std::string& what)
{
	BMessage catalogue;
	status_t status = CatalogueCommands::FetchBackups(server, &catalogue);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot read the catalogue: %s\n", strerror_status(status));
		return kExitFailure;
	}
	// Answers go to every client; the id picks out this one's.
	int32 id = int32(getpid()) ^ int32(system_time() & 0x7fffffff);
	BMessage request(kMsgVolumeScan);
	request.AddString("name", addOn);
	request.AddMessage("settings", &settings);
	request.AddInt32("id", id);
	status = server.Post(request);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot ask the server: %s\n", strerror_status(status));
		return kExitFailure;
	}
	bigtime_t deadline = system_time() + kPatience;
	while (system_time() < deadline) {
		std::unique_ptr<BMessage> answer = application.Events().Pop(deadline - system_time());
		if (answer == nullptr || answer->what != kMsgVolumeData
			|| answer->GetInt32("id", 0) != id)
			continue;
		const char* backupId;
		for (int32 i = 0; answer->FindString("ID", i, &backupId) == B_OK; i++) {
			Found found;
			found.id = backupId;
			found.title = answer->GetString("title", i, "");
			(void)answer->FindTime("date", i, &found.date);
			found.catalogued = CatalogueCommands::FindBackup(catalogue, found.id) >= 0;
			fBackups.push_back(found);
		}
		return kExitSuccess;
	}
	fprintf(stderr, "morvane: the server did not answer the scan of %s\n", what.c_str());
	return kExitFailure;
}

const DestinationScan::Found* DestinationScan::Find(const std::string& id) const
{
	for (const Found& found : fBackups) {
		if (found.id == id)
			return &found;
	}
	return nullptr;
}
