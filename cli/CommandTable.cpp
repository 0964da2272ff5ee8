#include "CommandTable.h"

#include "BackupCommand.h"
#include "CatalogueCommands.h"
#include "CompareCommand.h"
#include "DesktopCommand.h"
#include "InsertCommands.h"
#include "JobCommands.h"
#include "ReportCommands.h"
#include "RestoreCommand.h"
#include "ServiceCommand.h"
#include "TapeCommands.h"

std::unique_ptr<Command> CommandTable::Make(const std::string& name)
{
	if (name == "backup")
		return std::make_unique<BackupCommand>();
	if (name == "restore")
		return std::make_unique<RestoreCommand>();
	if (name == "compare")
		return std::make_unique<CompareCommand>();
	if (name == "service")
		return std::make_unique<ServiceCommand>();
	if (name == "desktop")
		return std::make_unique<DesktopCommand>();
	if (std::unique_ptr<Command> command = JobCommands::Make(name))
		return command;
	if (std::unique_ptr<Command> command = CatalogueCommands::Make(name))
		return command;
	if (std::unique_ptr<Command> command = InsertCommands::Make(name))
		return command;
	if (std::unique_ptr<Command> command = TapeCommands::Make(name))
		return command;
	return ReportCommands::Make(name);
}

const char* CommandTable::Usage()
{
	return "Usage: morvane COMMAND [OPTIONS] [ARGUMENTS]\n"
		"\n"
		"The command-line client of the Morvane Backup server. It starts the server\n"
		"beside it (Backup_Server/MorvaneServer) when none runs. Paths are the native\n"
		"paths of this machine; the catalogue's paths are \"/<volume>/...\".\n"
		"\n"
		"Commands:\n"
		"  backup --to DIR PATH...   back up files and folders into an image folder\n"
		"  backup --tape DEVICE PATH...\n"
		"                            back up files and folders onto a tape\n"
		"  restore BACKUP [PATH...]  restore a backup, or paths of it\n"
		"  compare BACKUP [PATH...]  compare a backup, or paths of it, with the live files\n"
		"  jobs [--json]             list the job queue\n"
		"  wait JOB                  follow a job until it ends\n"
		"  start JOB                 start a queued job now\n"
		"  pause JOB                 pause a running job, or hold a waiting one\n"
		"  continue JOB              continue a paused or held job\n"
		"  abort JOB                 abort a running job; one with a time to come stays\n"
		"  remove JOB                remove a job from the queue\n"
		"  backups [--json]          list the backups of the catalogue\n"
		"  ls BACKUP [PATH]          browse a backup's folders and files\n"
		"  delete [--data] BACKUP... remove backups from the catalogue (and their data)\n"
		"  scan --from DIR           list the backups an image folder (or --tape) holds\n"
		"  insert --from DIR [ID...] read backups of an image folder (or --tape) into the\n"
		"                            catalogue\n"
		"  reports [--json]          list the stored job reports\n"
		"  report [--follow] REPORT  print a report in English\n"
		"  drives [--json]           list the tape drives\n"
		"  tape status|rewind|eject|retension|erase [--complete] DEVICE\n"
		"                            work a tape drive\n"
		"  service install|remove|status\n"
		"                            run the server as a systemd user service\n"
		"  desktop install|uninstall put the GUI into the desktop's menu, with its icon\n"
		"                            and file types\n"
		"\n"
		"Run 'morvane COMMAND --help' for a command's options.\n"
		"Exit status: 0 success, 1 the job was aborted, 2 the job ended with errors,\n"
		"3 the request failed, 64 bad arguments (nothing was sent), 69 the server\n"
		"cannot be started or reached, 130 interrupted while following a job (the job\n"
		"goes on).\n";
}
