// The words of the user unit: quoted so that systemd reads back exactly the
// path and variables it was given.

#include "UserService.h"

#include <gtest/gtest.h>

TEST(UserServiceTest, QuotesWordsForTheUnit)
{
	struct Case {
		const char* word;
		bool exec;
		const char* quoted;     // null: refused
	};
	const Case cases[] = {
		{"/opt/Morvane Backup/MorvaneServer", true, "\"/opt/Morvane Backup/MorvaneServer\""},
		{"a\"b\\c", true, "\"a\\\"b\\\\c\""},
		{"100%$HOME", true, "\"100%%$$HOME\""},
		{"V=100%$HOME", false, "\"V=100%%$HOME\""},
		{"line\nbreak", true, nullptr},
		{"tab\there", false, nullptr},
	};
	for (const Case& test : cases) {
		std::string quoted;
		bool accepted = UserService::QuoteForUnit(test.word, test.exec, &quoted);
		EXPECT_EQ(accepted, test.quoted != nullptr) << test.word;
		if (accepted && test.quoted != nullptr) {
			EXPECT_EQ(quoted, test.quoted) << test.word;
		}
	}
}
