#pragma once

// The end-to-end fixture: a copy of the installed tree (ServerTree) whose
// servers see two more volumes, "Source" (a test folder holding the trees to
// back up) and "ReadOnly" (a read-only folder), and a helper that runs the
// tree's `morvane` with arguments and captures its output and exit status.
// A server the commands started is asked to quit before the tree goes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
	// Native path inside the source volume.
	std::string Source(const std::string& name) const { return fSource / name; }
	std::string ReadOnlyFolder() const { return fReadOnly.Path(); }
	std::string LogDataFolder() const { return fTree.ServerFolder() + "/logdata"; }
	// The ids of "morvane backups --json", in catalogue order.
	std::vector<std::string> BackupIds();

	// Declared before the processes it starts, so that they end first.
	ServerTree fTree;
	TestFolder fSource;
	TestFolder fReadOnly;
};
