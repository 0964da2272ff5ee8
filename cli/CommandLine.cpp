#include "CommandLine.h"

#include <cctype>
#include <iterator>

void CommandLine::Flag(const char* name)
{
	fOptions[name] = Option{false, false};
}

void CommandLine::Value(const char* name, bool repeatable)
{
	fOptions[name] = Option{true, repeatable};
}

bool CommandLine::_Fail(const std::string& error)
{
	fError = error;
	return false;
}

bool CommandLine::Parse(const std::vector<std::string>& words)
{
	bool optionsEnded = false;
	for (size_t i = 0; i < words.size(); i++) {
		const std::string& word = words[i];
		if (optionsEnded || word.size() < 3 || word.compare(0, 2, "--") != 0) {
			if (word == "--") {
				optionsEnded = true;
				continue;
			}
			// A negative number ("-12") is an operand: job ids may be negative.
			bool isNumber = word.size() > 1 && isdigit((unsigned char)word[1]);
			if (!optionsEnded && word.size() > 1 && word[0] == '-' && !isNumber)
				return _Fail("unknown option '" + word + "'");
			fOperands.push_back(word);
			continue;
		}
		size_t equals = word.find('=');
		std::string name = word.substr(2, equals == std::string::npos ? std::string::npos
			: equals - 2);
		auto option = fOptions.find(name);
		if (option == fOptions.end())
			return _Fail("unknown option '--" + name + "'");
		if (!option->second.repeatable && fGiven.count(name) != 0)
			return _Fail("option '--" + name + "' is given twice");
		if (!option->second.takesValue) {
			if (equals != std::string::npos)
				return _Fail("option '--" + name + "' takes no value");
			fGiven.emplace(name, "");
			continue;
		}
		if (equals != std::string::npos) {
			fGiven.emplace(name, word.substr(equals + 1));
		} else if (i + 1 < words.size()) {
			fGiven.emplace(name, words[++i]);
		} else {
			return _Fail("option '--" + name + "' needs a value");
		}
	}
	return true;
}

bool CommandLine::Has(const char* name) const
{
	return fGiven.count(name) != 0;
}

std::string CommandLine::Get(const char* name, const std::string& defaultValue) const
{
	auto range = fGiven.equal_range(name);
	if (range.first == range.second)
		return defaultValue;
	return std::prev(range.second)->second;
}

std::vector<std::string> CommandLine::GetAll(const char* name) const
{
	std::vector<std::string> values;
	auto range = fGiven.equal_range(name);
	for (auto it = range.first; it != range.second; ++it)
		values.push_back(it->second);
	return values;
}
