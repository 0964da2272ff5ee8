#include "RestoreCommand.h"

#include <cstdio>
#include <ctime>
#include <filesystem>

#include "CatalogueCommands.h"
#include "ExitStatus.h"
#include "SelectionBuilder.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"

namespace {


bool Fail(std::string* error, const std::string& text)
{
	*error = text;
	return false;
}

}	// namespace

std::string RestoreCommand::Help() const
{
	return "Usage: morvane restore [OPTIONS] BACKUP [PATH...]\n"
		"\n"
		"Restores the backup BACKUP (an id as 'morvane backups' shows it): the paths\n"
		"PATH as 'morvane ls' prints them, folders with everything below them, or the\n"
		"whole backup without PATH. Then follows the job like backup does.\n"
		"\n"
		"  --to DIR              restore into the folder DIR (made when missing)\n"
		"                        instead of the places the items were saved from: a\n"
		"                        chosen folder comes back as DIR/<its name>, a whole\n"
		"                        backup's top-level items go directly into DIR\n"
		"  --overwrite no|older|rename|yes\n"
		"                        what to do with an item that exists: keep it (no, the\n"
		"                        default), replace it when it is older, rename it to\n"
		"                        NAME.1, NAME.2, ... (rename), or replace it (yes)\n"
		"  --create-root         also recreate the volume root folders\n"
		"  --password P          the password of a protected backup; a missing password\n"
		"                        is a usage error (64), a wrong one a failure (3)\n"
		"  --no-wait             submit the job, print its id and return\n"
		+ std::string(JobSession::kFollowOptionsHelp) +
		"\n"
		"Ctrl-C stops following and leaves the job running (exit status 130).\n"
		"Exit status: 0 success, 1 aborted, 2 ended with errors, 3 the backup, a PATH\n"
		"or the password was not accepted, 64 bad arguments.\n";
}

void RestoreCommand::Declare(CommandLine* line) const
{
	line->Value("to");
	line->Value("overwrite");
	line->Value("password");
	line->Flag("create-root");
	line->Flag("no-wait");
	JobSession::DeclareFollowOptions(line);
}

bool RestoreCommand::Check(const CommandLine& line, std::string* error)
{
	const std::vector<std::string>& operands = line.Operands();
	if (operands.empty())
		return Fail(error, "restore needs a BACKUP");
	fBackup = operands[0];
	if (fBackup.empty() || fBackup.find('/') != std::string::npos)
		return Fail(error, "'" + fBackup + "' is not a backup id");
	fPaths.assign(operands.begin() + 1, operands.end());
	for (std::string& path : fPaths) {
		if (path.empty())
			return Fail(error, "an empty PATH");
		if (path == "/")
			path.clear();
		else if (path[0] != '/')
			path = "/" + path;
		if (path.size() >= 2 && path.back() == '/')
			path.pop_back();
	}
	static const char* const kModes[] = {"no", "older", "rename", "yes"};
	std::string overwrite = line.Get("overwrite", "no");
	fOverwrite = -1;
	for (int32 mode = 0; mode < 4; mode++) {
		if (overwrite == kModes[mode])
			fOverwrite = mode;
	}
	if (fOverwrite < 0)
		return Fail(error, "unknown --overwrite '" + overwrite + "' (no, older, rename or yes)");
	if (line.Has("to")) {
		if (!SelectionBuilder::Absolute(line.Get("to"), &fTargetNative))
			return Fail(error, "'" + line.Get("to") + "' is not a usable folder");
		if (!SelectionBuilder::ToSystem(fTargetNative, &fTarget, error))
			return false;
	}
	fCreateRoot = line.Has("create-root");
	fHasPassword = line.Has("password");
	fPassword = line.Get("password");
	fFollow.wait = !line.Has("no-wait");
	return JobSession::ReadFollowOptions(line, &fFollow, error);
}

void RestoreCommand::BuildSelection(const std::string& backup, const std::vector<Item>& items,
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

void RestoreCommand::BuildJob(const std::vector<Item>& items, const std::string& title,
	BMessage* job) const
{
	job->MakeEmpty();
	job->what = kMsgJobAdd;
	job->AddInt32("job_type", kJobRestore);
	BMessage selection;
	BuildSelection(fBackup, items, fTarget, &selection);
	job->AddMessage("selection", &selection);
	BMessage restore;
	restore.AddInt32("overwrite", fOverwrite);
	restore.AddInt32("createemptydirs", 1);
	restore.AddInt32("createroot", fCreateRoot ? 1 : 0);
	job->AddMessage("restore", &restore);
	BMessage scheduler;
	scheduler.AddTime("TIME", int32(time(nullptr)));
	job->AddMessage("scheduler", &scheduler);
	BMessage startInfo;
	startInfo.AddString("title", "Restore of " + title);
	if (fHasPassword)
		startInfo.AddString("password", fPassword);
	job->AddMessage("start_info", &startInfo);
}

int RestoreCommand::_CheckPassword(ServerConnection& server, const BMessage& list, int32 slot)
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

int RestoreCommand::_FindItems(ServerConnection& server, std::vector<Item>* items)
{
	if (fPaths.empty()) {
		items->push_back(Item{"", true});
		return kExitSuccess;
	}
	for (const std::string& path : fPaths) {
		if (path.empty()) {
			items->push_back(Item{"", true});
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
		items->push_back(Item{path,
			CatalogueCommands::IsFolderType(entry.GetInt32("type", 0, -1))});
	}
	return kExitSuccess;
}

// The job refuses to write outside an existing target folder, so the folder
// the user named is made here, with the user's rights.
int RestoreCommand::_MakeTarget() const
{
	if (fTargetNative.empty())
		return kExitSuccess;
	std::error_code error;
	std::filesystem::create_directories(fTargetNative, error);
	if (error || !std::filesystem::is_directory(fTargetNative)) {
		fprintf(stderr, "morvane: cannot make the folder %s: %s\n", fTargetNative.c_str(),
			error ? error.message().c_str() : "not a folder");
		return kExitFailure;
	}
	return kExitSuccess;
}

int RestoreCommand::Run(ServerConnection& server, ClientApplication& application)
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
	int result = _CheckPassword(server, list, slot);
	if (result != kExitSuccess)
		return result;
	std::vector<Item> items;
	result = _FindItems(server, &items);
	if (result != kExitSuccess)
		return result;
	result = _MakeTarget();
	if (result != kExitSuccess)
		return result;
	BMessage job;
	BuildJob(items, list.GetString("title", slot, fBackup.c_str()), &job);
	return JobSession::Submit(server, application, &job, fFollow);
}
