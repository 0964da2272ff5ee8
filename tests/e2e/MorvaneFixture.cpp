#include "MorvaneFixture.h"

#include <filesystem>

#include <app/Messenger.h>

#include "ChildProcess.h"
#include "ServerProtocol.h"

void MorvaneFixture::SetUp()
{
	ASSERT_TRUE(fTree.IsValid());
}

void MorvaneFixture::TearDown()
{
	BMessenger server(kServerSignature);
	if (!server.IsValid())
		return;
	(void)server.SendMessage(B_QUIT_REQUESTED);
	for (bigtime_t start = system_time(); server.IsValid() && system_time() - start < kPatience;)
		snooze(10000);
}

CommandResult MorvaneFixture::Run(const std::vector<std::string>& arguments)
{
	CommandResult result;
	std::string root = std::filesystem::canonical(fTree.ServerFolder() + "/../..").string();
	std::vector<std::string> environment = {std::string("MORVANE_VOLUMES=")
		+ ServerTree::kVolumeName + "=" + root + ";Source=" + fSource.Path() + ";ReadOnly="
		+ fReadOnly.Path() + ",ro"};
	ChildProcess process;
	if (process.Start(fTree.ServerFolder() + "/../morvane", arguments, environment,
			ChildProcess::Output::Pipe) != B_OK) {
		return result;
	}
	std::string line;
	while (process.ReadLine(&line, kPatience))
		result.output += line + "\n";
	process.AwaitExit(kPatience, &result.exitCode);
	return result;
}

std::vector<std::string> MorvaneFixture::BackupIds()
{
	std::vector<std::string> ids;
	std::string json = Run({"backups", "--json"}).output;
	const std::string key = "\"id\":\"";
	for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at)) {
		at += key.size();
		ids.push_back(json.substr(at, json.find('"', at) - at));
	}
	return ids;
}
