// Start-up and shutdown of the server application: its folders, its locale,
// its report server, and where its alerts go.

#include <sys/stat.h>

#include <app/Looper.h>
#include <interface/Alert.h>

#include <MVLocale.h>

#include "InProcessServer.h"

namespace {

class ServerStartTest : public InProcessServer {
};

mode_t ModeOf(const std::string& path)
{
	struct stat status;
	return stat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

}	// namespace

// A first start creates the catalogue and streamer folders, installs the
// English texts, runs the report server and pulses every 5 seconds; quitting
// ends the report server.
TEST_F(ServerStartTest, FirstStartSetsUpEverything)
{
	MVServerSettings settings = Settings();
	settings.pulseRate = MVServerSettings::kPulseRate;
	CreateServer(settings);
	MVCatalogueRegistry& catalogues = fServer->Catalogues();

	EXPECT_TRUE(S_ISDIR(ModeOf(NativePath("logdata"))));
	EXPECT_TRUE(S_ISDIR(ModeOf(NativePath("add-ons/destination/streamer_data"))));
	EXPECT_EQ(catalogues.Folder(), std::string(kProgramFolder) + "/logdata");
	EXPECT_EQ(catalogues.List().what, uint32(kMsgLogData));
	EXPECT_STREQ(catalogues.OpenCatalogueName(), "");
	EXPECT_EQ(fServer->PulseRate(), 5000000);

	MVLocale* locale = MVLocale::GetInstance();
	EXPECT_STREQ(locale->AppID(), "morvane backup locale");
	EXPECT_STREQ(locale->Language(), "English");
	EXPECT_STREQ(locale->Text(0), "Ok");
	EXPECT_NE(locale->Text(327), nullptr);
	// The schedule's field names after the texts are not handed over.
	EXPECT_EQ(locale->Text(328), nullptr);

	BMessenger reportServer = fServer->ReportServer();
	ASSERT_TRUE(reportServer.IsValid());
	EXPECT_GE(find_thread("MVReportServer"), 0);

	fServer->Quit();
	EXPECT_FALSE(fServer->ReportServer().IsValid());
	EXPECT_EQ(find_thread("MVReportServer"), B_NAME_NOT_FOUND);
}

// An existing catalogue folder is used as it is, with its mode and content.
TEST_F(ServerStartTest, ExistingCatalogueFolderIsKept)
{
	std::string catalogues = fFolder.MakeFolder("Backup_Server/logdata");
	ASSERT_EQ(chmod(catalogues.c_str(), 0700), 0);
	fFolder.WriteFile("Backup_Server/logdata/2024010112345678", "catalogue");
	CreateServer();

	EXPECT_EQ(ModeOf(catalogues) & 0777, mode_t(0700));
	EXPECT_EQ(ReadWholeFile(catalogues + "/2024010112345678").value_or(""), "catalogue");
	EXPECT_EQ(fServer->Catalogues().Folder(), std::string(kProgramFolder) + "/logdata");
}

// When the catalogue folder cannot be made, the server still starts, without
// catalogues, and says why in its log.
TEST_F(ServerStartTest, UnusableCatalogueFolderLeavesTheListEmpty)
{
	fFolder.WriteFile("Backup_Server/logdata", "a file in the way");
	CreateServer();

	EXPECT_EQ(fServer->Catalogues().Folder(), "");
	EXPECT_TRUE(fServer->Catalogues().List().IsEmpty());
	EXPECT_NE(ReadLog().find("The catalogue folder /Test/Backup_Server/logdata cannot be created"),
		std::string::npos);
	EXPECT_TRUE(fServer->ReportServer().IsValid());
}

// While the server exists, alerts of the process are written to its log and
// answered with their default button; afterwards they no longer reach it.
TEST_F(ServerStartTest, AlertsGoToTheServerLog)
{
	CreateServer();
	BAlert* alert = new BAlert("Server", "Error: Can't load LogData!", "Ok");
	EXPECT_EQ(alert->Go(), 0);
	EXPECT_NE(ReadLog().find("Can't load LogData!"), std::string::npos);

	fServer.reset();
	BAlert* later = new BAlert("Later", "After the server", "Cancel", "Ok");
	EXPECT_EQ(later->Go(), 1);
	EXPECT_EQ(ReadLog().find("After the server"), std::string::npos);
}
