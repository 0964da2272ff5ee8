// Browsing catalogues through the server and checking passwords: the paths
// and names come from clients, so names that lead out of the catalogue
// folder and files that do not unflatten are part of every group.

#include "CatalogueServerTest.h"

namespace {

using Names = std::vector<std::string>;

constexpr const char* kBackup = "2024010100000001";
constexpr const char* kLoadAlert = "Error: Can't load LogData!";

class CatalogueBrowseTest : public CatalogueServerTest {
protected:
	Names Paths(const std::string& path, int32 index, int32 mode)
	{
		return Strings(ReadDir(path, index, mode), "path");
	}

	int32 CountAlerts() const
	{
		std::string log = ReadLog();
		int32 count = 0;
		for (size_t at = log.find(kLoadAlert); at != std::string::npos;
				at = log.find(kLoadAlert, at + 1)) {
			count++;
		}
		return count;
	}
};

}	// namespace

// "/" is the list without inodes; "/<catalogue>" walks the backup from its
// top level, and a path below it walks from that entry.
TEST_F(CatalogueBrowseTest, PathsWalkTheOpenCatalogue)
{
	WriteCatalogue(kBackup);
	Backup second;
	second.title = "Second";
	WriteCatalogue("2024010100000002", second);
	CreateServer();

	BMessage list = ReadDir("/", 0, 0);
	EXPECT_EQ(list.what, uint32(kMsgLogData));
	EXPECT_EQ(Strings(list, "name").size(), 2u);
	EXPECT_FALSE(list.HasData("node", B_INT64_TYPE));
	EXPECT_TRUE(list.HasData("date", B_TIME_TYPE));
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), "");

	std::string root = std::string("/") + kBackup;
	EXPECT_EQ(Paths(root, 0, 0), (Names{"/HD", "/Other"}));
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), kBackup);
	EXPECT_EQ(Paths(root, 6, 0), (Names{"/Other"}));
	EXPECT_EQ(Paths(root, 0, 1).size(), 8u);
	EXPECT_EQ(Paths(root + "/HD/home", 0, 0), (Names{"/HD/home/a", "/HD/home/sub"}));
	EXPECT_EQ(Paths(root + "/HD/home", 0, 1),
		(Names{"/HD/home/a", "/HD/home/sub", "/HD/home/sub/b"}));
	EXPECT_EQ(Paths(root + "/HD/home", 2, 2), Names{});

	BMessage entry = ReadDir(root + "/HD/home/sub", 0, 2);
	EXPECT_EQ(Strings(entry, "name"), Names{"sub"});
	EXPECT_EQ(entry.GetInt32("index", -1), 3);
	EXPECT_EQ(entry.GetInt32("level", -1), 2);
	EXPECT_EQ(entry.GetInt32("type", -1), 1);

	BMessage backup = ReadDir(root, 0, 2);
	EXPECT_EQ(Strings(backup, "name"), Names{kBackup});
	EXPECT_EQ(Strings(backup, "path"), Names{"Weekly"});
	EXPECT_EQ(backup.GetInt32("level", 0), -1);
	EXPECT_EQ(backup.GetInt32("index", 0), -1);
	EXPECT_EQ(backup.GetInt64("size", 0), 123456);
	int32 date = 0;
	ASSERT_EQ(backup.FindTime("date", &date), B_OK);
	EXPECT_EQ(date, 1700000000);

	// Another catalogue takes the open one's place.
	EXPECT_EQ(Strings(ReadDir("/2024010100000002", 0, 2), "path"), Names{"Second"});
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), "2024010100000002");
	EXPECT_EQ(Paths(root + "/Other", 0, 0), (Names{"/Other/c"}));
}

// Unknown catalogues and entries, and names that are no file of the folder
// or do not fit the open name, give an empty answer and open nothing.
TEST_F(CatalogueBrowseTest, UnknownAndHostilePathsFindNothing)
{
	WriteCatalogue(kBackup);
	std::string longest(31, 'L');
	std::string tooLong(32, 'L');
	WriteCatalogue(longest);
	WriteCatalogue(tooLong);
	// A catalogue outside the folder, for paths that try to get at it.
	ASSERT_EQ(CatalogueFile::Write((std::string(kProgramFolder) + "/secret").c_str(),
		MakeCatalogue("secret", Backup())), B_OK);
	fFolder.MakeFolder("Backup_Server/logdata/sub");
	CreateServer();

	for (const std::string& path : {std::string("/missing"), "/" + std::string(kBackup) + "/HD/x",
			std::string("/../secret"), std::string("/.."), std::string("/."),
			std::string("//secret"), std::string("secret"), std::string(""),
			std::string("/sub"), "/" + tooLong, "/" + tooLong + "/HD"}) {
		for (int32 mode : {0, 1, 2})
			EXPECT_TRUE(ReadDir(path, 0, mode).IsEmpty()) << path << " " << mode;
	}
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), "");
	fServer->Catalogues().LogReadDir(nullptr, nullptr, 0, 0);

	EXPECT_EQ(Paths("/" + longest, 0, 0), (Names{"/HD", "/Other"}));
	EXPECT_EQ(fServer->Catalogues().OpenCatalogueName(), longest);
}

// A catalogue that does not unflatten is told once per attempt, leaves
// nothing open, and is tried again on the next request.
TEST_F(CatalogueBrowseTest, DamagedCataloguesAreToldAndLeftClosed)
{
	WriteCatalogue(kBackup);
	fFolder.WriteFile("Backup_Server/logdata/damaged", "MVMSG but not really a message");
	fFolder.WriteFile("Backup_Server/logdata/empty", "");
	CreateServer();

	EXPECT_TRUE(ReadDir("/damaged", 0, 2).IsEmpty());
	EXPECT_EQ(CountAlerts(), 1);
	EXPECT_TRUE(ReadDir("/damaged", 0, 0).IsEmpty());
	EXPECT_EQ(CountAlerts(), 2);
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), "");
	EXPECT_TRUE(ReadDir("/empty", 0, 1).IsEmpty());
	EXPECT_EQ(CountAlerts(), 3);

	EXPECT_EQ(Paths(std::string("/") + kBackup, 0, 0), (Names{"/HD", "/Other"}));
	EXPECT_TRUE(ReadDir("/damaged/HD", 0, 1).IsEmpty());
	EXPECT_EQ(CountAlerts(), 4);
	EXPECT_STREQ(fServer->Catalogues().OpenCatalogueName(), "");
	BMessage nothing;
	EXPECT_FALSE(fServer->Catalogues().GetLogEntry(0, &nothing));

	// A missing file is no damage.
	EXPECT_TRUE(ReadDir("/missing", 0, 0).IsEmpty());
	EXPECT_EQ(CountAlerts(), 4);
	EXPECT_EQ(Paths(std::string("/") + kBackup + "/Other", 0, 0), (Names{"/Other/c"}));
}

// Browse entries come from the open catalogue by position.
TEST_F(CatalogueBrowseTest, EntriesComeFromTheOpenCatalogue)
{
	WriteCatalogue(kBackup);
	CreateServer();
	BMessage reply;
	EXPECT_FALSE(fServer->Catalogues().GetLogEntry(0, &reply));
	EXPECT_FALSE(ReadDir(std::string("/") + kBackup, 0, 0).IsEmpty());
	ASSERT_TRUE(fServer->Catalogues().GetLogEntry(7, &reply));
	EXPECT_STREQ(reply.GetString("path", ""), "/Other/c");
	EXPECT_EQ(reply.GetInt32("index", -1), 7);
	EXPECT_FALSE(fServer->Catalogues().GetLogEntry(8, &reply));
}

// Every listed name is answered with its protection; a given password is
// checked against the catalogue: right 1, wrong 0, none no result. Names not
// listed are skipped.
TEST_F(CatalogueBrowseTest, PasswordsAreCheckedAgainstTheCatalogue)
{
	Backup locked;
	locked.password = "secret";
	WriteCatalogue("locked", locked);
	WriteCatalogue("open");
	CreateServer();

	BMessage request(kMsgPasswordCheck);
	for (const char* name : {"locked", "locked", "open", "../locked", "unknown", "open"})
		request.AddString("name", name);
	for (const char* password : {"secret", "wrong", "", "secret", "secret"})
		request.AddString("pw", password);
	BMessage reply(kMsgPasswordResult);
	fServer->Catalogues().LogPWCheck(&request, &reply);

	EXPECT_EQ(Strings(reply, "name"), (Names{"locked", "locked", "open", "open"}));
	std::vector<int32> protection;
	std::vector<int32> results;
	int32 value;
	for (int32 i = 0; reply.FindInt32("protected", i, &value) == B_OK; i++)
		protection.push_back(value);
	for (int32 i = 0; reply.FindInt32("result", i, &value) == B_OK; i++)
		results.push_back(value);
	EXPECT_EQ(protection, (std::vector<int32>{1, 1, 0, 0}));
	// "open" has an empty password: "" matches it; the last "open" has none.
	EXPECT_EQ(results, (std::vector<int32>{1, 0, 1}));
}

// A damaged catalogue never confirms a password.
TEST_F(CatalogueBrowseTest, DamagedCataloguesConfirmNoPassword)
{
	fFolder.WriteFile("Backup_Server/logdata/damaged", "garbage");
	CreateServer();
	BMessage request(kMsgPasswordCheck);
	request.AddString("name", "damaged");
	request.AddString("pw", "");
	BMessage reply(kMsgPasswordResult);
	fServer->Catalogues().LogPWCheck(&request, &reply);
	EXPECT_EQ(Strings(reply, "name"), Names{"damaged"});
	EXPECT_EQ(reply.GetInt32("protected", -1), 0);
	EXPECT_EQ(reply.GetInt32("result", -1), 0);
}
