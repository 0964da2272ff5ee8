#include <gtest/gtest.h>

#include "JobTitle.h"

// A cut never splits a UTF-8 character; text that fits stays whole.
TEST(JobTitleTest, CutsAtCharacterEnds)
{
	struct Case {
		std::string text;
		size_t maxBytes;
		size_t length;
	};
	const Case cases[] = {
		{"short", 10, 5},
		{"exactly", 7, 7},
		{"abcdef", 3, 3},
		{"ab\xc3\xa9", 3, 2},           // é would be split
		{"ab\xe2\x82\xac" "c", 4, 2},   // € would be split
		{"ab\xe2\x82\xac" "c", 5, 5},
		{"\xf0\x9f\x98\x80", 3, 0},     // one four-byte character
		{"", 0, 0},
	};
	for (const Case& test : cases)
		EXPECT_EQ(Utf8PrefixLength(test.text, test.maxBytes), test.length) << test.text;
	EXPECT_EQ(CappedTitle(std::string(300, 'x')).size(), kMaxTitleBytes);
}
