#pragma once

// `morvane compare`: compares a backup, or chosen paths of it, with the
// live files they were saved from, and follows the job. Exit status 0 when
// everything compared equal, 2 when anything differs or could not be read.
// --only names the compare items; by default all but the status change
// time, which no restore can set on Linux.

#include <string>

#include <app/Message.h>

#include "BackupItems.h"
#include "Command.h"
#include "JobSession.h"

class CompareCommand : public Command {
public:
	// The --only names, in the order of the job's compare items
	// (CompareFields.h).
	static constexpr int32 kItemCount = 9;
	static constexpr const char* kItemNames[kItemCount] = {"data", "attr", "size", "mdate",
		"cdate", "link", "perms", "uid", "gid"};

	const char* Name() const override { return "compare"; }
	std::string Help() const override;
	void Declare(CommandLine* line) const override;
	bool Check(const CommandLine& line, std::string* error) override;
	int Run(ServerConnection& server, ClientApplication& application) override;

	// The 'MVJA' job (without "client_id") for the resolved items.
	void BuildJob(const std::string& backupTitle, BMessage* job) const;

private:
	bool _CheckItems(const std::string& only, std::string* error);

	BackupItems fItems;
	// Without --only, every item but the status change time ("cdate").
	bool fCompared[kItemCount] = {true, true, true, true, false, true, true, true, true};
	std::string fTitle;
	bool fHold = false;
	FollowSettings fFollow;
};
