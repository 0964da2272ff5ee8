// The menu entry's Exec line: the GUI program's absolute path, quoted so
// that a desktop reads back exactly that path, with the entry's field codes.

#include "DesktopIntegration.h"

#include <gtest/gtest.h>

TEST(DesktopIntegrationTest, QuotesTheProgramForTheExecLine)
{
	struct Case {
		const char* word;
		const char* quoted;     // null: refused
	};
	const Case cases[] = {
		{"/opt/Morvane Backup/MorvaneBackup", "\"/opt/Morvane Backup/MorvaneBackup\""},
		{"/a\"b`c$d", "\"/a\\\\\"b\\\\`c\\\\$d\""},
		{"/back\\slash", "\"/back\\\\\\\\slash\""},
		{"/100%/x", "\"/100%%/x\""},
		{"/line\nbreak", nullptr},
		{"/tab\there", nullptr},
	};
	for (const Case& test : cases) {
		std::string quoted;
		bool accepted = DesktopIntegration::QuoteExecWord(test.word, &quoted);
		EXPECT_EQ(accepted, test.quoted != nullptr) << test.word;
		if (accepted && test.quoted != nullptr) {
			EXPECT_EQ(quoted, test.quoted) << test.word;
		}
	}
}

TEST(DesktopIntegrationTest, PutsTheProgramIntoTheEntrysExecLine)
{
	struct Case {
		const char* entry;
		const char* expected;   // null: refused
	};
	const Case cases[] = {
		{"[Desktop Entry]\nName=M\nExec=MorvaneBackup %F\nIcon=m\n",
			"[Desktop Entry]\nName=M\nExec=\"/t/MorvaneBackup\" %F\nIcon=m\n"},
		{"Exec=MorvaneBackup\n", "Exec=\"/t/MorvaneBackup\"\n"},
		{"[Desktop Entry]\nExec=MorvaneBackup %U", "[Desktop Entry]\nExec=\"/t/MorvaneBackup\" %U"},
		// Only the entry's own line; a key that merely ends in "Exec" is another key.
		{"[Desktop Entry]\nTryExec=x\nExec=a %F\n[Desktop Action New]\nExec=a --new\n",
			"[Desktop Entry]\nTryExec=x\nExec=\"/t/MorvaneBackup\" %F\n"
			"[Desktop Action New]\nExec=a --new\n"},
		{"[Desktop Entry]\nName=M\n", nullptr},
	};
	for (const Case& test : cases) {
		std::string text;
		std::string error;
		bool accepted = DesktopIntegration::EntryForProgram(test.entry, "/t/MorvaneBackup",
			&text, &error);
		EXPECT_EQ(accepted, test.expected != nullptr) << test.entry;
		if (accepted && test.expected != nullptr) {
			EXPECT_EQ(text, test.expected);
		} else {
			EXPECT_FALSE(error.empty());
		}
	}
	std::string text;
	std::string error;
	EXPECT_FALSE(DesktopIntegration::EntryForProgram("Exec=a\n", "/x\ny", &text, &error));
}
