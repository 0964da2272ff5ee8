#include "BackupItems.h"

#include <cstdio>

#include "CatalogueCommands.h"
#include "ExitStatus.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"

bool BackupItems::Check(const std::vector<std::string>& operands, const std::string& command,
	bool hasPassword, const std::string& password, std::string* error)
{
	if (operands.empty()) {
		*error = command + " needs a BACKUP";
		return false;
	}
	fBackup = operands[0];
	if (fBackup.empty() || fBackup.find('/') != std::string::npos) {
		*error = "'" + fBackup + "' is not a backup id";
		return false;
	}
	fPaths.assign(operands.begin() + 1, operands.end());
	for (std::string& path : fPaths) {
		if (path.empty()) {
			*error = "an empty PATH";
			return false;
		}
		if (path == "/")
			path.clear();
		else if (path[0] != '/')
			path = "/" + path;
		if (path.size() >= 2 && path.back() == '/')
			path.pop_back();
	}
	fHasPassword = hasPassword;
	fPassword = password;
	return true;
}

int BackupItems::Resolve(ServerConnection& server, std::string* title)
{
	BMessage list;
	status_t status = CatalogueCommands::FetchBackups(server, &list);
	if (status != B_OK) {
		fprintf(stderr, "morvane: cannot read the catalogue: %s\n", strerror_status(status));
		return kExitFailure;
	}
	int32 slot = CatalogueCommands::FindBackup(list, fBackup);
	if (slot < 0) {
		fprintf(stderr, "morvane: there is no backup '%s' (see 'morvane backups')\n",
			fBackup.c_str());
		return kExitFailure;
	}
	*title = list.GetString("title", slot, fBackup.c_str());
	int result = _CheckPassword(server, list, slot);
	return result != kExitSuccess ? result : _FindItems(server);
}

int BackupItems::_CheckPassword(ServerConnection& server, const BMessage& list, int32 slot)
{
	if (list.GetInt32("pw", slot, 0) == 0)
		return kExitSuccess;
	if (!fHasPassword) {
		fprintf(stderr, "morvane: backup '%s' is protected by a password; give it with "
			"--password\n", fBackup.c_str());
		return kExitUsage;
	}
	BMessage request(kMsgPasswordCheck);
	request.AddString("name", fBackup);
	request.AddString("pw", fPassword);
	BMessage reply;
	status_t status = server.Request(request, &reply);
	if (status != B_OK || reply.what != kMsgPasswordResult) {
		fprintf(stderr, "morvane: the server did not check the password%s%s\n",
			status != B_OK ? ": " : "", status != B_OK ? strerror_status(status) : "");
		return kExitFailure;
	}
	if (reply.GetInt32("result", 0, 0) != 1) {
		fprintf(stderr, "morvane: wrong password for backup '%s'\n", fBackup.c_str());
		return kExitFailure;
	}
	return kExitSuccess;
}

int BackupItems::_FindItems(ServerConnection& server)
{
	fItems.clear();
	if (fPaths.empty()) {
		fItems.push_back(Item{"", true});
		return kExitSuccess;
	}
	for (const std::string& path : fPaths) {
		if (path.empty()) {
			fItems.push_back(Item{"", true});
			continue;
		}
		BMessage entry;
		status_t status = CatalogueCommands::Browse(server,
			CatalogueCommands::CataloguePath(fBackup, path), kLogReadEntry, &entry);
		if (status != B_OK || !entry.HasData("path", B_STRING_TYPE)) {
			fprintf(stderr, "morvane: backup '%s' holds no '%s' (see 'morvane ls')\n",
				fBackup.c_str(), path.c_str());
			return kExitFailure;
		}
		fItems.push_back(Item{path,
			CatalogueCommands::IsFolderType(entry.GetInt32("type", 0, -1))});
	}
	return kExitSuccess;
}

void BackupItems::BuildSelection(const std::string& backup, const std::vector<Item>& items,
	const std::string& target, BMessage* selection)
{
	for (const Item& item : items) {
		std::string line = "/" + backup + item.path + (item.isFolder ? "/*" : "");
		selection->AddString("SELECTION", "INCLUDE " + line);
		if (target.empty())
			continue;
		selection->AddString("source", "REDIREC " + line);
		selection->AddString("redirect", target);
	}
}
