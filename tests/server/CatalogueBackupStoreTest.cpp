// The backups behind the catalogues: scanning an image destination for the
// backups it holds, and deleting backups with and without their images.

#include <unistd.h>

#include <algorithm>
#include <tuple>

#include "BackupHeader.h"
#include "CatalogueServerTest.h"

namespace {

constexpr const char* kFirst = "2024010100000001";
constexpr const char* kSecond = "2024010200000002";
constexpr const char* kImageFolder = "/Test/images";

using Names = std::vector<std::string>;

class CatalogueBackupStoreTest : public CatalogueServerTest {
protected:
	void SetUp() override
	{
		CatalogueServerTest::SetUp();
		std::string addOns = fFolder.MakeFolder("Backup_Server/add-ons/destination");
		ASSERT_EQ(symlink((std::string(MORVANE_DIST_DIR)
			+ "/Backup_Server/add-ons/destination/MVImage").c_str(),
			(addOns + "/MVImage").c_str()), 0);
		fFolder.MakeFolder("images");
	}

	// An image file that begins with the header of a backup.
	void WriteImage(const std::string& id, const std::string& title, int32 date)
	{
		BackupHeader header;
		header.backupId = id;
		header.title = title;
		header.creationTime = date;
		uint8 bytes[kBackupHeaderSize];
		header.Encode(bytes);
		std::string content(reinterpret_cast<const char*>(bytes), sizeof(bytes));
		fFolder.WriteFile("images/" + id, content + "and the entries");
	}

	bool ImageExists(const std::string& id) const
	{
		return ReadWholeFile(fFolder / ("images/" + id)).has_value();
	}

	bool CatalogueExists(const std::string& name) const
	{
		return ReadWholeFile(NativeCatalogue(name)).has_value();
	}

	static BMessage ImageSettings()
	{
		BMessage settings;
		settings.AddString("MVVOLNAME", kImageFolder);
		return settings;
	}

	void WriteImageCatalogue(const std::string& name)
	{
		Backup backup;
		backup.destination = "MVImage";
		backup.destinationFolder = kImageFolder;
		WriteCatalogue(name, backup);
	}

	void Delete(const Names& names, int32 full)
	{
		BMessage request(kMsgDeleteBackups);
		request.AddInt32("full", full);
		for (const std::string& name : names)
			request.AddString("name", name);
		fServer->Catalogues().DeleteBackups(&request);
	}

	using Found = std::tuple<std::string, std::string, int32>;

	static std::vector<Found> Backups(const BMessage& result)
	{
		std::vector<Found> found;
		const char* title;
		for (int32 i = 0; result.FindString("title", i, &title) == B_OK; i++) {
			int32 date = 0;
			EXPECT_EQ(result.FindTime("date", i, &date), B_OK);
			found.emplace_back(result.GetString("ID", i, ""), title, date);
		}
		std::sort(found.begin(), found.end());
		return found;
	}
};

}	// namespace

// A scan lists the backups whose header reads, with title, id and date, and
// skips files that are no backups.
TEST_F(CatalogueBackupStoreTest, ScanFindsTheBackupsOfAnImageFolder)
{
	WriteImage(kFirst, "Monday", 1700000000);
	WriteImage(kSecond, "Tuesday", 1700086400);
	fFolder.WriteFile("images/notes.txt", std::string(300, 'x'));
	fFolder.WriteFile("images/short", "ab");
	CreateServer();

	BMessage settings = ImageSettings();
	BMessage result = fServer->Catalogues().VolumeScan("MVImage", &settings);
	EXPECT_EQ(Backups(result), (std::vector<Found>{
		{kFirst, "Monday", 1700000000}, {kSecond, "Tuesday", 1700086400}}));

	for (const char* name : {"Missing", "../destination/MVImage", "", "."})
		EXPECT_TRUE(fServer->Catalogues().VolumeScan(name, &settings).IsEmpty()) << name;
	BMessage elsewhere;
	elsewhere.AddString("MVVOLNAME", "/Test/nowhere");
	EXPECT_TRUE(fServer->Catalogues().VolumeScan("MVImage", &elsewhere).IsEmpty());
}

// The scan's result goes to every client, with the id of the request.
TEST_F(CatalogueBackupStoreTest, ScanResultsAreBroadcast)
{
	WriteImage(kFirst, "Monday", 1700000000);
	WriteImage(kSecond, "Tuesday", 1700086400);
	CreateServer();
	RegisterClient();

	BMessage request;
	request.AddString("name", "MVImage");
	BMessage settings = ImageSettings();
	request.AddMessage("settings", &settings);
	request.AddInt32("id", 17);
	Handle(kMsgVolumeScan, request);

	std::optional<BMessage> result = fClient.Inbox().Await(kMsgVolumeData, kPatience);
	ASSERT_TRUE(result.has_value());
	EXPECT_EQ(result->GetInt32("id", 0), 17);
	EXPECT_EQ(Backups(*result).size(), 2u);
}

// Without "full" only the catalogue goes; with it the image goes too, and a
// missing image or an unreadable catalogue does not keep the catalogue.
TEST_F(CatalogueBackupStoreTest, DeletingRemovesCataloguesAndOnRequestImages)
{
	WriteImage(kFirst, "Monday", 1700000000);
	WriteImage(kSecond, "Tuesday", 1700086400);
	WriteImageCatalogue(kFirst);
	WriteImageCatalogue(kSecond);
	WriteImageCatalogue("2024010300000003");
	fFolder.WriteFile("Backup_Server/logdata/damaged", "garbage");
	CreateServer();

	Delete({kFirst}, 0);
	EXPECT_FALSE(CatalogueExists(kFirst));
	EXPECT_TRUE(ImageExists(kFirst));

	Delete({kSecond, "2024010300000003", "damaged"}, 1);
	EXPECT_FALSE(CatalogueExists(kSecond));
	EXPECT_FALSE(ImageExists(kSecond));
	EXPECT_FALSE(CatalogueExists("2024010300000003"));
	EXPECT_FALSE(CatalogueExists("damaged"));
	EXPECT_TRUE(ImageExists(kFirst));
}

// Names that are no file of the catalogue folder delete nothing, neither
// there nor on a destination.
TEST_F(CatalogueBackupStoreTest, HostileNamesDeleteNothing)
{
	WriteImage(kFirst, "Monday", 1700000000);
	WriteImageCatalogue(kFirst);
	fFolder.WriteFile("Backup_Server/secret", "keep");
	CreateServer();

	Delete({"../secret", "..", ".", "", "/Test/Backup_Server/secret",
		std::string("../../images/") + kFirst, "missing"}, 1);
	EXPECT_TRUE(ReadWholeFile(NativePath("secret")).has_value());
	EXPECT_TRUE(CatalogueExists(kFirst));
	EXPECT_TRUE(ImageExists(kFirst));
}

// Through the running server: the request is answered when all is done, and
// the list no longer holds the backup by then.
TEST_F(CatalogueBackupStoreTest, DeleteRequestsAreAnsweredAndFollowed)
{
	WriteImage(kFirst, "Monday", 1700000000);
	WriteImageCatalogue(kFirst);
	CreateServer();
	RegisterClient();
	RunServer();

	BMessage request(kMsgDeleteBackups);
	request.AddInt32("full", 1);
	request.AddString("name", kFirst);
	EXPECT_EQ(Request(request).what, uint32(kMsgBackupsDeleted));
	EXPECT_FALSE(CatalogueExists(kFirst));
	EXPECT_FALSE(ImageExists(kFirst));
	BMessage browse(kMsgLogRead);
	browse.AddString("path", "/");
	EXPECT_TRUE(Request(browse).IsEmpty());
	EXPECT_TRUE(AwaitNamed(kMsgLogRemoved, kFirst).has_value());
}
