#include "CatalogueCommands.h"

#include <cstdio>

#include "CatalogueBrowse.h"
#include "ExitStatus.h"
#include "JsonWriter.h"
#include "ReportText.h"
#include "ServerConnection.h"
#include "ServerProtocol.h"
#include "TerminalText.h"

namespace CatalogueCommands {

namespace {

// Deleting backups with their data may take a while on slow media.
constexpr bigtime_t kDeleteTimeout = 600000000;

int32 CountOf(const BMessage& message, const char* field)
{
	type_code type;
	int32 count = 0;
	return message.GetInfo(field, &type, &count) == B_OK ? count : 0;
}

int CannotRead(status_t status)
{
	fprintf(stderr, "morvane: cannot read the catalogue: %s\n", strerror_status(status));
	return kExitFailure;
}

class ListBackupsCommand : public ListingCommand {
public:
	const char* Name() const override { return "backups"; }
	std::string Help() const override
	{
		return "Usage: morvane backups [--json]\n\n"
			"Lists the backups of the catalogue: id, mode, size, date, whether a password\n"
			"protects it, and title. The id names the backup for ls, restore and delete.\n"
			"  --json   print a JSON array of objects (id, title, date, size, mode,\n"
			"           protected, job_id, base_id)\n";
	}
	int Run(ServerConnection& server, ClientApplication&) override;
};

int ListBackupsCommand::Run(ServerConnection& server, ClientApplication&)
{
	BMessage list;
	status_t status = FetchBackups(server, &list);
	if (status != B_OK)
		return CannotRead(status);
	int32 count = CountOf(list, "name");
	if (fJson) {
		JsonWriter writer(stdout);
		writer.BeginArray();
		for (int32 slot = 0; slot < count; slot++) {
			int32 date = 0;
			(void)list.FindTime("date", slot, &date);
			int64 size = -1;
			(void)list.FindInt64("size", slot, &size);
			writer.BeginObject();
			writer.Field("id", std::string(list.GetString("name", slot, "")));
			writer.Field("title", std::string(list.GetString("title", slot, "")));
			writer.Field("date", int64(date));
			writer.Field("size", size);
			writer.Field("mode", std::string(ModeName(list.GetInt32("mode", slot, 1))));
			writer.Field("protected", list.GetInt32("pw", slot, 0) != 0);
			writer.Field("destination", std::string(list.GetString("dest", slot, "")));
			writer.Field("job_id", int64(list.GetInt32("job_id", slot, 0)));
			writer.Field("base_id", int64(list.GetInt32("base_id", slot, 0)));
			writer.EndObject();
		}
		writer.EndArray();
		writer.Finish();
		return kExitSuccess;
	}
	if (count == 0) {
		printf("No backups are in the catalogue.\n");
		return kExitSuccess;
	}
	printf("%-20s %-12s %10s %-16s %-9s %s\n", "ID", "MODE", "SIZE", "DATE", "PROTECTED",
		"TITLE");
	for (int32 slot = 0; slot < count; slot++) {
		int32 date = 0;
		(void)list.FindTime("date", slot, &date);
		int64 size = -1;
		(void)list.FindInt64("size", slot, &size);
		printf("%-20s %-12s %10s %-16s %-9s %s\n",
			TerminalText(list.GetString("name", slot, "")).c_str(),
			ModeName(list.GetInt32("mode", slot, 1)),
			size < 0 ? "-" : ReportText::Size(size).c_str(), ReportText::Date(date).c_str(),
			list.GetInt32("pw", slot, 0) != 0 ? "yes" : "no",
			TerminalText(list.GetString("title", slot, "")).c_str());
	}
	return kExitSuccess;
}

class BrowseCommand : public Command {
public:
	const char* Name() const override { return "ls"; }
	std::string Help() const override
	{
		return "Usage: morvane ls [--json] BACKUP [PATH]\n\n"
			"Lists the folders, files and links of the backup BACKUP (an id as 'morvane\n"
			"backups' shows it) at the top, or inside PATH. Paths are those the catalogue\n"
			"stores (\"/<volume>/...\"); restore takes them as they are printed here.\n"
			"  --json   print a JSON array of objects (path, name, type, size, date, media)\n";
	}
	void Declare(CommandLine* line) const override { line->Flag("json"); }
	bool Check(const CommandLine& line, std::string* error) override;
	int Run(ServerConnection& server, ClientApplication&) override;

private:
	void _Print(const BMessage& entries) const;

	bool fJson = false;
	std::string fBackup;
	std::string fPath;
};

bool BrowseCommand::Check(const CommandLine& line, std::string* error)
{
	fJson = line.Has("json");
	const std::vector<std::string>& operands = line.Operands();
	if (operands.empty() || operands.size() > 2) {
		*error = "ls needs a BACKUP and at most one PATH";
		return false;
	}
	fBackup = operands[0];
	if (fBackup.empty() || fBackup.find('/') != std::string::npos) {
		*error = "'" + fBackup + "' is not a backup id";
		return false;
	}
	fPath = operands.size() == 2 ? operands[1] : "";
	if (fPath == "/")
		fPath.clear();
	return true;
}

void BrowseCommand::_Print(const BMessage& entries) const
{
	int32 count = CountOf(entries, "path");
	if (fJson) {
		JsonWriter writer(stdout);
		writer.BeginArray();
		for (int32 i = 0; i < count; i++) {
			int32 date = 0;
			(void)entries.FindTime("date", i, &date);
			int64 size = 0;
			(void)entries.FindInt64("size", i, &size);
			writer.BeginObject();
			writer.Field("path", std::string(entries.GetString("path", i, "")));
			writer.Field("name", std::string(entries.GetString("name", i, "")));
			writer.Field("type", std::string(EntryTypeName(entries.GetInt32("type", i, -1))));
			writer.Field("size", size);
			writer.Field("date", int64(date));
			writer.Field("media", int64(entries.GetInt32("medianr", i, 1)));
			writer.EndObject();
		}
		writer.EndArray();
		writer.Finish();
		return;
	}
	for (int32 i = 0; i < count; i++) {
		int32 date = 0;
		(void)entries.FindTime("date", i, &date);
		int64 size = 0;
		(void)entries.FindInt64("size", i, &size);
		int32 type = entries.GetInt32("type", i, -1);
		printf("%-7s %10s  %-16s  %s\n", EntryTypeName(type),
			IsFolderType(type) ? "-" : ReportText::Size(size).c_str(),
			ReportText::Date(date).c_str(), TerminalText(entries.GetString("path", i, "")).c_str());
	}
}

int BrowseCommand::Run(ServerConnection& server, ClientApplication&)
{
	BMessage list;
	status_t status = FetchBackups(server, &list);
	if (status != B_OK)
		return CannotRead(status);
	if (FindBackup(list, fBackup) < 0) {
		fprintf(stderr, "morvane: there is no backup '%s' (see 'morvane backups')\n",
			fBackup.c_str());
		return kExitFailure;
	}
	std::string path = CataloguePath(fBackup, fPath);
	BMessage entries;
	if (!fPath.empty()) {
		status = Browse(server, path, kLogReadEntry, &entries);
		if (status != B_OK)
			return CannotRead(status);
		if (CountOf(entries, "path") == 0) {
			fprintf(stderr, "morvane: backup '%s' holds no '%s'\n", fBackup.c_str(),
				fPath.c_str());
			return kExitFailure;
		}
		// A file or link lists as itself.
		if (!IsFolderType(entries.GetInt32("type", 0, -1))) {
			_Print(entries);
			return kExitSuccess;
		}
	}
	status = Browse(server, path, kLogReadChildren, &entries);
	if (status != B_OK)
		return CannotRead(status);
	_Print(entries);
	return kExitSuccess;
}

class DeleteCommand : public Command {
public:
	const char* Name() const override { return "delete"; }
	std::string Help() const override
	{
		return "Usage: morvane delete [--data] BACKUP...\n\n"
			"Removes the backups BACKUP (ids as 'morvane backups' shows them) from the\n"
			"catalogue.\n"
			"  --data   also delete the backups' data on their destination\n";
	}
	void Declare(CommandLine* line) const override { line->Flag("data"); }
	bool Check(const CommandLine& line, std::string* error) override
	{
		fData = line.Has("data");
		fNames = line.Operands();
		if (fNames.empty()) {
			*error = "delete needs at least one BACKUP";
			return false;
		}
		for (const std::string& name : fNames) {
			if (name.empty() || name.find('/') != std::string::npos) {
				*error = "'" + name + "' is not a backup id";
				return false;
			}
		}
		return true;
	}
	int Run(ServerConnection& server, ClientApplication&) override;

private:
	bool fData = false;
	std::vector<std::string> fNames;
};

int DeleteCommand::Run(ServerConnection& server, ClientApplication&)
{
	BMessage list;
	status_t status = FetchBackups(server, &list);
	if (status != B_OK)
		return CannotRead(status);
	for (const std::string& name : fNames) {
		if (FindBackup(list, name) < 0) {
			fprintf(stderr, "morvane: there is no backup '%s'; nothing was deleted\n",
				name.c_str());
			return kExitFailure;
		}
	}
	BMessage request(kMsgDeleteBackups);
	request.AddInt32("full", fData ? 1 : 0);
	for (const std::string& name : fNames)
		request.AddString("name", name);
	BMessage reply;
	status = server.Request(request, &reply, kDeleteTimeout);
	if (status != B_OK || reply.what != kMsgBackupsDeleted) {
		fprintf(stderr, "morvane: the server did not confirm the deletion%s%s\n",
			status != B_OK ? ": " : "", status != B_OK ? strerror_status(status) : "");
		return kExitFailure;
	}
	printf("Deleted %zu backup%s%s.\n", fNames.size(), fNames.size() == 1 ? "" : "s",
		fData ? " with their data" : " from the catalogue");
	return kExitSuccess;
}

}	// namespace

std::unique_ptr<Command> Make(const std::string& name)
{
	if (name == "backups")
		return std::make_unique<ListBackupsCommand>();
	if (name == "ls")
		return std::make_unique<BrowseCommand>();
	if (name == "delete")
		return std::make_unique<DeleteCommand>();
	return nullptr;
}

status_t FetchBackups(ServerConnection& server, BMessage* list)
{
	return Browse(server, "/", kLogReadChildren, list);
}

int32 FindBackup(const BMessage& list, const std::string& name)
{
	const char* candidate;
	for (int32 slot = 0; list.FindString("name", slot, &candidate) == B_OK; slot++) {
		if (name == candidate)
			return slot;
	}
	return -1;
}

status_t Browse(ServerConnection& server, const std::string& path, LogReadMode mode,
	BMessage* entries)
{
	return server.Request(MakeLogReadRequest(path.c_str(), mode), entries);
}

std::string CataloguePath(const std::string& backup, const std::string& path)
{
	if (path.empty())
		return "/" + backup;
	return "/" + backup + (path[0] == '/' ? "" : "/") + path;
}

const char* ModeName(int32 mode)
{
	switch (mode) {
		case 2: return "incremental";
		case 3: return "differential";
		default: return "full";
	}
}

const char* EntryTypeName(int32 type)
{
	switch (type) {
		case 0: return "file";
		case 1: return "folder";
		case 2: return "link";
		case 3: return "volume";
		default: return "?";
	}
}

bool IsFolderType(int32 type)
{
	return type == 1 || type == 3;
}

}	// namespace CatalogueCommands
