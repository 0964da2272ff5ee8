#pragma once

// `morvane restore`: restores a backup, or chosen paths of it, to the
// places they were saved from or into another folder. A protected backup's
// password is checked with the server before a job is made. Check()
// validates the options without a server.

#include <string>
#include <vector>

#include <app/Message.h>

#include "BackupItems.h"
#include "Command.h"
#include "JobSession.h"

class RestoreCommand : public Command {
public:
	using Item = BackupItems::Item;

	const char* Name() const override { return "restore"; }
	std::string Help() const override;
	void Declare(CommandLine* line) const override;
	bool Check(const CommandLine& line, std::string* error) override;
	int Run(ServerConnection& server, ClientApplication& application) override;

	// The 'MVJA' job (without "client_id").
	void BuildJob(const std::vector<Item>& items, const std::string& title,
		BMessage* job) const;

	int32 OverwriteMode() const { return fOverwrite; }
	const std::string& Target() const { return fTarget; }

private:
	int _MakeTarget() const;

	BackupItems fItems;
	std::string fTarget;            // system path; empty: the original places
	std::string fTargetNative;
	int32 fOverwrite = 0;
	bool fCreateRoot = false;
	FollowSettings fFollow;
};
