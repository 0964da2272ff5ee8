#include "ServerTree.h"

#include <filesystem>

#include <app/Roster.h>

#include "AwaitCondition.h"

namespace fs = std::filesystem;

ServerTree::ServerTree()
{
	std::error_code error;
	fs::copy(MORVANE_DIST_DIR, fFolder / "MorvaneBackup",
		fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
	fValid = !error && fs::exists(ServerProgram());
}

std::string ServerTree::ServerFolder() const
{
	return fFolder / "MorvaneBackup/Backup_Server";
}

std::string ServerTree::ServerProgram() const
{
	return ServerFolder() + "/MorvaneServer";
}

std::string ServerTree::LogPath() const
{
	return ServerFolder() + "/server.log";
}

std::vector<std::string> ServerTree::Environment() const
{
	// The tree's own config folder: no test touches the user's.
	return {std::string("MORVANE_VOLUMES=") + kVolumeName + "=" + fFolder.Path(),
		"XDG_CONFIG_HOME=" + fFolder.Path() + "/config"};
}

std::unique_ptr<ChildProcess> ServerTree::StartServer(
	const std::vector<std::string>& arguments) const
{
	auto server = std::make_unique<ChildProcess>();
	if (server->Start(ServerProgram(), arguments, Environment()) != B_OK)
		return nullptr;
	return server;
}

std::string ServerTree::ReadLog() const
{
	return ReadWholeFile(LogPath()).value_or("");
}

bool ServerTree::AwaitLogLine(const std::string& text, bigtime_t timeout) const
{
	return AwaitCondition([&] { return ReadLog().find(text) != std::string::npos; }, timeout);
}

bool AwaitRegistered(team_id team, bigtime_t timeout)
{
	return AwaitCondition([team] {
		app_info info;
		return be_roster->GetRunningAppInfo(team, &info) == B_OK;
	}, timeout);
}
