// The morvane program of a copy of the installed tree, run as a user runs it.

#include <gtest/gtest.h>

#include <app/Application.h>
#include <app/Message.h>
#include <app/Roster.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "ServerProtocol.h"
#include "ServerTree.h"
#include "TestFolder.h"

namespace {

constexpr bigtime_t kPatience = 20000000;

struct Result {
	int exitCode = -1;
	std::string output;
};

class MorvaneCommandTest : public ::testing::Test {
protected:
	void TearDown() override
	{
		// A server the command started must end before its tree goes.
		BMessenger server(kServerSignature);
		if (!server.IsValid())
			return;
		(void)server.SendMessage(B_QUIT_REQUESTED);
		for (bigtime_t start = system_time(); server.IsValid()
				&& system_time() - start < kPatience;) {
			(void)snooze(10000);
		}
	}

	Result Run(const std::vector<std::string>& arguments,
		const std::vector<std::string>& environment = {})
	{
		Result result;
		ChildProcess process;
		std::string program = fTree.ServerFolder() + "/../morvane";
		std::vector<std::string> variables = fTree.Environment();
		variables.insert(variables.end(), environment.begin(), environment.end());
		if (process.Start(program, arguments, variables,
				ChildProcess::Output::Pipe) != B_OK) {
			return result;
		}
		std::string line;
		while (process.ReadLine(&line, kPatience))
			result.output += line + "\n";
		process.AwaitExit(kPatience, &result.exitCode);
		return result;
	}

	ServerTree fTree;
};

}	// namespace

// Bad arguments end with status 64 before any server is started.
TEST_F(MorvaneCommandTest, BadArgumentsStartNothing)
{
	ASSERT_TRUE(fTree.IsValid());
	for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
			{}, {"frobnicate"}, {"jobs", "--bogus"}, {"jobs", "extra"}, {"pause"},
			{"pause", "abc"}, {"abort", "0"}, {"remove", "1", "2"}, {"start", "99999999999"}, {"start", "-x"},
			{"desktop"}, {"desktop", "remove"}, {"desktop", "install", "now"}}) {
		EXPECT_EQ(Run(arguments).exitCode, 64) << ::testing::PrintToString(arguments);
	}
	EXPECT_FALSE(be_roster->IsRunning(kServerSignature));

	Result help = Run({"--help"});
	EXPECT_EQ(help.exitCode, 0);
	EXPECT_NE(help.output.find("Commands:"), std::string::npos);
	Result jobsHelp = Run({"jobs", "--help"});
	EXPECT_EQ(jobsHelp.exitCode, 0);
	EXPECT_NE(jobsHelp.output.find("--json"), std::string::npos);
}

// The command starts the server beside it, lists the queue and names a job that is not there.
TEST_F(MorvaneCommandTest, StartsTheServerAndListsJobs)
{
	ASSERT_TRUE(fTree.IsValid());
	Result jobs = Run({"jobs"});
	EXPECT_EQ(jobs.exitCode, 0);
	EXPECT_EQ(jobs.output, "No jobs are queued.\n");
	EXPECT_TRUE(be_roster->IsRunning(kServerSignature));
	Result json = Run({"jobs", "--json"});
	EXPECT_EQ(json.exitCode, 0);
	EXPECT_EQ(json.output, "[]\n");
	EXPECT_EQ(Run({"pause", "4242"}).exitCode, 3);
	EXPECT_EQ(Run({"pause", "-4242"}).exitCode, 3);
}

// A queued job is listed and can be removed by its id.
TEST_F(MorvaneCommandTest, ListsAndRemovesQueuedJobs)
{
	ASSERT_TRUE(fTree.IsValid());
	ASSERT_EQ(Run({"jobs"}).exitCode, 0);
	// This test registers as a client too, so that the server stays up.
	BApplication client("application/x-vnd.morvane-cli-test");
	BMessenger server(kServerSignature);
	BMessage add(kMsgAddClient);
	add.AddInt32("client_id", current_team());
	ASSERT_EQ(server.SendMessage(&add), B_OK);

	BMessage schedule;
	schedule.AddTime("TIME", int32(time(nullptr)) + 3600);
	BMessage start;
	start.AddString("title", "Photos");
	start.AddInt32("submitonhold", 1);
	BMessage job(kMsgJobAdd);
	job.AddInt32("job_type", kJobFullBackup);
	job.AddMessage("scheduler", &schedule);
	job.AddMessage("start_info", &start);
	BMessage accepted;
	ASSERT_EQ(server.SendMessage(&job, &accepted, B_INFINITE_TIMEOUT, kPatience), B_OK);
	ASSERT_EQ(accepted.what, uint32(kMsgJobAccepted));
	std::string jobId = std::to_string(accepted.GetInt32("job_id", 0));

	Result listed = Run({"jobs"});
	EXPECT_EQ(listed.exitCode, 0);
	EXPECT_NE(listed.output.find(jobId + " "), std::string::npos) << listed.output;
	EXPECT_NE(listed.output.find("full backup"), std::string::npos);
	EXPECT_NE(listed.output.find("paused"), std::string::npos);
	EXPECT_NE(listed.output.find("Photos"), std::string::npos);
	Result json = Run({"jobs", "--json"});
	EXPECT_NE(json.output.find("\"id\":" + jobId + ","), std::string::npos) << json.output;

	EXPECT_EQ(Run({"remove", jobId}).exitCode, 0);
	EXPECT_EQ(Run({"jobs"}).output, "No jobs are queued.\n");
	BMessage remove(kMsgRemoveClient);
	remove.AddInt32("client_id", current_team());
	(void)server.SendMessage(&remove);
}

// The service command writes, enables, shows and removes the user unit
// through systemctl (here a stand-in on the PATH that logs its calls), and
// says what to do where no systemd user instance answers; it never starts
// the server. A scheduled backup tells once that no service is installed.
TEST_F(MorvaneCommandTest, ServiceInstallsTheServerAsAUserUnit)
{
	ASSERT_TRUE(fTree.IsValid());
	TestFolder folder;
	std::string calls = folder / "calls";
	// The stand-in answers like systemd; "down" makes it a machine without a
	// user instance.
	folder.WriteFile("bin/systemctl", "#!/bin/sh\n"
		"echo \"$*\" >>'" + calls + "'\n"
		"[ -e '" + (folder / "down") + "' ] && { echo 'Failed to connect to bus'; exit 1; }\n"
		"[ -e '" + (folder / "refuse") + "' ] && [ \"$2\" = enable ] && exit 1\n"
		"case \"$2\" in is-enabled) echo enabled;; is-active) echo active;; esac\n");
	std::filesystem::permissions(folder / "bin/systemctl", std::filesystem::perms::owner_all);
	std::vector<std::string> path = {"PATH=" + (folder / "bin") + ":/usr/bin:/bin"};
	std::string unit = fTree.ServerFolder() + "/../../config/systemd/user/morvane-server.service";

	// A unit systemd does not enable is a failure, and is not left behind.
	folder.WriteFile("refuse", "");
	EXPECT_EQ(Run({"service", "install"}, path).exitCode, 3);
	EXPECT_FALSE(ReadWholeFile(unit).has_value());
	std::filesystem::remove(folder / "refuse");
	std::filesystem::remove(calls);

	EXPECT_EQ(Run({"service", "status"}, path).exitCode, 3);
	Result install = Run({"service", "install"}, path);
	ASSERT_EQ(install.exitCode, 0) << install.output;
	std::string text = ReadWholeFile(unit).value_or("");
	std::string server = std::filesystem::canonical(fTree.ServerFolder()).string()
		+ "/MorvaneServer";
	for (const std::string& expected : {"ExecStart=\"" + server + "\" --daemon\n",
			"Environment=\"MORVANE_VOLUMES=" + std::string(ServerTree::kVolumeName) + "=",
			std::string("WantedBy=default.target\n")}) {
		EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
	}
	Result status = Run({"service", "status"}, path);
	EXPECT_EQ(status.exitCode, 0);
	EXPECT_NE(status.output.find("Enabled: enabled\nActive: active\n"), std::string::npos)
		<< status.output;
	Result remove = Run({"service", "remove"}, path);
	EXPECT_EQ(remove.exitCode, 0) << remove.output;
	EXPECT_FALSE(ReadWholeFile(unit).has_value());
	EXPECT_EQ(ReadWholeFile(calls).value_or(""), "--user show-environment\n"
		"--user daemon-reload\n--user enable --now morvane-server.service\n"
		"--user show-environment\n--user is-enabled morvane-server.service\n"
		"--user is-active morvane-server.service\n"
		"--user show-environment\n--user disable --now morvane-server.service\n"
		"--user daemon-reload\n");

	// Without a user instance, or without systemctl at all, nothing is written.
	folder.WriteFile("down", "");
	for (const std::vector<std::string>& environment : {path,
			std::vector<std::string>{"PATH=" + folder.MakeFolder("empty")}}) {
		EXPECT_EQ(Run({"service", "install"}, environment).exitCode, 3);
		EXPECT_FALSE(ReadWholeFile(unit).has_value());
	}
	EXPECT_FALSE(be_roster->IsRunning(kServerSignature));

	const std::vector<std::string> scheduled = {"backup", "--hold", "--every", "1d", "--to",
		fTree.ServerFolder() + "/../../images", fTree.ServerFolder()};
	Result first = Run(scheduled);
	EXPECT_EQ(first.exitCode, 0) << first.output;
	EXPECT_NE(first.output.find("no service starts it at boot"), std::string::npos)
		<< first.output;
	Result second = Run(scheduled);
	EXPECT_EQ(second.exitCode, 0) << second.output;
	EXPECT_EQ(second.output.find("no service"), std::string::npos) << second.output;
}

// The desktop command copies the tree's menu entry, MIME types and icons into
// $XDG_DATA_HOME, with Exec naming the tree's GUI program, runs the cache
// programs it finds (here stand-ins on the PATH that log their calls) and
// removes the files again; either may run twice. It never starts the server.
TEST_F(MorvaneCommandTest, DesktopInstallsAndRemovesTheMenuEntry)
{
	ASSERT_TRUE(fTree.IsValid());
	TestFolder folder;
	std::string data = folder / "data";
	std::string calls = folder / "calls";
	for (const char* program : {"update-mime-database", "update-desktop-database"}) {
		std::string stub = folder.WriteFile(std::string("bin/") + program, "#!/bin/sh\n"
			"echo \"${0##*/} $*\" >>'" + calls + "'\n"
			"[ -e '" + (folder / "fail") + "' ] && exit 1\n"
			"exit 0\n");
		std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
	}
	const std::vector<std::string> environment = {"XDG_DATA_HOME=" + data,
		"PATH=" + (folder / "bin") + ":/usr/bin:/bin"};
	const std::string refreshed = "update-mime-database " + data + "/mime\n"
		"update-desktop-database " + data + "/applications\n";
	std::string tree = std::filesystem::canonical(fTree.ServerFolder() + "/..").string();
	// Where desktops look for each file of the tree's desktop/ folder.
	const std::pair<std::string, std::string> kPlaces[] = {
		{"morvane-backup.xml", "mime/packages/morvane-backup.xml"},
		{"icons/hicolor/scalable/apps/morvane-backup.svg",
			"icons/hicolor/scalable/apps/morvane-backup.svg"},
		{"icons/hicolor/48x48/apps/morvane-backup.png", "icons/hicolor/48x48/apps/morvane-backup.png"},
		{"icons/hicolor/256x256/apps/morvane-backup.png",
			"icons/hicolor/256x256/apps/morvane-backup.png"},
	};
	std::string entry = data + "/applications/morvane-backup.desktop";

	// An entry that would start nothing is not installed.
	std::filesystem::remove(tree + "/MorvaneBackup");
	EXPECT_EQ(Run({"desktop", "install"}, environment).exitCode, 3);
	EXPECT_FALSE(std::filesystem::exists(data));

	std::ofstream(tree + "/MorvaneBackup") << "#!/bin/sh\n";
	std::filesystem::permissions(tree + "/MorvaneBackup", std::filesystem::perms::owner_all);
	for (int round = 0; round < 2; round++) {
		Result install = Run({"desktop", "install"}, environment);
		ASSERT_EQ(install.exitCode, 0) << install.output;
	}
	for (const auto& [source, target] : kPlaces) {
		std::optional<std::string> installed = ReadWholeFile(data + "/" + target);
		ASSERT_TRUE(installed.has_value()) << target;
		EXPECT_EQ(installed, ReadWholeFile(tree + "/desktop/" + source)) << target;
	}
	std::string text = ReadWholeFile(entry).value_or("");
	for (const std::string& expected : {"\nExec=\"" + tree + "/MorvaneBackup\" %F\n",
			std::string("\nIcon=morvane-backup\n"),
			std::string("application/x-vnd.morvanesoft-compareselection;")}) {
		EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
	}
	EXPECT_EQ(ReadWholeFile(calls).value_or(""), refreshed + refreshed);

	// A cache program that fails is a failure; the files stay for the next try.
	folder.WriteFile("fail", "");
	EXPECT_EQ(Run({"desktop", "install"}, environment).exitCode, 3);
	EXPECT_TRUE(ReadWholeFile(entry).has_value());
	std::filesystem::remove(folder / "fail");
	std::filesystem::remove(calls);

	Result uninstall = Run({"desktop", "uninstall"}, environment);
	EXPECT_EQ(uninstall.exitCode, 0) << uninstall.output;
	EXPECT_FALSE(ReadWholeFile(entry).has_value());
	for (const auto& [source, target] : kPlaces)
		EXPECT_FALSE(ReadWholeFile(data + "/" + target).has_value()) << target;
	Result again = Run({"desktop", "uninstall"}, environment);
	EXPECT_EQ(again.exitCode, 0);
	EXPECT_NE(again.output.find("No desktop files"), std::string::npos) << again.output;
	EXPECT_EQ(ReadWholeFile(calls).value_or(""), refreshed);

	// Missing cache programs are a note; a relative XDG_DATA_HOME does not
	// count, so the files go below HOME.
	const std::vector<std::string> bare = {"XDG_DATA_HOME=relative", "HOME=" + (folder / "home"),
		"PATH=" + folder.MakeFolder("empty")};
	Result noted = Run({"desktop", "install"}, bare);
	EXPECT_EQ(noted.exitCode, 0) << noted.output;
	EXPECT_NE(noted.output.find("Note: update-mime-database is not installed"),
		std::string::npos) << noted.output;
	std::string homeEntry = folder / "home/.local/share/applications/morvane-backup.desktop";
	EXPECT_TRUE(ReadWholeFile(homeEntry).has_value());
	EXPECT_EQ(Run({"desktop", "uninstall"}, bare).exitCode, 0);
	EXPECT_FALSE(ReadWholeFile(homeEntry).has_value());
	EXPECT_FALSE(be_roster->IsRunning(kServerSignature));
}
