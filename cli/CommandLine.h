#pragma once

// The words of a command line after the command's name: options with or
// without a value, and the operands, with the errors a user must be told.
//
// Options are "--name" or "--name=value" or "--name value"; "--" ends them.
// What an option takes is declared before parsing, so that an unknown
// option or a missing value is an error the user sees.

#include <map>
#include <string>
#include <vector>

class CommandLine {
public:
	// Declares "--name"; takesValue: whether it needs a value;
	// repeatable: whether it may be given more than once.
	void Flag(const char* name);
	void Value(const char* name, bool repeatable = false);

	// False with Error() set when the words do not fit the declarations.
	bool Parse(const std::vector<std::string>& words);
	const std::string& Error() const { return fError; }

	bool Has(const char* name) const;
	// The option's (last) value, or the default.
	std::string Get(const char* name, const std::string& defaultValue = "") const;
	std::vector<std::string> GetAll(const char* name) const;
	const std::vector<std::string>& Operands() const { return fOperands; }

private:
	struct Option {
		bool takesValue = false;
		bool repeatable = false;
	};

	bool _Fail(const std::string& error);

	std::map<std::string, Option> fOptions;
	std::multimap<std::string, std::string> fGiven;
	std::vector<std::string> fOperands;
	std::string fError;
};
