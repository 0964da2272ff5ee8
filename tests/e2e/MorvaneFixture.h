#pragma once

// The end-to-end fixture: a copy of the installed tree (ServerTree) whose
// servers see two more volumes, "Source" (a test folder holding the trees to
// back up) and "ReadOnly" (a read-only folder), and a helper that runs the
// tree's `morvane` with arguments and captures its output and exit status.
// A test may add a removable volume "Media" before its first command; every
// command of a test must see the same volumes, since the first one starts
// the server with them. A server the commands started is asked to quit
// before the tree goes.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ServerTree.h"
#include "TestFolder.h"

struct CommandResult {
	int exitCode = -1;
	std::string output;     // what the command printed on stdout
};

class MorvaneFixture : public ::testing::Test {
protected:
	static constexpr bigtime_t kPatience = 60000000;

	void SetUp() override;
	void TearDown() override;

	CommandResult Run(const std::vector<std::string>& arguments);
	// Starts `morvane` without waiting for it; Finish() collects what it
	// printed and its exit status. The process ends with the test at the latest.
	std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& arguments);
	CommandResult Finish(ChildProcess& process);

	// Runs the tree's `vtape` on the test's virtual tape folder, and the
	// shell command that does (for --on-media-change).
	CommandResult RunVtape(const std::vector<std::string>& arguments);
	std::string VtapeCommand(const std::string& arguments) const;
	static constexpr const char* kTapeDrive = "/dev/bus/scsi/9/0/0/raw";

	// Native path inside the source volume.
	std::string Source(const std::string& name) const { return fSource / name; }
	std::string ReadOnlyFolder() const { return fReadOnly.Path(); }
	std::string LogDataFolder() const { return fTree.ServerFolder() + "/logdata"; }
	// The path of a native file as this process's kit names it ("/<volume>/...").
	static std::string SystemPath(const std::string& native);
	// The ids of "morvane backups --json", in catalogue order.
	std::vector<std::string> BackupIds();
	// The state "morvane jobs --json" gives a job ("" when it is not queued).
	std::string JobState(const std::string& jobId);
	// The job id of "Job N submitted." in a command's output.
	static std::string SubmittedJobId(const std::string& output);

	// Adds the removable volume "Media" of the given capacity, counted in
	// whole blocks of blockSize bytes when it is given; its medium is the
	// folder MediaFolder(), and ejected media go beside it.
	void AddMediaVolume(int64 capacity, int64 blockSize = 0);
	std::string MediaFolder() const { return fMedia / "media"; }
	// A shell command for --on-media-change that puts the medium labelled
	// with the next number (a file "label-N" in it: 1, 2, ...) into the
	// drive; it fails when no such medium is there.
	std::string InsertNextLabelledMedium() const;
	// Writes into the source folder a file "spans" too large for one medium
	// of a 400000-byte drive and a small file "tail", and backs the folder
	// up to "Media" (added before), a blank medium answering the question;
	// the backup's result. *spans (when given) gets the large file's text.
	CommandResult BackUpOverTwoMedia(const std::string& folder, std::string* spans = nullptr);

	// Declared before the processes it starts, so that they end first.
	ServerTree fTree;
	TestFolder fSource;
	TestFolder fReadOnly;
	TestFolder fMedia;
	TestFolder fTapes;

private:
	std::vector<std::string> _Environment() const;

	int64 fMediaCapacity = 0;
	int64 fMediaBlockSize = 0;
};
