#include "MVDefaultTexts.h"
#include "MVLocale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "MVTextFormat.h"


// Spot checks across the table: ids are places, so one lost or doubled
// entry shifts every text after it.
TEST(DefaultTextsTest, TextsSitAtTheirIds)
{
	EXPECT_EQ(kDefaultTextCount, 344);
	EXPECT_EQ(kInstalledTextCount, 328);
	EXPECT_EQ(kFirstAddedText, 339);
	EXPECT_EQ(sizeof(kDefaultTexts) / sizeof(kDefaultTexts[0]), size_t(kDefaultTextCount));

	EXPECT_STREQ(kDefaultTexts[0], "Ok");
	EXPECT_STREQ(kDefaultTexts[342], "The password is not correct! Please correct it.");
	EXPECT_STREQ(kDefaultTexts[3], "ERROR: Destination '%s' full!!!");
	EXPECT_STREQ(kDefaultTexts[5], "ERROR: Write Error, can't write LogData to '%s'!!!");
	EXPECT_STREQ(kDefaultTexts[13], "Time:\t\t\t\t%02ld:%02ld:%02ld");
	EXPECT_STREQ(kDefaultTexts[21], "ERROR: Write Error (header) on '%s; file '%s'!!!");
	EXPECT_STREQ(kDefaultTexts[30], "Overwrite existing data:\tYES");
	EXPECT_STREQ(kDefaultTexts[45], "Free space needed: %Ld Bytes, space available: %Ld Bytes");
	EXPECT_STREQ(kDefaultTexts[48], "Backup data...");
	EXPECT_STREQ(kDefaultTexts[56],
		"ERROR: to read the data of backup '%s' version %x.%02x of Morvane Backup is required!");
	EXPECT_STREQ(kDefaultTexts[143], "- no title -");
	EXPECT_STREQ(kDefaultTexts[183],
		"Do you really want to overwrite all existing backups on\n'%s'?");
	EXPECT_STREQ(kDefaultTexts[186], "Start job at: ");
	EXPECT_STREQ(kDefaultTexts[277], "_");
	EXPECT_STREQ(kDefaultTexts[291], "%s: symlink contents different (backup: %s, source %s)");
	EXPECT_STREQ(kDefaultTexts[323], "Pack ratio:\t\t\t%2.1f%%");
	EXPECT_STREQ(kDefaultTexts[327], "Please type in password (click on column 'Password'):");
	EXPECT_STREQ(kDefaultTexts[328], "Sunday");
	EXPECT_STREQ(kDefaultTexts[335], "Months");
	EXPECT_STREQ(kDefaultTexts[338], "Minutes");
	EXPECT_STREQ(kDefaultTexts[339], "Status:\t\t\t\tBackup ended with errors!");
	EXPECT_STREQ(kDefaultTexts[340], "Status:\t\t\t\tRestore ended with errors!");
	EXPECT_STREQ(kDefaultTexts[341], "Status:\t\t\t\tInsert ended with errors!");
	EXPECT_STREQ(kDefaultTexts[343], "ERROR: '%s' was incomplete when it was backed up (it shrank "
		"or could not be read); the rest of its data is zeros!");
}

// A locale gets every text but the schedule's field names; the texts added
// after them are there in English whatever the locale's language.
TEST(DefaultTextsTest, InstalledTextsLeaveOutTheScheduleNames)
{
	MVLocale* locale = MVLocale::GetInstance();
	InstallDefaultTexts(locale);
	EXPECT_STREQ(locale->Text(327), kDefaultTexts[327]);
	for (int32 id = kInstalledTextCount; id < kFirstAddedText; id++)
		EXPECT_EQ(locale->Text(id), nullptr) << id;
	for (int32 id = kFirstAddedText; id < kDefaultTextCount; id++)
		EXPECT_STREQ(locale->Text(id), kDefaultTexts[id]) << id;
	EXPECT_EQ(locale->Text(kDefaultTextCount), nullptr);
	delete locale;
}


// Exactly the ids 4, 46 and 47 have no text; every other text is there.
TEST(DefaultTextsTest, OnlyTheKnownGaps)
{
	std::set<int32> gaps;
	for (int32 id = 0; id < kDefaultTextCount; id++) {
		if (kDefaultTexts[id] == nullptr)
			gaps.insert(id);
		else
			EXPECT_NE(kDefaultTexts[id][0], '\0') << id;
	}
	EXPECT_EQ(gaps, (std::set<int32>{ 4, 46, 47 }));
}


// Every placeholder of the table is one the formatter understands: with
// arguments enough, no '%' is left but those the texts print themselves.
TEST(DefaultTextsTest, EveryPlaceholderFormats)
{
	MVTextArguments arguments(8, MVTextArgument(int32(7)));
	for (int32 id = 0; id < kDefaultTextCount; id++) {
		if (kDefaultTexts[id] == nullptr)
			continue;
		std::string text = MVTextFormat::Format(kDefaultTexts[id], arguments);
		size_t expected = std::string(kDefaultTexts[id]).find("%%") != std::string::npos
			? 1 : 0;
		EXPECT_EQ(size_t(std::count(text.begin(), text.end(), '%')), expected)
			<< id << ": " << text;
	}
}
