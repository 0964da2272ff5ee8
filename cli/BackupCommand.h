#pragma once

// `morvane backup`: builds a backup job from the command line and submits
// it, then follows it unless told not to. Check() validates every option
// and translates the paths; BuildJob() gives the job message, so that both
// can be tried without a server.

#include <string>
#include <vector>

#include <app/Message.h>

#include "Command.h"
#include "JobType.h"
#include "JobSession.h"
#include "Schedule.h"
#include "SelectionBuilder.h"

class BackupCommand : public Command {
public:
	static constexpr size_t kMaxPasswordLength = 32;

	const char* Name() const override { return "backup"; }
	std::string Help() const override;
	void Declare(CommandLine* line) const override;
	bool Check(const CommandLine& line, std::string* error) override;
	int Run(ServerConnection& server, ClientApplication& application) override;

	// The 'MVJA' job as Check() left it (without "client_id").
	void BuildJob(BMessage* job) const;

private:
	bool _CheckMode(const CommandLine& line, std::string* error);
	bool _CheckSchedule(const CommandLine& line, std::string* error);
	bool _CheckPaths(const CommandLine& line, std::string* error);
	void _BuildDestination(BMessage* job) const;
	void _BuildCompressor(BMessage* job) const;

	int32 fJobType = kJobFullBackup;
	int32 fBaseId = 0;
	std::string fDestination;       // system path of the image folder
	std::string fTape;              // or the raw device path of the tape drive
	std::string fCompressor = "MVNone";
	std::string fTitle;
	std::string fPassword;
	bool fOverwrite = false;
	bool fHold = false;
	bool fScheduled = false;
	Schedule fSchedule;
	SelectionBuilder fSelection;
	FollowSettings fFollow;
};
