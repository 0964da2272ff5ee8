#include "Preferences.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include <storage/VolumeTable.h>

#include "TestFolder.h"

namespace {

const char* const kPath = "/boot/Backup.prefs";
const char* const kIdentifier = "MVBACKUP";

std::string Header(const char* identifier)
{
	std::string header(Preferences::kHeaderSize, '\0');
	memcpy(header.data(), identifier, strlen(identifier));
	return header;
}

std::string Flattened(const BMessage& message)
{
	std::vector<char> flat;
	EXPECT_EQ(message.Flatten(&flat), B_OK);
	return std::string(flat.begin(), flat.end());
}

// A sink that takes the first limit bytes and fails every write after.
class FailingIO : public BMallocIO {
public:
	explicit FailingIO(off_t limit) : fLimit(limit) {}

	ssize_t WriteAt(off_t position, const void* buffer, size_t size) override
	{
		if (position >= fLimit)
			return B_IO_ERROR;
		size_t allowed = std::min<size_t>(size, size_t(fLimit - position));
		return BMallocIO::WriteAt(position, buffer, allowed);
	}

private:
	off_t fLimit;
};

class PreferencesTest : public testing::Test {
protected:
	void SetUp() override { ASSERT_EQ(VolumeTable::Reload(), B_OK); }

	std::string Native(const char* leaf) const { return fFolder / leaf; }
	// Writes a file of the given bytes where kPath leads.
	void WriteStore(const std::string& content) const
	{
		fFolder.WriteFile("Backup.prefs", content);
	}

	TestFolder fFolder;
	ScopedEnv fVolumes{"MORVANE_VOLUMES", "Test=" + fFolder.Path()};
};

}	// namespace

// A new store holds the defaults; refused arguments give an empty store and
// leave the file alone, then and later.
TEST_F(PreferencesTest, ConstructionGivesDefaultsOrAnEmptyStore)
{
	Preferences fresh(kPath, kIdentifier);
	EXPECT_EQ(fresh.InitCheck(), Preferences::kOK);
	EXPECT_STREQ(fresh.GetString("MV_LANGUAGE", nullptr), "English");
	EXPECT_EQ(fresh.GetInt8("MV_AUTOPREFS", 0), 1);
	EXPECT_EQ(fresh.GetRect("MV_MAINWINPOS", BRect(1, 1, 1, 1)), BRect(0, 0, 0, 0));
	EXPECT_EQ(fresh.CountNames(B_ANY_TYPE), 3);
	// Nothing is written until the owner saves.
	EXPECT_FALSE(std::filesystem::exists(Native("Backup.prefs")));

	BMessage saved;
	ASSERT_EQ(saved.AddString("MV_LANGUAGE", "Deutsch"), B_OK);
	std::string content = Header(kIdentifier) + Flattened(saved);
	WriteStore(content);
	for (const char* identifier : {"MVBACKU", "MVBACKUPX", static_cast<const char*>(nullptr)}) {
		SCOPED_TRACE(identifier != nullptr ? identifier : "(null)");
		Preferences refused(kPath, identifier);
		EXPECT_EQ(refused.InitCheck(), Preferences::kNoMemory);
		EXPECT_TRUE(refused.IsEmpty());
		// Without an identifier it can neither read nor write a store.
		EXPECT_EQ(refused.Load(), Preferences::kNoMemory);
		EXPECT_EQ(refused.Save(), Preferences::kNoMemory);
		EXPECT_EQ(ReadWholeFile(Native("Backup.prefs")), content);
	}
	Preferences noPath(nullptr, kIdentifier);
	EXPECT_EQ(noPath.InitCheck(), Preferences::kNoMemory);
	EXPECT_TRUE(noPath.IsEmpty());
}

// Every value type survives a save and a load, in the documented layout.
TEST_F(PreferencesTest, SavesEveryTypeInTheFileLayout)
{
	BMessage window('wind');
	ASSERT_EQ(window.AddInt32("columns", 4), B_OK);
	{
		Preferences prefs(kPath, kIdentifier);
		ASSERT_EQ(prefs.Set("I8", int8(-7)), B_OK);
		ASSERT_EQ(prefs.Set("I16", int16(-30000)), B_OK);
		ASSERT_EQ(prefs.Set("I32", int32(123456789)), B_OK);
		ASSERT_EQ(prefs.Set("I64", int64(INT64_MIN)), B_OK);
		ASSERT_EQ(prefs.Set("FLOAT", 2.5f), B_OK);
		ASSERT_EQ(prefs.Set("TEXT", "Grüße"), B_OK);
		ASSERT_EQ(prefs.Set("RECT", BRect(10, 20, 630, 470)), B_OK);
		ASSERT_EQ(prefs.Set("WINDOW", window), B_OK);
		ASSERT_EQ(prefs.Set("COLOR", rgb_color{1, 2, 3, 4}), B_OK);
		ASSERT_EQ(prefs.Save(), Preferences::kOK);
	}

	std::optional<std::string> file = ReadWholeFile(Native("Backup.prefs"));
	ASSERT_TRUE(file.has_value());
	struct stat status;
	ASSERT_EQ(stat(Native("Backup.prefs").c_str(), &status), 0);
	EXPECT_EQ(status.st_mode & 0777, mode_t(0600));
	ASSERT_GT(file->size(), Preferences::kHeaderSize);
	EXPECT_EQ(file->substr(0, Preferences::kHeaderSize), Header(kIdentifier));
	BMessage body;
	ASSERT_EQ(body.Unflatten(file->data() + Preferences::kHeaderSize,
		file->size() - Preferences::kHeaderSize), B_OK);
	const void* color;
	ssize_t colorSize;
	ASSERT_EQ(body.FindData("COLOR", 'RGBC', &color, &colorSize), B_OK);
	ASSERT_EQ(colorSize, 4);
	EXPECT_EQ(memcmp(color, "\x01\x02\x03\x04", 4), 0);

	Preferences loaded(kPath, kIdentifier);
	ASSERT_EQ(loaded.InitCheck(), Preferences::kOK);
	EXPECT_EQ(loaded.GetInt8("I8", 0), -7);
	EXPECT_EQ(loaded.GetInt16("I16", 0), -30000);
	EXPECT_EQ(loaded.GetInt32("I32", 0), 123456789);
	EXPECT_EQ(loaded.GetInt64("I64", 0), INT64_MIN);
	EXPECT_EQ(loaded.GetFloat("FLOAT", 0), 2.5f);
	EXPECT_STREQ(loaded.GetString("TEXT", nullptr), "Grüße");
	EXPECT_EQ(loaded.GetRect("RECT"), BRect(10, 20, 630, 470));
	EXPECT_EQ(loaded.GetColor("COLOR", rgb_color{}), (rgb_color{1, 2, 3, 4}));
	std::unique_ptr<BMessage> copy(loaded.GetMessage("WINDOW", nullptr));
	ASSERT_NE(copy, nullptr);
	EXPECT_EQ(copy->what, uint32('wind'));
	EXPECT_EQ(copy->GetInt32("columns", 0), 4);
	// The defaults were saved with the rest.
	EXPECT_STREQ(loaded.GetString("MV_LANGUAGE", nullptr), "English");
}

// A key keeps one value of one type; a Set of another type is refused and
// missing or mistyped keys read as the caller's default.
TEST_F(PreferencesTest, KeepsOneValueOfOneTypePerKey)
{
	Preferences prefs(kPath, kIdentifier);
	ASSERT_EQ(prefs.Set("COUNT", int32(1)), B_OK);
	ASSERT_EQ(prefs.Set("COUNT", int32(2)), B_OK);
	int32 count = 0;
	type_code type;
	ASSERT_EQ(prefs.GetInfo("COUNT", &type, &count), B_OK);
	EXPECT_EQ(count, 1);
	EXPECT_EQ(prefs.GetInt32("COUNT", 0), 2);

	EXPECT_EQ(prefs.Set("COUNT", int64(5)), B_BAD_TYPE);
	EXPECT_EQ(prefs.Set("COUNT", "five"), B_BAD_TYPE);
	EXPECT_EQ(prefs.GetInt32("COUNT", 0), 2);
	EXPECT_EQ(prefs.GetInt64("COUNT", -1), -1);
	EXPECT_STREQ(prefs.GetString("COUNT", "none"), "none");
	EXPECT_EQ(prefs.Set("MV_AUTOPREFS", int32(0)), B_BAD_TYPE);
	EXPECT_EQ(prefs.GetInt8("MV_AUTOPREFS", 0), 1);

	ASSERT_EQ(prefs.Set("NAME", std::string("first")), B_OK);
	ASSERT_EQ(prefs.Set("NAME", "second"), B_OK);
	EXPECT_STREQ(prefs.GetString("NAME", nullptr), "second");
	EXPECT_EQ(prefs.Set(nullptr, int32(1)), B_BAD_VALUE);
	EXPECT_EQ(prefs.Set("NAME", static_cast<const char*>(nullptr)), B_BAD_VALUE);

	EXPECT_EQ(prefs.GetRect("MISSING"), BRect(0, 0, 0, 0));
	BMessage fallback('dflt');
	EXPECT_EQ(prefs.GetMessage("MISSING", &fallback), &fallback);
	EXPECT_TRUE(prefs.GetMessageData("MISSING").IsEmpty());
}

// Files that are short, belong to another store, or carry a body that is not
// exactly one valid message leave an empty store with status 2.
TEST_F(PreferencesTest, UnusableFilesGiveAnEmptyStore)
{
	BMessage fields;
	ASSERT_EQ(fields.AddString("MV_LANGUAGE", "Deutsch"), B_OK);
	ASSERT_EQ(fields.AddInt32("MV_COUNT", 3), B_OK);
	std::string body = Flattened(fields);
	std::string hugeSize = body;
	hugeSize[16] = '\xff';
	hugeSize[19] = '\x7f';
	struct Case {
		const char* name;
		std::string content;
	} cases[] = {
		{"empty", ""},
		{"short header", Header(kIdentifier).substr(0, 60)},
		{"header only", Header(kIdentifier)},
		{"another store", Header("MVREPORT") + body},
		{"garbage body", Header(kIdentifier) + std::string(64, 'x')},
		{"cut body", Header(kIdentifier) + body.substr(0, body.size() - 5)},
		{"bytes after the body", Header(kIdentifier) + body + "!"},
		{"size beyond the file", Header(kIdentifier) + hugeSize},
	};
	for (const Case& testCase : cases) {
		SCOPED_TRACE(testCase.name);
		WriteStore(testCase.content);
		Preferences prefs(kPath, kIdentifier);
		EXPECT_EQ(prefs.InitCheck(), Preferences::kBadContent);
		EXPECT_TRUE(prefs.IsEmpty());
		EXPECT_STREQ(prefs.GetString("MV_LANGUAGE", "English"), "English");
		EXPECT_EQ(prefs.GetInt32("MV_COUNT", -1), -1);

		// Loading over values in memory drops them as well.
		ASSERT_EQ(prefs.Reset(), Preferences::kOK);
		EXPECT_EQ(prefs.Load(), Preferences::kBadContent);
		EXPECT_TRUE(prefs.IsEmpty());
	}

	// The same body behind the right identifier loads.
	WriteStore(Header(kIdentifier) + body);
	Preferences good(kPath, kIdentifier);
	EXPECT_EQ(good.InitCheck(), Preferences::kOK);
	EXPECT_STREQ(good.GetString("MV_LANGUAGE", nullptr), "Deutsch");
}

// An "MV_LANGUAGE" stored as int8 by an older layout is dropped on loading;
// the other values stay.
TEST_F(PreferencesTest, DropsAnOldStyleLanguage)
{
	BMessage fields;
	ASSERT_EQ(fields.AddInt8("MV_LANGUAGE", 2), B_OK);
	ASSERT_EQ(fields.AddInt8("MV_AUTOPREFS", 0), B_OK);
	WriteStore(Header(kIdentifier) + Flattened(fields));

	Preferences prefs(kPath, kIdentifier);
	EXPECT_EQ(prefs.InitCheck(), Preferences::kOK);
	type_code type;
	EXPECT_EQ(prefs.GetInfo("MV_LANGUAGE", &type), B_NAME_NOT_FOUND);
	EXPECT_STREQ(prefs.GetString("MV_LANGUAGE", "English"), "English");
	EXPECT_EQ(prefs.GetInt8("MV_AUTOPREFS", 1), 0);
	// A string language is a setting that loads.
	ASSERT_EQ(prefs.Set("MV_LANGUAGE", "Deutsch"), B_OK);
	ASSERT_EQ(prefs.Save(), Preferences::kOK);
	EXPECT_EQ(prefs.Load(), Preferences::kOK);
	EXPECT_STREQ(prefs.GetString("MV_LANGUAGE", nullptr), "Deutsch");
}

// Load and Save report a missing name, files that cannot be opened and
// places that cannot be written, and then leave the store and the disk as
// they were.
TEST_F(PreferencesTest, ReportsFilesThatCannotBeReadOrWritten)
{
	Preferences prefs(kPath, kIdentifier);
	ASSERT_EQ(prefs.Set("KEPT", int32(7)), B_OK);
	EXPECT_EQ(prefs.Load(), Preferences::kCannotOpen);
	EXPECT_EQ(prefs.InitCheck(), Preferences::kCannotOpen);
	EXPECT_EQ(prefs.GetInt32("KEPT", 0), 7);

	ASSERT_EQ(prefs.SetName(""), Preferences::kOK);
	EXPECT_EQ(prefs.Load(), Preferences::kNoFileName);
	EXPECT_EQ(prefs.Save(), Preferences::kNoFileName);
	EXPECT_EQ(prefs.SetName(nullptr), Preferences::kNoMemory);
	EXPECT_STREQ(prefs.Name(), "");

	ASSERT_EQ(prefs.SetName("/boot/no folder/Backup.prefs"), Preferences::kOK);
	EXPECT_EQ(prefs.Save(), Preferences::kCannotOpen);
	EXPECT_FALSE(std::filesystem::exists(Native("no folder")));

	// A folder where the file should be: the defaults are there to read,
	// but the status says the settings were not.
	fFolder.MakeFolder("Backup.prefs");
	Preferences blocked(kPath, kIdentifier);
	EXPECT_EQ(blocked.InitCheck(), Preferences::kCannotOpen);
	EXPECT_STREQ(blocked.GetString("MV_LANGUAGE", nullptr), "English");
	EXPECT_EQ(blocked.Save(), Preferences::kCannotOpen);
	EXPECT_TRUE(std::filesystem::is_directory(Native("Backup.prefs")));
}

// A store on a read-only volume is read but never replaced.
TEST_F(PreferencesTest, DoesNotWriteToReadOnlyVolumes)
{
	TestFolder readOnly;
	ScopedEnv volumes("MORVANE_VOLUMES",
		"Test=" + fFolder.Path() + ";Locked=" + readOnly.Path() + ",ro");
	ASSERT_EQ(VolumeTable::Reload(), B_OK);
	BMessage fields;
	ASSERT_EQ(fields.AddInt32("MV_COUNT", 3), B_OK);
	std::string content = Header(kIdentifier) + Flattened(fields);
	readOnly.WriteFile("Backup.prefs", content);

	Preferences locked("/Locked/Backup.prefs", kIdentifier);
	EXPECT_EQ(locked.InitCheck(), Preferences::kOK);
	EXPECT_EQ(locked.GetInt32("MV_COUNT", 0), 3);
	ASSERT_EQ(locked.Set("MV_COUNT", int32(4)), B_OK);
	EXPECT_EQ(locked.Save(), Preferences::kCannotOpen);
	EXPECT_EQ(ReadWholeFile(readOnly / "Backup.prefs"), content);
}

// A file the user made read-only keeps its settings: the rename of a new
// file over it would otherwise slip past its permissions.
TEST_F(PreferencesTest, DoesNotReplaceReadOnlyFiles)
{
	if (geteuid() == 0)
		GTEST_SKIP() << "file permissions do not bind the superuser";
	BMessage fields;
	ASSERT_EQ(fields.AddInt32("MV_COUNT", 3), B_OK);
	std::string content = Header(kIdentifier) + Flattened(fields);
	WriteStore(content);
	ASSERT_EQ(chmod(Native("Backup.prefs").c_str(), 0444), 0);
	Preferences frozen(kPath, kIdentifier);
	ASSERT_EQ(frozen.Set("MV_COUNT", int32(4)), B_OK);
	EXPECT_EQ(frozen.Save(), Preferences::kCannotOpen);
	EXPECT_EQ(ReadWholeFile(Native("Backup.prefs")), content);
}

// Saving replaces the file whole, leaves no temporary file behind, and a
// write that fails at any point gives status 4.
TEST_F(PreferencesTest, WritesWholeFilesOrReportsTheFailure)
{
	Preferences prefs(kPath, kIdentifier);
	ASSERT_EQ(prefs.Set("MV_TEXT", std::string(5000, 'a')), B_OK);
	ASSERT_EQ(prefs.Save(), Preferences::kOK);
	ASSERT_EQ(prefs.Set("MV_TEXT", "short"), B_OK);
	ASSERT_EQ(prefs.Save(), Preferences::kOK);
	std::vector<std::string> names;
	for (const auto& entry : std::filesystem::directory_iterator(fFolder.Path()))
		names.push_back(entry.path().filename().string());
	EXPECT_EQ(names, std::vector<std::string>{"Backup.prefs"});
	EXPECT_EQ(std::filesystem::file_size(Native("Backup.prefs")),
		Preferences::kHeaderSize + size_t(prefs.FlattenedSize()));

	for (off_t limit : {off_t(0), off_t(50), off_t(Preferences::kHeaderSize),
			off_t(Preferences::kHeaderSize + 30)}) {
		SCOPED_TRACE(limit);
		FailingIO sink(limit);
		EXPECT_EQ(prefs.SaveData(&sink), Preferences::kWriteError);
		EXPECT_EQ(prefs.InitCheck(), Preferences::kWriteError);
	}
	FailingIO roomy(1 << 20);
	EXPECT_EQ(prefs.SaveData(&roomy), Preferences::kOK);
	EXPECT_EQ(roomy.BufferLength(), Preferences::kHeaderSize + size_t(prefs.FlattenedSize()));
}

// Reset, SetName and SetKennung: a refused identifier keeps the old one, and
// a store moves to another file by its name.
TEST_F(PreferencesTest, ChangesItsFileAndIdentifier)
{
	WriteStore(Header("MVREPORT"));
	Preferences prefs(kPath, kIdentifier);
	ASSERT_EQ(prefs.InitCheck(), Preferences::kBadContent);
	EXPECT_EQ(prefs.Reset(), Preferences::kOK);
	EXPECT_EQ(prefs.InitCheck(), Preferences::kOK);
	EXPECT_EQ(prefs.CountNames(B_ANY_TYPE), 3);

	EXPECT_EQ(prefs.SetKennung("MVREPORTS"), Preferences::kNoMemory);
	EXPECT_EQ(prefs.SetKennung(nullptr), Preferences::kNoMemory);
	ASSERT_EQ(prefs.SetName("/boot/other.prefs"), Preferences::kOK);
	ASSERT_EQ(prefs.Save(), Preferences::kOK);
	std::optional<std::string> other = ReadWholeFile(Native("other.prefs"));
	ASSERT_TRUE(other.has_value());
	EXPECT_EQ(other->substr(0, 8), kIdentifier);

	ASSERT_EQ(prefs.SetKennung("MVRESTOR"), Preferences::kOK);
	ASSERT_EQ(prefs.Save(), Preferences::kOK);
	other = ReadWholeFile(Native("other.prefs"));
	ASSERT_TRUE(other.has_value());
	EXPECT_EQ(other->substr(0, 8), "MVRESTOR");
	Preferences restore("/boot/other.prefs", "MVRESTOR");
	EXPECT_EQ(restore.InitCheck(), Preferences::kOK);
	Preferences backup("/boot/other.prefs", kIdentifier);
	EXPECT_EQ(backup.InitCheck(), Preferences::kBadContent);
}

// A colour field of the wrong size, as a damaged or foreign file may hold,
// reads as the default instead of being read past its end.
TEST_F(PreferencesTest, ChecksTheSizeOfStoredColors)
{
	BMessage fields;
	ASSERT_EQ(fields.AddData("MV_SHORT", 'RGBC', "\x01\x02", 2), B_OK);
	ASSERT_EQ(fields.AddData("MV_LONG", 'RGBC', "\x01\x02\x03\x04\x05", 5, false), B_OK);
	WriteStore(Header(kIdentifier) + Flattened(fields));
	Preferences prefs(kPath, kIdentifier);
	ASSERT_EQ(prefs.InitCheck(), Preferences::kOK);
	rgb_color fallback{7, 7, 7, 7};
	EXPECT_EQ(prefs.GetColor("MV_SHORT", fallback), fallback);
	EXPECT_EQ(prefs.GetColor("MV_LONG", fallback), fallback);
}
