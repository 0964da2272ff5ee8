#include "BackupCommand.h"

#include <cstdio>
#include <ctime>

#include "ExitStatus.h"
#include "ImageDestination.h"
#include "TapeDestination.h"
#include "JobCommands.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"
#include "UserService.h"

namespace {


bool Fail(std::string* error, const std::string& text)
{
	*error = text;
	return false;
}

}	// namespace

std::string BackupCommand::Help() const
{
	return "Usage: morvane backup --to DIR|--tape DEVICE [OPTIONS] PATH...\n"
		"\n"
		"Backs up the files and folders PATH (folders with everything below them) into\n"
		"an image file in the folder DIR, or onto the tape in the drive DEVICE, then\n"
		"follows the job: a progress line on a terminal, the report lines as they\n"
		"arrive, the statistics at the end.\n"
		"\n"
		"  --to DIR              folder that receives the backup image (made when\n"
		"                        missing)\n"
		"  --tape DEVICE         tape drive that receives the backup, behind the backups\n"
		"                        on its tape (\"/dev/bus/scsi/B/T/L/raw\", see 'morvane\n"
		"                        drives'); a full tape is changed through --on-media-change\n"
		"                        or the question on the terminal\n"
		"  --compress none|lzrw1 compressor (default none)\n"
		"  --mode full|incremental|differential\n"
		"                        backup mode (default full). Incremental and differential\n"
		"                        backups need --base and save what changed since the\n"
		"                        base job's last run; they take the base job's selection,\n"
		"                        so PATH may be left out\n"
		"  --base JOB            the queued (repeating) job an incremental or\n"
		"                        differential backup follows\n"
		"  --title T             title of the backup (default: \"Backup of\" the first PATH)\n"
		"  --password P          protect the backup with a password (at most 32 bytes,\n"
		"                        not beginning with a space)\n"
		"  --exclude PATH        leave PATH and everything below it out (repeatable)\n"
		"  --overwrite           delete the backups already in DIR first, or write at the\n"
		"                        beginning of the tape (full backups)\n"
		"  --at \"YYYY-MM-DD HH:MM\"  start time (default now)\n"
		"  --every INTERVAL      repeat: numbers with units M (months), d (days),\n"
		"                        h (hours), m (minutes), e.g. 1d, 12h, 30m, 1M2d\n"
		"  --skip-days DAYS      with --every: weekdays without runs, e.g. sat,sun\n"
		"  --hold                queue the job on hold ('morvane continue JOB' releases\n"
		"                        it); implies --no-wait\n"
		"  --no-wait             submit the job, print its id and return\n"
		+ std::string(JobSession::kFollowOptionsHelp) +
		"\n"
		"Ctrl-C stops following and leaves the job running (exit status 130).\n"
		"Exit status: 0 success, 1 aborted, 2 ended with errors, 3 the job could not be\n"
		"submitted, 64 bad arguments.\n";
}

void BackupCommand::Declare(CommandLine* line) const
{
	for (const char* option : {"to", "tape", "compress", "mode", "base", "title", "password", "at",
			"every", "skip-days"}) {
		line->Value(option);
	}
	line->Value("exclude", true);
	line->Flag("overwrite");
	line->Flag("hold");
	line->Flag("no-wait");
	JobSession::DeclareFollowOptions(line);
}

bool BackupCommand::_CheckMode(const CommandLine& line, std::string* error)
{
	std::string mode = line.Get("mode", "full");
	if (mode == "full")
		fJobType = kJobFullBackup;
	else if (mode == "incremental")
		fJobType = kJobIncrementalBackup;
	else if (mode == "differential")
		fJobType = kJobDifferentialBackup;
	else
		return Fail(error, "unknown mode '" + mode + "' (full, incremental or differential)");
	if (fJobType == kJobFullBackup && line.Has("base"))
		return Fail(error, "--base belongs to incremental and differential backups");
	if (fJobType != kJobFullBackup) {
		if (!line.Has("base"))
			return Fail(error, "an " + mode + " backup needs --base JOB");
		if (!JobCommands::ParseJobId(line.Get("base"), &fBaseId))
			return Fail(error, "'" + line.Get("base") + "' is not a job id");
		if (line.Has("overwrite"))
			return Fail(error, "--overwrite applies to full backups only");
	}
	return true;
}

bool BackupCommand::_CheckSchedule(const CommandLine& line, std::string* error)
{
	fSchedule.SetStart(int32(time(nullptr)));
	if (line.Has("at") && !fSchedule.ParseStart(line.Get("at"), error))
		return false;
	if (line.Has("every") && !fSchedule.ParseRepeat(line.Get("every"), error))
		return false;
	if (line.Has("skip-days")) {
		if (!line.Has("every"))
			return Fail(error, "--skip-days needs --every");
		if (!fSchedule.ParseSkipDays(line.Get("skip-days"), error))
			return false;
	}
	return true;
}

bool BackupCommand::_CheckPaths(const CommandLine& line, std::string* error)
{
	if (line.Operands().empty() && fJobType == kJobFullBackup)
		return Fail(error, "backup needs at least one PATH");
	for (const std::string& path : line.Operands()) {
		if (!fSelection.Include(path, error))
			return false;
	}
	for (const std::string& path : line.GetAll("exclude")) {
		if (!fSelection.Exclude(path, error))
			return false;
	}
	if (line.Has("to") == line.Has("tape")) {
		return Fail(error, "backup needs either --to DIR, the folder that receives the backup, "
			"or --tape DEVICE, the tape drive");
	}
	if (line.Has("tape")) {
		fTape = line.Get("tape");
		if (!TapeDestination::IsDevicePath(fTape))
			return Fail(error, "'" + fTape + "' names no tape drive (see 'morvane drives')");
	} else if (!SelectionBuilder::ToSystem(line.Get("to"), &fDestination, error)) {
		return false;
	}
	if (fTitle.empty()) {
		fTitle = line.Operands().empty() ? "Backup of job " + std::to_string(fBaseId)
			: "Backup of " + line.Operands().front();
	}
	return true;
}

bool BackupCommand::Check(const CommandLine& line, std::string* error)
{
	std::string compress = line.Get("compress", "none");
	if (compress == "none")
		fCompressor = "MVNone";
	else if (compress == "lzrw1")
		fCompressor = "MVLZRW1";
	else
		return Fail(error, "unknown compressor '" + compress + "' (none or lzrw1)");
	if (!JobSession::ReadTitleOption(line, &fTitle, error))
		return false;
	fPassword = line.Get("password");
	if (line.Has("password")) {
		if (fPassword.size() > kMaxPasswordLength)
			return Fail(error, "the password is longer than 32 bytes");
		// The job's scrambling ignores a key that begins with a space or a
		// control character: such a password would protect nothing.
		if (fPassword.empty() || (signed char)fPassword[0] < 33)
			return Fail(error, "the password must not be empty or begin with a space");
	}
	fOverwrite = line.Has("overwrite");
	fHold = line.Has("hold");
	fFollow.wait = !fHold && !line.Has("no-wait");
	fFollow.startNow = !fHold && !line.Has("at");
	fScheduled = line.Has("at") || line.Has("every");
	return JobSession::ReadFollowOptions(line, &fFollow, error) && _CheckMode(line, error)
		&& _CheckSchedule(line, error) && _CheckPaths(line, error);
}

void BackupCommand::_BuildDestination(BMessage* job) const
{
	if (!fTape.empty()) {
		BMessage volume = TapeDestination::Settings(fTape, fOverwrite);
		job->AddString("addon", TapeDestination::kAddOn);
		job->AddMessage("volume", &volume);
		return;
	}
	BMessage volume = ImageDestination::Settings(fDestination, fOverwrite);
	job->AddString("addon", ImageDestination::kAddOn);
	job->AddMessage("volume", &volume);
}

void BackupCommand::_BuildCompressor(BMessage* job) const
{
	BMessage packer;
	packer.AddString("class", "MVCruncher");
	if (fCompressor != "MVNone")
		packer.AddString("class", fCompressor);
	job->AddString("bak_addonpacker", fCompressor);
	job->AddMessage("bak_packer", &packer);
}

void BackupCommand::BuildJob(BMessage* job) const
{
	job->MakeEmpty();
	job->what = kMsgJobAdd;
	job->AddInt32("job_type", fJobType);
	if (fJobType != kJobFullBackup)
		job->AddInt32("base_id", fBaseId);
	BMessage selection;
	fSelection.Fill(&selection);
	job->AddMessage("selection", &selection);
	_BuildDestination(job);
	_BuildCompressor(job);
	BMessage scheduler;
	fSchedule.Fill(&scheduler);
	job->AddMessage("scheduler", &scheduler);
	BMessage startInfo;
	startInfo.AddString("title", fTitle);
	if (!fPassword.empty())
		startInfo.AddString("password", fPassword);
	if (fHold)
		startInfo.AddInt32("submitonhold", 1);
	job->AddMessage("start_info", &startInfo);
}

int BackupCommand::Run(ServerConnection& server, ClientApplication& application)
{
	if (fJobType != kJobFullBackup) {
		BMessage index;
		status_t status = JobSession::FetchJobIndex(server, &index);
		if (status != B_OK || JobSession::FindSlot(index, fBaseId) < 0) {
			fprintf(stderr, "morvane: the base job %d is not queued; an incremental or "
				"differential backup follows a queued (repeating) backup job\n", fBaseId);
			return kExitFailure;
		}
	}
	BMessage job;
	BuildJob(&job);
	if (fScheduled)
		UserService(ServerConnection::DefaultServerProgram()).TellAboutSchedulesOnce(stdout);
	return JobSession::Submit(server, application, &job, fFollow);
}
