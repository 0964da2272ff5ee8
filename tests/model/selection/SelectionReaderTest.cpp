#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MVPathSplitter.h"
#include "MVRecordList.h"
#include "MVRedirection.h"
#include "MVSelection.h"

namespace {

BMessage Lines(const char* field, std::initializer_list<const char*> lines)
{
	BMessage message;
	for (const char* line : lines)
		EXPECT_EQ(message.AddString(field, line), B_OK);
	return message;
}

}	// namespace


// Prefixes decide inclusion, a trailing "/*" marks a folder and goes; other
// fields and lines without a usable path are passed over.
TEST(SelectionReaderTest, SelectionLines)
{
	BMessage message = Lines("SELECTION", {"INCLUDE /boot/home/*", "EXCLUDE /boot/home/tmp/*",
		"INCLUDE /boot/a*b", "EXCLUDE /boot/x/*/y", "INCL", "INCLUDE no/slash",
		"INCLUDEX/boot/odd", "INCLUDE /boot//home/./b/"});
	message.AddString("refs", "INCLUDE /boot/ignored");
	MVSelection selection(&message);

	std::vector<std::string> seen;
	while (selection.NextLine()) {
		seen.push_back(std::string(selection.IsLineInclude() ? "+" : "-")
			+ (selection.IsLineDirectory() ? "D " : "F ") + selection.Path());
	}
	EXPECT_EQ(seen, (std::vector<std::string>{"+D /boot/home", "-D /boot/home/tmp",
		"+F /boot/a*b", "-F /boot/x/*/y", "+F /boot/odd", "+F /boot/home/b"}));
	EXPECT_FALSE(selection.NextLine());
	EXPECT_STREQ(selection.Path(), "");

	selection.Rewind();
	ASSERT_TRUE(selection.NextLine());
	EXPECT_STREQ(selection.Path(), "/boot/home");

	MVSelection none(nullptr);
	EXPECT_FALSE(none.NextLine());
	BMessage wrongType;
	wrongType.AddInt32("SELECTION", 5);
	MVSelection numbers(&wrongType);
	EXPECT_FALSE(numbers.NextLine());
}


// A record list hands out the path of each line component by component.
TEST(SelectionReaderTest, RecordListTokens)
{
	BMessage message = Lines("SELECTION", {"INCLUDE /boot/home/x/*", "EXCLUDE /data"});
	MVRecordList lines;
	lines.SetTo(&message);
	EXPECT_EQ(lines.NextLineToken(), nullptr);
	ASSERT_TRUE(lines.NextLine());
	EXPECT_TRUE(lines.IsLineInclude());
	EXPECT_TRUE(lines.IsLineDirectory());
	EXPECT_STREQ(lines.FullPath(), "/boot/home/x");
	std::vector<std::string> tokens;
	while (const char* token = lines.NextLineToken())
		tokens.push_back(token);
	EXPECT_EQ(tokens, (std::vector<std::string>{"boot", "home", "x"}));
	EXPECT_EQ(lines.NextLineToken(), nullptr);

	ASSERT_TRUE(lines.NextLine());
	EXPECT_FALSE(lines.IsLineInclude());
	EXPECT_FALSE(lines.IsLineDirectory());
	EXPECT_STREQ(lines.NextLineToken(), "data");
	EXPECT_EQ(lines.NextLineToken(), nullptr);
	EXPECT_FALSE(lines.NextLine());

	MVPathSplitter splitter("//a///b/");
	std::string_view component;
	ASSERT_TRUE(splitter.Next(&component));
	EXPECT_EQ(component, "a");
	EXPECT_FALSE(splitter.AtEnd());
	ASSERT_TRUE(splitter.Next(&component));
	EXPECT_EQ(component, "b");
	EXPECT_EQ(splitter.Consumed(), "//a///b");
	EXPECT_TRUE(splitter.AtEnd());
	EXPECT_FALSE(splitter.Next(&component));
}


// Redirections pair "source" and "redirect" by index; "REDIREC " is active,
// "CLEAR   " cleared; the list ends where a redirect is missing.
TEST(SelectionReaderTest, RedirectionPairs)
{
	BMessage message = Lines("source", {"REDIREC /boot/home/*", "CLEAR   /boot/mail",
		"REDIREC", "REDIREC /data/x", "REDIREC /data/unpaired"});
	for (const char* target : {"/data/restored", "", "/data/skipped", "/data/y"})
		message.AddString("redirect", target);
	message.AddString("SELECTION", "INCLUDE /boot/home/*");
	MVRedirection redirection(&message);

	ASSERT_TRUE(redirection.NextLine());
	EXPECT_TRUE(redirection.IsLineInclude());
	EXPECT_TRUE(redirection.IsLineDirectory());
	EXPECT_STREQ(redirection.Source(), "/boot/home");
	EXPECT_STREQ(redirection.Redirection(), "/data/restored");

	ASSERT_TRUE(redirection.NextLine());
	EXPECT_FALSE(redirection.IsLineInclude());
	EXPECT_FALSE(redirection.IsLineDirectory());
	EXPECT_STREQ(redirection.Source(), "/boot/mail");
	EXPECT_EQ(redirection.Redirection(), nullptr);

	ASSERT_TRUE(redirection.NextLine());
	EXPECT_STREQ(redirection.Source(), "/data/x");
	EXPECT_STREQ(redirection.Redirection(), "/data/y");
	EXPECT_FALSE(redirection.NextLine());
	EXPECT_FALSE(redirection.NextLine());
	EXPECT_EQ(redirection.Redirection(), nullptr);

	// The caller's message keeps its selection.
	type_code type;
	EXPECT_EQ(message.GetInfo("SELECTION", &type), B_OK);
	BMessage missingSource = Lines("redirect", {"/data/a"});
	MVRedirection unpaired(&missingSource);
	EXPECT_FALSE(unpaired.NextLine());
}
