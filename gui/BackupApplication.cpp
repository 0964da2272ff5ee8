#include "BackupApplication.h"

#include <cstring>

#include <app/Message.h>
#include <interface/Alert.h>
#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/File.h>
#include <storage/VolumeTable.h>
#include <storage/Volume.h>

#include "BackupWindow.h"
#include "GuiPreferences.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobSettingsFile.h"
#include "MVDefaultTexts.h"
#include "MVLocale.h"
#include "Preferences.h"
#include "ProgramFolder.h"
#include "ServerProtocol.h"

namespace {

constexpr const char* kLocaleAppID = "morvane backup locale";
constexpr const char* kPrefsFile = "Backup.prefs";
constexpr const char* kPrefsIdentifier = "MVBACKUP";

BackupApplication::Places DefaultPlaces()
{
	BackupApplication::Places places;
	(void)GetProgramFolder(&places.programFolder);
	std::string native;
	if (VolumeTable::ToNative(places.programFolder.c_str(), &native) == B_OK)
		places.serverProgram = native + "/Backup_Server/MorvaneServer";
	return places;
}

}	// namespace


BackupApplication::BackupApplication(std::vector<std::string> files)
	:
	BackupApplication(DefaultPlaces(), std::move(files))
{
}


BackupApplication::BackupApplication(Places places, std::vector<std::string> files)
	:
	BApplication(kBackupSignature),
	fPlaces(std::move(places)),
	fFiles(std::move(files)),
	fLink(fPlaces.serverProgram)
{
	MVLocale* locale = MVLocale::GetInstance();
	locale->SetAppID(kLocaleAppID);
	InstallDefaultTexts(locale);
}


BackupApplication::~BackupApplication() = default;


BackupApplication* BackupApplication::Get()
{
	return dynamic_cast<BackupApplication*>(be_app);
}


std::string BackupApplication::FolderBeside(const char* name) const
{
	return fPlaces.programFolder + "/" + name;
}


void BackupApplication::ReadyToRun()
{
	if (!_CheckVolume())
		return;
	_PrepareFolders();
	_LoadPreferences();
	_LoadLanguage();
	team_id server = fLink.Connect();
	fWindow = new BackupWindow(GuiPreferences::MainFrame(fPrefs.get()));
	fWindow->Show();
	if (server == 0) {
		_Stop("ERROR: Can't start Backup Server! Failed to find program 'MorvaneServer'.");
		return;
	}
	_OpenFiles();
}


bool BackupApplication::_CheckVolume()
{
	std::string native;
	BVolume volume;
	VolumeTable::Location location;
	if (VolumeTable::Locate(fPlaces.programFolder.c_str(), &location) == B_OK)
		(void)volume.SetTo(location.device);
	if (volume.InitCheck() == B_OK && volume.IsReadOnly()) {
		_Stop("ERROR: Morvane Backup can't be started from a read only device!");
		return false;
	}
	if (volume.InitCheck() == B_OK && !volume.KnowsAttr()) {
		_Stop("ERROR: Morvane Backup can't be started from a device that doesn't support "
			"file attributes!");
		return false;
	}
	return true;
}


void BackupApplication::_Stop(const char* text)
{
	(new BAlert("Backup", text, "Stop", nullptr, nullptr, B_WIDTH_AS_USUAL, B_STOP_ALERT))->Go();
	if (fWindow != nullptr && fWindow->Lock())
		fWindow->Quit();
	Quit();
}


void BackupApplication::_PrepareFolders()
{
	for (const char* name : {"jobsettings", "locale"}) {
		BDirectory folder(fPlaces.programFolder.c_str());
		if (folder.InitCheck() == B_OK && !BEntry(FolderBeside(name).c_str()).Exists())
			(void)folder.CreateDirectory(name, nullptr);
	}
}


void BackupApplication::_LoadPreferences()
{
	fPrefs = std::make_unique<Preferences>(FolderBeside(kPrefsFile).c_str(), kPrefsIdentifier);
	GuiPreferences::SetDefaults(fPrefs.get());
}


void BackupApplication::_LoadLanguage()
{
	const char* language = fPrefs->GetString(kPrefLanguage, "English");
	(void)MVLocale::GetInstance()->SetLanguage(FolderBeside("locale").c_str(), language);
}


void BackupApplication::_OpenFiles()
{
	for (const std::string& file : fFiles) {
		uint32 command = JobSettingsFile::ToolFor(file.c_str());
		std::string path;
		if (command == 0 || VolumeTable::ToSystem(file.c_str(), &path) != B_OK) {
			std::string text = "'" + file + "' is not a job settings file.";
			(new BAlert("Backup", text.c_str(), GuiText(kTextContinue)))->Go();
			continue;
		}
		BMessage open(command);
		entry_ref ref(path);
		open.AddRef("ref", &ref);
		(void)fWindow->PostMessage(&open);
	}
}


status_t BackupApplication::PostServer(BMessage* message, BMessage* reply)
{
	if (message == nullptr)
		return B_BAD_VALUE;
	// A server that died leaves its team behind in the link until the
	// next request finds it gone.
	bool hadServer = fLink.Team() != 0;
	status_t status = fLink.Send(message, reply);
	if (status == B_OK) {
		fServerLossShown = false;
		return B_OK;
	}
	if (hadServer && !fLink.IsConnected() && !fServerLossShown) {
		fServerLossShown = true;
		(new BAlert("Backup", "The backup server has stopped and could not be started again. "
			"The request was not sent.", GuiText(kTextContinue), nullptr, nullptr,
			B_WIDTH_AS_USUAL, B_WARNING_ALERT))->Go();
	}
	return status;
}


void BackupApplication::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kMsgJobAdd: {
			BMessage job(*message);
			job.SetInt32("client_id", current_team());
			(void)PostServer(&job);
			return;
		}
		case kMsgLogRead:
		case kMsgPasswordCheck: {
			BMessage reply;
			if (PostServer(message, &reply) != B_OK)
				reply = BMessage(B_NO_REPLY);
			(void)message->SendReply(&reply);
			return;
		}
		case B_GET_PROPERTY:
			_AnswerProperty(message);
			return;
		case kMsgJobInserted:
		case kMsgJobChanged:
		case kMsgJobRemoved:
		case kMsgJobStart:
		case kMsgLogInserted:
		case kMsgLogRemoved:
		case kMsgVolumeData:
		case kMsgQuestion:
		case kMsgWithdrawQuestion:
		case kMsgReportDeletedNews:
		case kMsgReportInsertedNews:
		case kMsgReportRemovedNews:
			// Handed over directly: a job start waits for the window's answer.
			if (fWindow != nullptr && fWindow->Lock()) {
				fWindow->MessageReceived(message);
				fWindow->Unlock();
			}
			return;
		default:
			break;
	}
	if (message->HasData("job_id", B_INT32_TYPE) || IsReportRequest(message->what)) {
		(void)PostServer(message);
		return;
	}
	BApplication::MessageReceived(message);
}


void BackupApplication::_AnswerProperty(BMessage* message)
{
	BMessage specifier;
	std::string property;
	if (message->FindMessage("specifiers", &specifier) == B_OK)
		property = specifier.GetString("property", "");
	else
		property = message->GetString("property", "");
	BMessage reply(B_REPLY);
	if (property == "DefaultLanguage") {
		reply.AddString("result", "English");
	} else if (property == "TextAppID") {
		reply.AddString("result", kLocaleAppID);
	} else if (property == "DefaultText") {
		int32 index = specifier.GetInt32("index", message->GetInt32("index", -1));
		if (index >= 0 && index < kInstalledTextCount) {
			reply.AddString("result", kDefaultTexts[index] != nullptr ? kDefaultTexts[index] : "");
		} else {
			for (int32 id = 0; id < kInstalledTextCount; id++)
				reply.AddString("result", kDefaultTexts[id] != nullptr ? kDefaultTexts[id] : "");
		}
	} else {
		reply.what = B_MESSAGE_NOT_UNDERSTOOD;
		reply.AddString("message", "unknown property");
	}
	(void)message->SendReply(&reply);
}


void BackupApplication::MainWindowGone(BackupWindow* window)
{
	if (window != fWindow)
		return;
	fWindow = nullptr;
	Quit();
}


bool BackupApplication::QuitRequested()
{
	if (fWindow == nullptr)
		return true;
	if (!fWindow->Lock())
		return true;
	bool quit = fWindow->QuitRequested();
	if (quit)
		fWindow->Quit();
	else
		fWindow->Unlock();
	return quit;
}
