#include <gtest/gtest.h>

#include "TerminalText.h"

// Control characters are escaped so that one name stays on one line and
// cannot steer the terminal; everything else passes as it is.
TEST(TerminalTextTest, EscapesControlCharactersOnly)
{
	struct Case {
		std::string text;
		std::string shown;
	};
	const Case cases[] = {
		{"plain name.txt", "plain name.txt"},
		{"two\nlines", "two\\nlines"},
		{"cr\rhere", "cr\\rhere"},
		{"tab\tstays", "tab\tstays"},
		{"\x1b[31mred", "\\x1b[31mred"},
		{std::string("nul\0in", 6), "nul\\x00in"},
		{"del\x7f", "del\\x7f"},
		{"csi\xc2\x9b" "2J", "csi\\x9b2J"},
		{"Gr\xc3\xbc\xc3\x9f" "e", "Gr\xc3\xbc\xc3\x9f" "e"},
		{"\xff\xfe not utf-8", "\xff\xfe not utf-8"},
		{"back\\slash", "back\\slash"},
		{"ends in \xc2", "ends in \xc2"},
	};
	for (const Case& test : cases)
		EXPECT_EQ(TerminalText(test.text), test.shown) << test.shown;
}
