#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

CommandLine Declared()
{
	CommandLine line;
	line.Flag("json");
	line.Value("to");
	line.Value("exclude", true);
	return line;
}

}	// namespace

// Options take their values in every spelling, repeat only when declared so, and "--" ends them.
TEST(CommandLineTest, OptionsValuesAndOperands)
{
	CommandLine line = Declared();
	ASSERT_TRUE(line.Parse({"/home/a", "--to=/backups", "--exclude", "/home/a/tmp", "--json",
		"--exclude=/home/a/cache", "--", "--not-an-option"}));
	EXPECT_TRUE(line.Has("json"));
	EXPECT_EQ(line.Get("to"), "/backups");
	EXPECT_EQ(line.GetAll("exclude"), (std::vector<std::string>{"/home/a/tmp", "/home/a/cache"}));
	EXPECT_EQ(line.Operands(), (std::vector<std::string>{"/home/a", "--not-an-option"}));
	EXPECT_EQ(line.Get("missing", "default"), "default");
	EXPECT_FALSE(line.Has("missing"));
}

// Every misuse is refused with a message that names the option.
TEST(CommandLineTest, MisuseIsAnError)
{
	struct Case {
		std::vector<std::string> words;
		const char* error;
	};
	for (const Case& bad : std::vector<Case>{
			{{"--unknown"}, "unknown option '--unknown'"},
			{{"-x"}, "unknown option '-x'"},
			{{"--to"}, "option '--to' needs a value"},
			{{"--json=yes"}, "option '--json' takes no value"},
			{{"--to", "a", "--to", "b"}, "option '--to' is given twice"},
			{{"--json", "--json"}, "option '--json' is given twice"}}) {
		CommandLine line = Declared();
		EXPECT_FALSE(line.Parse(bad.words));
		EXPECT_EQ(line.Error(), bad.error);
	}
	// A lone "-" and negative numbers (job ids may be negative) are operands.
	CommandLine line = Declared();
	ASSERT_TRUE(line.Parse({"-", "-217085402"}));
	EXPECT_EQ(line.Operands(), (std::vector<std::string>{"-", "-217085402"}));
}
