#pragma once

// `morvane restore`: restores a backup, or chosen paths of it, to the
// places they were saved from or into another folder. A protected backup's
// password is checked with the server before a job is made. Check()
// validates the options without a server; BuildSelection() makes the
// job's selection from catalogue paths.

#include <string>
#include <vector>

#include <app/Message.h>

#include "Command.h"
#include "JobSession.h"

class RestoreCommand : public Command {
public:
	// A catalogue path inside the backup ("" for the whole backup) and
	// whether it names a folder or volume.
	struct Item {
		std::string path;
		bool isFolder;
	};

	const char* Name() const override { return "restore"; }
	std::string Help() const override;
	void Declare(CommandLine* line) const override;
	bool Check(const CommandLine& line, std::string* error) override;
	int Run(ServerConnection& server, ClientApplication& application) override;

	// "SELECTION" lines "INCLUDE /<backup><path>" ("/*" for folders) and,
	// with a target folder (a system path), the redirection pairs
	// "source" = "REDIREC " + the same path, "redirect" = target.
	static void BuildSelection(const std::string& backup, const std::vector<Item>& items,
		const std::string& target, BMessage* selection);
	// The 'MVJA' job (without "client_id").
	void BuildJob(const std::vector<Item>& items, const std::string& title,
		BMessage* job) const;

	int32 OverwriteMode() const { return fOverwrite; }
	const std::string& Target() const { return fTarget; }

private:
	int _CheckPassword(ServerConnection& server, const BMessage& list, int32 slot);
	int _FindItems(ServerConnection& server, std::vector<Item>* items);
	int _MakeTarget() const;

	std::string fBackup;
	std::vector<std::string> fPaths;
	std::string fTarget;            // system path; empty: the original places
	std::string fTargetNative;
	int32 fOverwrite = 0;
	bool fCreateRoot = false;
	std::string fPassword;
	bool fHasPassword = false;
	FollowSettings fFollow;
};
