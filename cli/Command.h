#pragma once

// One command of `morvane`. Main declares the command's options, parses the
// words, lets Check() judge them - all before the server is reached, so
// that bad arguments never start anything - and then runs it with a
// connection. A command object is used by one thread at a time.

#include <string>

#include "CommandLine.h"

class ClientApplication;
class ServerConnection;

class Command {
public:
	virtual ~Command() = default;

	virtual const char* Name() const = 0;
	// The text of 'morvane COMMAND --help'.
	virtual std::string Help() const = 0;
	// Declares the options beyond --help.
	virtual void Declare(CommandLine* line) const = 0;
	// Takes the parsed words; false with *error set when they do not fit.
	virtual bool Check(const CommandLine& line, std::string* error) = 0;
	// Carries the command out; the exit status.
	virtual int Run(ServerConnection& server, ClientApplication& application) = 0;
};

// A command that never talks to the server: it runs without starting one.
class LocalCommand : public Command {
public:
	virtual int RunLocally() = 0;
	int Run(ServerConnection&, ClientApplication&) override { return RunLocally(); }
};

// The options of a listing: "--json" and no operands. *json gets the flag.
inline bool CheckListingOptions(const CommandLine& line, const char* name, bool* json,
	std::string* error)
{
	*json = line.Has("json");
	if (line.Operands().empty())
		return true;
	*error = std::string(name) + " takes no arguments";
	return false;
}

// A listing of the server's: "--json" and no operands.
class ListingCommand : public Command {
public:
	void Declare(CommandLine* line) const override { line->Flag("json"); }
	bool Check(const CommandLine& line, std::string* error) override
	{
		return CheckListingOptions(line, Name(), &fJson, error);
	}

protected:
	bool fJson = false;
};
