// morvane: the command-line client of the backup server.
//
// It finds the server beside itself (Backup_Server/MorvaneServer), starts it
// when it does not run, registers as a client like the GUI, and speaks the
// server's message protocol. Every argument is checked before the server is
// reached: bad arguments end with exit status 64 and start nothing.

#include <cstdio>
#include <string>
#include <vector>

#include "ClientApplication.h"
#include "CommandTable.h"
#include "ExitStatus.h"
#include "ReportText.h"
#include "ServerConnection.h"

namespace {

constexpr const char* kClientSignature = "application/x-vnd.morvanesoft-backup-cli";

int UsageError(const std::string& message)
{
	fprintf(stderr, "morvane: %s\nTry 'morvane --help'.\n", message.c_str());
	return kExitUsage;
}

}	// namespace

int main(int argc, char** argv)
{
	std::vector<std::string> words(argv + 1, argv + argc);
	if (words.empty())
		return UsageError("no command given");
	std::string name = words.front();
	words.erase(words.begin());
	if (name == "--help" || name == "-h" || name == "help") {
		fputs(CommandTable::Usage(), stdout);
		return kExitSuccess;
	}
	std::unique_ptr<Command> command = CommandTable::Make(name);
	if (!command)
		return UsageError("unknown command '" + name + "'");

	CommandLine line;
	line.Flag("help");
	command->Declare(&line);
	if (!line.Parse(words))
		return UsageError(name + ": " + line.Error());
	if (line.Has("help")) {
		fputs(command->Help().c_str(), stdout);
		return kExitSuccess;
	}
	std::string error;
	if (!command->Check(line, &error))
		return UsageError(name + ": " + error);

	if (auto* local = dynamic_cast<LocalCommand*>(command.get()))
		return local->RunLocally();
	ReportText::UseEnglish();
	ClientApplication application(kClientSignature);
	return application.RunCommand([&] {
		ServerConnection server;
		if (server.Connect() != B_OK) {
			fprintf(stderr, "morvane: %s\n", server.Error().c_str());
			return int(kExitNoServer);
		}
		int result = command->Run(server, application);
		fflush(stdout);
		return result;
	});
}
