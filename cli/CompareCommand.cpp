#include "CompareCommand.h"

#include <algorithm>
#include <ctime>

#include "CompareFields.h"
#include "ExitStatus.h"
#include "ServerProtocol.h"

std::string CompareCommand::Help() const
{
	return "Usage: morvane compare [OPTIONS] BACKUP [PATH...]\n"
		"\n"
		"Compares the backup BACKUP (an id as 'morvane backups' shows it) with the live\n"
		"files it was saved from: the paths PATH as 'morvane ls' prints them, folders\n"
		"with everything below them, or the whole backup without PATH. Nothing is\n"
		"written. Then follows the job like backup does; every difference is a line.\n"
		"\n"
		"  --only ITEMS          compare only these, a comma-separated list of data,\n"
		"                        attr, size, mdate, cdate, link, perms, uid and gid\n"
		"                        (default: all but cdate, the status change time,\n"
		"                        which Linux sets anew whenever a file is restored)\n"
		"  --title T             the job's title (default: Compare of <backup title>)\n"
		"  --password P          the password of a protected backup; a missing password\n"
		"                        is a usage error (64), a wrong one a failure (3)\n"
		"  --hold                queue the job on hold ('morvane continue JOB' releases\n"
		"                        it) and return\n"
		"  --no-wait             submit the job, print its id and return\n"
		+ std::string(JobSession::kFollowOptionsHelp) +
		"\n"
		"Ctrl-C stops following and leaves the job running (exit status 130).\n"
		"Exit status: 0 everything compared equal, 1 aborted, 2 something differs or\n"
		"could not be read, 3 the backup, a PATH or the password was not accepted,\n"
		"64 bad arguments.\n";
}

void CompareCommand::Declare(CommandLine* line) const
{
	line->Value("only");
	line->Value("title");
	line->Value("password");
	line->Flag("hold");
	line->Flag("no-wait");
	JobSession::DeclareFollowOptions(line);
}

bool CompareCommand::Check(const CommandLine& line, std::string* error)
{
	if (!fItems.Check(line.Operands(), "compare", line.Has("password"), line.Get("password"),
			error))
		return false;
	if (line.Has("only") && !_CheckItems(line.Get("only"), error))
		return false;
	if (!JobSession::ReadTitleOption(line, &fTitle, error))
		return false;
	fHold = line.Has("hold");
	fFollow.wait = !fHold && !line.Has("no-wait");
	fFollow.startNow = !fHold;
	return JobSession::ReadFollowOptions(line, &fFollow, error);
}

bool CompareCommand::_CheckItems(const std::string& only, std::string* error)
{
	std::fill(std::begin(fCompared), std::end(fCompared), false);
	size_t start = 0;
	while (start <= only.size()) {
		size_t comma = only.find(',', start);
		std::string name = only.substr(start,
			comma == std::string::npos ? std::string::npos : comma - start);
		int32 found = -1;
		for (int32 item = 0; item < kItemCount; item++) {
			if (name == kItemNames[item])
				found = item;
		}
		if (found < 0) {
			*error = "unknown compare item '" + name + "' in --only (data, attr, size, mdate, "
				"cdate, link, perms, uid or gid)";
			return false;
		}
		fCompared[found] = true;
		if (comma == std::string::npos)
			break;
		start = comma + 1;
	}
	return true;
}

void CompareCommand::BuildJob(const std::string& backupTitle, BMessage* job) const
{
	job->MakeEmpty();
	job->what = kMsgJobAdd;
	job->AddInt32("job_type", kJobCompare);
	BMessage selection;
	BackupItems::BuildSelection(fItems.Backup(), fItems.Items(), "", &selection);
	job->AddMessage("selection", &selection);
	BMessage compare;
	compare.AddInt32(kCompareAllField, 0);
	for (int32 item = 0; item < kItemCount; item++)
		compare.AddInt32(kCompareItemFields[item], fCompared[item] ? 1 : 0);
	job->AddMessage("compare", &compare);
	BMessage scheduler;
	scheduler.AddTime("TIME", int32(time(nullptr)));
	job->AddMessage("scheduler", &scheduler);
	BMessage startInfo;
	startInfo.AddString("title", fTitle.empty() ? "Compare of " + backupTitle : fTitle);
	if (fItems.HasPassword())
		startInfo.AddString("password", fItems.Password());
	if (fHold)
		startInfo.AddInt32("submitonhold", 1);
	job->AddMessage("start_info", &startInfo);
}

int CompareCommand::Run(ServerConnection& server, ClientApplication& application)
{
	std::string title;
	int result = fItems.Resolve(server, &title);
	if (result != kExitSuccess)
		return result;
	BMessage job;
	BuildJob(title, &job);
	return JobSession::Submit(server, application, &job, fFollow);
}
