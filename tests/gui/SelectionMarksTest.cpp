// The source tree's marks: what they inherit, and the selection lines they
// become, in an order whose meaning matches the marks.

#include <gtest/gtest.h>

#include "SelectionMarks.h"

namespace {

std::vector<std::string> Lines(const BMessage& selection)
{
	std::vector<std::string> lines;
	const char* line;
	for (int32 index = 0; selection.FindString("SELECTION", index, &line) == B_OK; index++)
		lines.push_back(line);
	return lines;
}


BMessage Selection(const std::vector<std::string>& lines)
{
	BMessage selection;
	for (const std::string& line : lines)
		selection.AddString("SELECTION", line.c_str());
	return selection;
}


TEST(SelectionMarksTest, DeeperMarksOverrideAndComeAfterTheirFolders)
{
	SelectionMarks marks;
	// Set deepest first: the lines still go shallow to deep.
	marks.Set("/boot/home/tmp/keep", SelectionMarks::kIncluded, false);
	marks.Set("/boot/home/tmp", SelectionMarks::kExcluded, true);
	marks.Set("/boot/home", SelectionMarks::kIncluded, true);
	marks.Set("/boot/homework", SelectionMarks::kExcluded, true);

	const struct {
		const char* path;
		SelectionMarks::Mark effective;
	} cases[] = {
		{"/boot", SelectionMarks::kUnmarked},
		{"/boot/home/a", SelectionMarks::kIncluded},
		{"/boot/home/tmp/b", SelectionMarks::kExcluded},
		{"/boot/home/tmp/keep", SelectionMarks::kIncluded},
		{"/boot/home/tmp/keeper", SelectionMarks::kExcluded},
		{"/boot/homework/x", SelectionMarks::kExcluded},
	};
	for (const auto& testCase : cases)
		EXPECT_EQ(marks.Effective(testCase.path), testCase.effective) << testCase.path;

	BMessage selection;
	selection.AddString("SELECTION", "INCLUDE /old/*");
	selection.AddString("refs", "kept");
	marks.WriteLines(&selection);
	EXPECT_EQ(Lines(selection), (std::vector<std::string>{"INCLUDE /boot/home/*",
		"EXCLUDE /boot/homework/*", "EXCLUDE /boot/home/tmp/*", "INCLUDE /boot/home/tmp/keep"}));
	EXPECT_STREQ(selection.GetString("refs", ""), "kept");
	EXPECT_TRUE(marks.AnyIncluded());

	// Read back, the lines give the same marks.
	SelectionMarks again;
	again.ReadLines(selection);
	BMessage written;
	again.WriteLines(&written);
	EXPECT_EQ(Lines(written), Lines(selection));
}


TEST(SelectionMarksTest, ReadingKeepsTheMeaningOfTheLinesInTheirOrder)
{
	const struct {
		std::vector<std::string> lines;
		std::vector<std::string> written;
	} cases[] = {
		// A later folder line undoes the marks below it, as when applied.
		{{"EXCLUDE /a/b/*", "INCLUDE /a/*"}, {"INCLUDE /a/*"}},
		{{"INCLUDE /a/b/c", "EXCLUDE /a/*"}, {"EXCLUDE /a/*"}},
		// ... but not those of a sibling whose name it begins.
		{{"INCLUDE /a/bc/*", "EXCLUDE /a/b/*"}, {"EXCLUDE /a/b/*", "INCLUDE /a/bc/*"}},
		// A file line touches only itself; the last line of a path wins.
		{{"INCLUDE /a/*", "EXCLUDE /a", "INCLUDE /a/x"}, {"EXCLUDE /a", "INCLUDE /a/x"}},
		// Lines of another kind, or without a path, are skipped.
		{{"REDIREC /a/*", "INCLUDE ", "INCLUDE relative/*", "include /a/*"}, {}},
	};
	for (const auto& testCase : cases) {
		SelectionMarks marks;
		marks.ReadLines(Selection(testCase.lines));
		BMessage written;
		marks.WriteLines(&written);
		EXPECT_EQ(Lines(written), testCase.written) << testCase.lines.front();
	}
}

}	// namespace
