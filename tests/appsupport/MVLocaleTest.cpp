#include "MVLocale.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <optional>
#include <vector>

#include <storage/Entry.h>
#include <storage/EntryRef.h>
#include <storage/Node.h>
#include <storage/Path.h>
#include <storage/VolumeTable.h>
#include <support/TypeConstants.h>

#include "MVDefaultTexts.h"
#include "TestFolder.h"

namespace {

constexpr const char* kAppID = "morvane backup locale";

// A scratch boot volume with a "locale" folder, and a fresh MVLocale that
// knows the built-in texts, for every test.
class LocaleTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.MakeFolder("locale");
		fVolumes.emplace("MORVANE_VOLUMES", "Test=" + fFolder.Path());
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
		delete MVLocale::GetInstance();
		fLocale = MVLocale::GetInstance();
		fLocale->SetAppID(kAppID);
		fLocale->SetDefaultText(kDefaultTexts, kInstalledTextCount, "English");
	}

	void TearDown() override
	{
		delete MVLocale::GetInstance();
		fVolumes.reset();
		(void)VolumeTable::Reload();
	}

	static BMessage Texts(const char* appID, const char* language,
		const std::vector<const char*>& texts)
	{
		BMessage message;
		if (appID != nullptr) {
			EXPECT_EQ(message.AddString("mv:app_id", appID), B_OK);
		}
		if (language != nullptr) {
			EXPECT_EQ(message.AddString("mv:language", language), B_OK);
		}
		for (const char* text : texts)
			EXPECT_EQ(message.AddString("mv:text", text), B_OK);
		return message;
	}

	// Writes locale/name with the given content and, unless null, the
	// "mv:language" attribute.
	void WriteFile(const char* name, const std::string& content, const char* attribute)
	{
		fFolder.WriteFile(std::string("locale/") + name, content);
		if (attribute == nullptr)
			return;
		BNode node((std::string("/boot/locale/") + name).c_str());
		ASSERT_EQ(node.WriteAttrString("mv:language", attribute), B_OK);
	}

	void WriteLocale(const char* name, const BMessage& message, const char* attribute)
	{
		std::vector<char> data;
		ASSERT_EQ(message.Flatten(&data), B_OK);
		WriteFile(name, std::string(data.begin(), data.end()), attribute);
	}

	void WriteGerman(const char* name = "Deutsch")
	{
		WriteLocale(name, Texts(kAppID, "Deutsch", { "Gut", "Abbrechen" }), "Deutsch");
	}

	// True when every installed id gives the built-in text.
	bool ShowsDefaults() const
	{
		for (int32 id = 0; id < kInstalledTextCount; id++) {
			const char* text = fLocale->Text(id);
			const char* expected = kDefaultTexts[id];
			if (expected == nullptr ? text != nullptr
					: text == nullptr || strcmp(text, expected) != 0) {
				ADD_FAILURE() << "text " << id;
				return false;
			}
		}
		return true;
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fVolumes;
	MVLocale* fLocale = nullptr;
};

}	// namespace


// The instance lives until it is deleted; deleting it clears it, so the next
// call starts from nothing.
TEST_F(LocaleTest, InstanceIsSharedUntilDeleted)
{
	EXPECT_EQ(MVLocale::GetInstance(), fLocale);
	EXPECT_STREQ(fLocale->AppID(), kAppID);
	EXPECT_STREQ(fLocale->Language(), "English");

	delete fLocale;
	fLocale = MVLocale::GetInstance();
	EXPECT_STREQ(fLocale->Language(), "");
	EXPECT_STREQ(fLocale->AppID(), "");
	EXPECT_EQ(fLocale->Text(0), nullptr);
}


// The setters ignore what they are not given; a later table keeps the
// language already set.
TEST_F(LocaleTest, SettersIgnoreMissingValues)
{
	fLocale->SetAppID(nullptr);
	EXPECT_STREQ(fLocale->AppID(), kAppID);

	const char* other[] = { "Zero", nullptr, "Two" };
	fLocale->SetDefaultText(nullptr, 3, "Other");
	fLocale->SetDefaultText(other, 0, "Other");
	fLocale->SetDefaultText(other, 3, nullptr);
	fLocale->SetDefaultText(other, 3, "");
	EXPECT_STREQ(fLocale->Text(0), "Ok");

	fLocale->SetDefaultText(other, 3, "Other");
	EXPECT_STREQ(fLocale->Language(), "English");
	EXPECT_STREQ(fLocale->Text(0), "Zero");
	EXPECT_EQ(fLocale->Text(1), nullptr);
	EXPECT_STREQ(fLocale->Text(2), "Two");
	EXPECT_EQ(fLocale->Text(3), nullptr);
}


// Ids without a text anywhere give null, and GetText false.
TEST_F(LocaleTest, UnknownIdsHaveNoText)
{
	char buffer[8] = "keep";
	for (int32 id : { -1, 4, 46, 47, kInstalledTextCount, 100000 }) {
		EXPECT_EQ(fLocale->Text(id), nullptr) << id;
		EXPECT_FALSE(fLocale->GetText(id, buffer, sizeof(buffer))) << id;
	}
	EXPECT_STREQ(buffer, "keep");
}


// GetText copies like strncpy: a terminator only when there is room.
TEST_F(LocaleTest, GetTextCopiesAtMostLength)
{
	char buffer[8];
	memset(buffer, 'X', sizeof(buffer));
	ASSERT_TRUE(fLocale->GetText(1, buffer, sizeof(buffer)));
	EXPECT_STREQ(buffer, "Cancel");

	memset(buffer, 'X', sizeof(buffer));
	ASSERT_TRUE(fLocale->GetText(1, buffer, 6));
	EXPECT_EQ(std::string(buffer, 8), "CancelXX");

	memset(buffer, 'X', sizeof(buffer));
	ASSERT_TRUE(fLocale->GetText(1, buffer, 3));
	EXPECT_EQ(std::string(buffer, 8), "CanXXXXX");

	EXPECT_TRUE(fLocale->GetText(1, nullptr, 0));
	EXPECT_FALSE(fLocale->GetText(1, nullptr, 4));
}


// A matching file replaces the texts; ids it lacks, or leaves empty, show
// the built-in text.
TEST_F(LocaleTest, LoadsFileAndFallsBackPerId)
{
	WriteLocale("de", Texts(kAppID, "Deutsch", { "Gut", "", "Medium #%ld voll" }), "Deutsch");
	WriteLocale("fr", Texts(kAppID, "Francais", { "Bon" }), "Francais");

	ASSERT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleLoaded);
	EXPECT_STREQ(fLocale->Language(), "Deutsch");
	EXPECT_STREQ(fLocale->Text(0), "Gut");
	EXPECT_STREQ(fLocale->Text(1), "Cancel");
	EXPECT_STREQ(fLocale->Text(2), "Medium #%ld voll");
	EXPECT_STREQ(fLocale->Text(3), kDefaultTexts[3]);
	EXPECT_STREQ(fLocale->Text(327), kDefaultTexts[327]);
	EXPECT_EQ(fLocale->Text(4), nullptr);
}


// The folder may be named by path, BPath, BEntry or entry_ref.
TEST_F(LocaleTest, FolderInEveryForm)
{
	WriteGerman();
	BPath path("/boot/locale");
	BEntry entry("/boot/locale");
	entry_ref ref("/boot/locale");

	EXPECT_EQ(fLocale->SetLanguage(&path, "Deutsch"), kLocaleLoaded);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Nederlands"), kLocaleNotFound);
	EXPECT_EQ(fLocale->SetLanguage(&entry, "Deutsch"), kLocaleLoaded);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Nederlands"), kLocaleNotFound);
	EXPECT_EQ(fLocale->SetLanguage(&ref, "Deutsch"), kLocaleLoaded);
	EXPECT_STREQ(fLocale->Text(0), "Gut");
}


// A folder that cannot be opened gives 5 and leaves the loaded language.
TEST_F(LocaleTest, UnopenableFolderChangesNothing)
{
	WriteGerman();
	ASSERT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleLoaded);

	fFolder.WriteFile("plain", "not a folder");
	BPath missing("/boot/missing");
	BPath noPath;
	EXPECT_EQ(fLocale->SetLanguage("/boot/missing", "Deutsch"), kLocaleFolderError);
	EXPECT_EQ(fLocale->SetLanguage("/boot/plain", "Deutsch"), kLocaleFolderError);
	EXPECT_EQ(fLocale->SetLanguage("/NoSuchVolume/locale", "Deutsch"), kLocaleFolderError);
	EXPECT_EQ(fLocale->SetLanguage(&missing, "Deutsch"), kLocaleFolderError);
	EXPECT_EQ(fLocale->SetLanguage(&noPath, "Deutsch"), kLocaleFolderError);
	EXPECT_EQ(fLocale->SetLanguage(static_cast<const char*>(nullptr), "Deutsch"),
		kLocaleFolderError);
	EXPECT_EQ(fLocale->SetLanguage(static_cast<const entry_ref*>(nullptr), "Deutsch"),
		kLocaleFolderError);

	EXPECT_STREQ(fLocale->Language(), "Deutsch");
	EXPECT_STREQ(fLocale->Text(0), "Gut");
}


// Each kind of unusable matching file gives its result, and the language
// falls back to English with every built-in text, even after a language was
// loaded.
TEST_F(LocaleTest, UnusableFilesFallBackToEnglish)
{
	struct Case {
		const char* name;
		std::optional<BMessage> message;
		std::string raw;
		int32 result;
	};
	std::vector<Case> cases;
	cases.push_back({ "garbage", std::nullopt, "this is no message", kLocaleUnreadable });
	cases.push_back({ "empty", std::nullopt, "", kLocaleUnreadable });
	cases.push_back({ "noapp", Texts(nullptr, "Deutsch", { "Gut" }), "", kLocaleNoAppID });
	cases.push_back({ "other", Texts("another app", "Deutsch", { "Gut" }), "",
		kLocaleOtherApp });
	cases.push_back({ "nolanguage", Texts(kAppID, nullptr, { "Gut" }), "",
		kLocaleNoLanguage });

	WriteLocale("good", Texts(kAppID, "Polski", { "Dobrze" }), "Polski");
	for (const Case& test : cases) {
		SCOPED_TRACE(test.name);
		ASSERT_EQ(fLocale->SetLanguage("/boot/locale", "Polski"), kLocaleLoaded);
		ASSERT_STREQ(fLocale->Text(0), "Dobrze");

		if (test.message)
			WriteLocale(test.name, *test.message, "Deutsch");
		else
			WriteFile(test.name, test.raw, "Deutsch");
		EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), test.result);
		EXPECT_STREQ(fLocale->Language(), "English");
		EXPECT_TRUE(ShowsDefaults());
		ASSERT_EQ(unlink((fFolder / "locale/" + test.name).c_str()), 0);
	}
}


// A file of another application is skipped and the next matching file is
// taken, whichever the folder lists first.
TEST_F(LocaleTest, SkipsOtherApplicationForNextFile)
{
	for (const char* name : { "a", "b", "c" })
		WriteLocale(name, Texts("another app", "Deutsch", { "Falsch" }), "Deutsch");
	WriteGerman("d");
	for (const char* name : { "e", "f" })
		WriteLocale(name, Texts("another app", "Deutsch", { "Falsch" }), "Deutsch");

	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleLoaded);
	EXPECT_STREQ(fLocale->Text(0), "Gut");
}


// Files are chosen by a string attribute equal to the language: files
// without it, with an empty or other name, another type, or a name longer
// than the 64 bytes read are not candidates; a folder is, but cannot be read.
TEST_F(LocaleTest, SelectsByLanguageAttribute)
{
	BMessage german = Texts(kAppID, "Deutsch", { "Gut" });
	std::string fullName(64, 'L');
	WriteLocale("none", german, nullptr);
	WriteLocale("empty", german, "");
	WriteLocale("other", german, "Dansk");
	WriteLocale("long", german, (fullName + "extra").c_str());
	WriteLocale("raw", german, nullptr);
	BNode raw("/boot/locale/raw");
	ASSERT_EQ(raw.WriteAttr("mv:language", B_RAW_TYPE, 0, "Deutsch", 8), 8);
	fFolder.MakeFolder("locale/folder");
	BNode folder("/boot/locale/folder");
	ASSERT_EQ(folder.WriteAttrString("mv:language", "Deutsch"), B_OK);

	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleUnreadable);
	ASSERT_EQ(rmdir((fFolder / "locale/folder").c_str()), 0);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleNotFound);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", fullName.c_str()), kLocaleNotFound);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", ""), kLocaleNotFound);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", nullptr), kLocaleNotFound);
	EXPECT_STREQ(fLocale->Language(), "English");

	// The longest name that fits: 63 characters and the terminator.
	std::string longestName(63, 'L');
	WriteLocale("longest", german, longestName.c_str());
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", longestName.c_str()), kLocaleLoaded);
	EXPECT_STREQ(fLocale->Language(), "Deutsch");
}


// A file beyond the size limit is not read at all.
TEST_F(LocaleTest, OversizedFileIsUnreadable)
{
	WriteGerman();
	ASSERT_EQ(truncate((fFolder / "locale/Deutsch").c_str(),
		MVLocale::kMaxLocaleFileSize + 1), 0);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleUnreadable);
	EXPECT_STREQ(fLocale->Language(), "English");
}


// A link to a locale file is followed; a link that leads nowhere is skipped
// without ending the scan.
TEST_F(LocaleTest, FollowsLinks)
{
	WriteLocale("../german.locale", Texts(kAppID, "Deutsch", { "Gut" }), nullptr);
	BNode target("/boot/german.locale");
	ASSERT_EQ(target.WriteAttrString("mv:language", "Deutsch"), B_OK);
	ASSERT_EQ(symlink("/nowhere/at/all", (fFolder / "locale/dangling").c_str()), 0);
	ASSERT_EQ(symlink("../german.locale", (fFolder / "locale/link").c_str()), 0);

	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleLoaded);
	EXPECT_STREQ(fLocale->Text(0), "Gut");
}


// With no file for the language every text is the built-in one.
TEST_F(LocaleTest, NoMatchingFileShowsDefaults)
{
	WriteGerman();
	ASSERT_EQ(fLocale->SetLanguage("/boot/locale", "Deutsch"), kLocaleLoaded);
	EXPECT_EQ(fLocale->SetLanguage("/boot/locale", "Svenska"), kLocaleNotFound);
	EXPECT_STREQ(fLocale->Language(), "English");
	EXPECT_TRUE(ShowsDefaults());
}
