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
	if (!fItems.Check(line.Operands(), "restore", line.Has("password"), line.Get("password"),
			error))
		return false;
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
	fFollow.wait = !line.Has("no-wait");
	return JobSession::ReadFollowOptions(line, &fFollow, error);
}

void RestoreCommand::BuildJob(const std::vector<Item>& items, const std::string& title,
	BMessage* job) const
{
	job->MakeEmpty();
	job->what = kMsgJobAdd;
	job->AddInt32("job_type", kJobRestore);
	BMessage selection;
	BackupItems::BuildSelection(fItems.Backup(), items, fTarget, &selection);
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
	if (fItems.HasPassword())
		startInfo.AddString("password", fItems.Password());
	job->AddMessage("start_info", &startInfo);
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
	std::string title;
	int result = fItems.Resolve(server, &title);
	if (result != kExitSuccess)
		return result;
	result = _MakeTarget();
	if (result != kExitSuccess)
		return result;
	BMessage job;
	BuildJob(fItems.Items(), title, &job);
	return JobSession::Submit(server, application, &job, fFollow);
}
