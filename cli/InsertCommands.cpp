#include "InsertCommands.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "DestinationScan.h"
#include "ExitStatus.h"
#include "ImageDestination.h"
#include "TapeDestination.h"
#include "JobSession.h"
#include "JsonWriter.h"
#include "ReportText.h"
#include "SelectionBuilder.h"
#include "ServerProtocol.h"
#include "TerminalText.h"

namespace InsertCommands {

namespace {

// Where both commands look: the --from folder, as a native and a system
// path, or the --tape drive.
class FromFolder {
public:
	bool Check(const CommandLine& line, std::string* error)
	{
		if (line.Has("from") == line.Has("tape")) {
			*error = "--from DIR, the folder that holds the backup images, or --tape DEVICE, "
				"the tape drive, is needed";
			return false;
		}
		if (line.Has("tape")) {
			fTape = line.Get("tape");
			if (TapeDestination::IsDevicePath(fTape))
				return true;
			*error = "'" + fTape + "' names no tape drive (see 'morvane drives')";
			return false;
		}
		if (!SelectionBuilder::Absolute(line.Get("from"), &fNative)) {
			*error = "'" + line.Get("from") + "' is not a usable folder";
			return false;
		}
		return SelectionBuilder::ToSystem(fNative, &fSystem, error);
	}

	// Scans the destination; the exit status.
	int Scan(ServerConnection& server, ClientApplication& application, DestinationScan* scan)
	{
		std::error_code error;
		if (fTape.empty() && !std::filesystem::is_directory(fNative, error)) {
			fprintf(stderr, "morvane: %s is not a folder\n", fNative.c_str());
			return kExitFailure;
		}
		return scan->Run(server, application, AddOn(), Settings(), Native());
	}

	// The folder, or the drive.
	const std::string& Native() const { return fTape.empty() ? fNative : fTape; }
	const char* AddOn() const
	{
		return fTape.empty() ? ImageDestination::kAddOn : TapeDestination::kAddOn;
	}
	BMessage Settings() const
	{
		return fTape.empty() ? ImageDestination::Settings(fSystem, false, false)
			: TapeDestination::Settings(fTape, false);
	}

private:
	std::string fNative;
	std::string fSystem;
	std::string fTape;
};

class ScanCommand : public Command {
public:
	const char* Name() const override { return "scan"; }
	std::string Help() const override
	{
		return "Usage: morvane scan --from DIR|--tape DEVICE [--json]\n\n"
			"Lists the backups the image folder DIR, or the tape in the drive DEVICE,\n"
			"holds: id, date, whether the catalogue\n"
			"knows it already, and title. 'morvane insert' reads the others back into the\n"
			"catalogue.\n"
			"  --json   print a JSON array of objects (id, title, date, catalogued)\n";
	}
	void Declare(CommandLine* line) const override
	{
		line->Value("from");
		line->Value("tape");
		line->Flag("json");
	}
	bool Check(const CommandLine& line, std::string* error) override
	{
		if (!line.Operands().empty()) {
			*error = "scan takes no arguments";
			return false;
		}
		fJson = line.Has("json");
		return fFrom.Check(line, error);
	}
	int Run(ServerConnection& server, ClientApplication& application) override;

private:
	void _PrintJson(const DestinationScan& scan) const;
	void _PrintTable(const DestinationScan& scan) const;

	FromFolder fFrom;
	bool fJson = false;
};

int ScanCommand::Run(ServerConnection& server, ClientApplication& application)
{
	DestinationScan scan;
	int result = fFrom.Scan(server, application, &scan);
	if (result != kExitSuccess)
		return result;
	if (fJson)
		_PrintJson(scan);
	else
		_PrintTable(scan);
	return kExitSuccess;
}

void ScanCommand::_PrintJson(const DestinationScan& scan) const
{
	JsonWriter writer(stdout);
	writer.BeginArray();
	for (const DestinationScan::Found& found : scan.Backups()) {
		writer.BeginObject();
		writer.Field("id", found.id);
		writer.Field("title", found.title);
		writer.Field("date", int64(found.date));
		writer.Field("catalogued", found.catalogued);
		writer.EndObject();
	}
	writer.EndArray();
	writer.Finish();
}

void ScanCommand::_PrintTable(const DestinationScan& scan) const
{
	if (scan.Backups().empty()) {
		printf("%s holds no backups.\n", fFrom.Native().c_str());
		return;
	}
	printf("%-20s %-16s %-10s %s\n", "ID", "DATE", "CATALOGUE", "TITLE");
	for (const DestinationScan::Found& found : scan.Backups()) {
		printf("%-20s %-16s %-10s %s\n", TerminalText(found.id).c_str(),
			ReportText::Date(found.date).c_str(), found.catalogued ? "yes" : "no",
			TerminalText(found.title).c_str());
	}
}

class InsertCommand : public Command {
public:
	const char* Name() const override { return "insert"; }
	std::string Help() const override
	{
		return "Usage: morvane insert --from DIR|--tape DEVICE [OPTIONS] [ID...]\n\n"
			"Reads the backups ID of the image folder DIR, or of the tape in the drive\n"
			"DEVICE, back into the catalogue (by\n"
			"default every backup there that the catalogue does not know, as 'morvane\n"
			"scan' lists them), so that they can be restored and compared. A backup whose\n"
			"catalogue record is damaged is read file by file. Then follows the job.\n"
			"\n"
			"  --no-wait             submit the job, print its id and return\n"
			+ std::string(JobSession::kFollowOptionsHelp) +
			"\n"
			"Exit status: 0 success (also when there is nothing to insert), 1 aborted,\n"
			"2 ended with errors, 3 an ID is not on DIR, 64 bad arguments.\n";
	}
	void Declare(CommandLine* line) const override
	{
		line->Value("from");
		line->Value("tape");
		line->Flag("no-wait");
		JobSession::DeclareFollowOptions(line);
	}
	bool Check(const CommandLine& line, std::string* error) override;
	int Run(ServerConnection& server, ClientApplication& application) override;

private:
	int _ChooseBackups(const DestinationScan& scan, std::vector<std::string>* ids) const;
	void _BuildJob(const std::vector<std::string>& ids, BMessage* job) const;

	FromFolder fFrom;
	std::vector<std::string> fIds;
	FollowSettings fFollow;
};

bool InsertCommand::Check(const CommandLine& line, std::string* error)
{
	fIds = line.Operands();
	for (const std::string& id : fIds) {
		if (id.empty() || id.find('/') != std::string::npos || id == "." || id == "..") {
			*error = "'" + id + "' is not a backup id";
			return false;
		}
	}
	fFollow.wait = !line.Has("no-wait");
	return fFrom.Check(line, error) && JobSession::ReadFollowOptions(line, &fFollow, error);
}

int InsertCommand::_ChooseBackups(const DestinationScan& scan,
	std::vector<std::string>* ids) const
{
	if (fIds.empty()) {
		for (const DestinationScan::Found& found : scan.Backups()) {
			if (!found.catalogued)
				ids->push_back(found.id);
		}
		return kExitSuccess;
	}
	for (const std::string& id : fIds) {
		if (scan.Find(id) == nullptr) {
			fprintf(stderr, "morvane: %s holds no backup '%s' (see 'morvane scan')\n",
				fFrom.Native().c_str(), id.c_str());
			return kExitFailure;
		}
		ids->push_back(id);
	}
	return kExitSuccess;
}

void InsertCommand::_BuildJob(const std::vector<std::string>& ids, BMessage* job) const
{
	job->MakeEmpty();
	job->what = kMsgJobAdd;
	job->AddInt32("job_type", kJobInsert);
	for (const std::string& id : ids)
		job->AddString("ID", id);
	job->AddString("addon", fFrom.AddOn());
	BMessage volume = fFrom.Settings();
	job->AddMessage("volume", &volume);
	BMessage scheduler;
	scheduler.AddTime("TIME", int32(time(nullptr)));
	job->AddMessage("scheduler", &scheduler);
	BMessage startInfo;
	startInfo.AddString("title", "Insert from " + fFrom.Native());
	job->AddMessage("start_info", &startInfo);
}

int InsertCommand::Run(ServerConnection& server, ClientApplication& application)
{
	DestinationScan scan;
	int result = fFrom.Scan(server, application, &scan);
	if (result != kExitSuccess)
		return result;
	std::vector<std::string> ids;
	result = _ChooseBackups(scan, &ids);
	if (result != kExitSuccess)
		return result;
	if (ids.empty()) {
		printf("Nothing to insert: the catalogue knows every backup in %s.\n",
			fFrom.Native().c_str());
		return kExitSuccess;
	}
	BMessage job;
	_BuildJob(ids, &job);
	return JobSession::Submit(server, application, &job, fFollow);
}

}	// namespace

std::unique_ptr<Command> Make(const std::string& name)
{
	if (name == "scan")
		return std::make_unique<ScanCommand>();
	if (name == "insert")
		return std::make_unique<InsertCommand>();
	return nullptr;
}

}	// namespace InsertCommands
