#include "JobSettingsPanel.h"

#include <string>

#include <interface/Alert.h>
#include <interface/FilePanel.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobSettingsFile.h"
#include "MVToolView.h"

JobSettingsPanel::JobSettingsPanel(const char* magic, const char* alertTitle)
	:
	fMagic(magic),
	fAlertTitle(alertTitle)
{
}


JobSettingsPanel::~JobSettingsPanel() = default;


void JobSettingsPanel::Show(bool save, BHandler* target)
{
	BMessenger messenger(target);
	entry_ref folder(BackupApplication::Get()->FolderBeside("jobsettings"));
	fPanel = std::make_unique<BFilePanel>(save ? B_SAVE_PANEL : B_OPEN_PANEL, &messenger,
		&folder, 0, false);
	fPanel->Show();
}


bool JobSettingsPanel::Load(const entry_ref& ref, BMessage* settings) const
{
	if (JobSettingsFile::Read(ref.path.c_str(), fMagic, settings) == B_OK)
		return true;
	std::string text = "'" + ref.path + "' is no job settings file of this tool that can be read.";
	(new BAlert(fAlertTitle, text.c_str(), GuiText(kTextContinue)))->Go();
	return false;
}


void JobSettingsPanel::Save(const BMessage& request, const BMessage& settings) const
{
	entry_ref folder;
	const char* name = request.GetString("name", nullptr);
	if (request.FindRef("directory", &folder) != B_OK || name == nullptr)
		return;
	std::string path = folder.path + "/" + name;
	if (JobSettingsFile::Write(path.c_str(), fMagic, settings) != B_OK) {
		std::string text = "Can't save the job settings to '" + path + "'!";
		(new BAlert(fAlertTitle, text.c_str(), GuiText(kTextContinue)))->Go();
	}
}


bool JobSettingsPanel::Handle(BMessage* message, MVToolView* tool)
{
	entry_ref ref;
	switch (message->what) {
		case kCmdLoadSelection:
		case kCmdSaveSelection:
			Show(message->what == kCmdSaveSelection, tool);
			return true;
		case B_REFS_RECEIVED:
			if (message->FindRef("refs", &ref) == B_OK)
				tool->LoadFile(ref);
			return true;
		case B_SAVE_REQUESTED:
		{
			BMessage settings;
			tool->GetPref(&settings);
			Save(*message, settings);
			return true;
		}
		case B_CANCEL:
			return true;
		default:
			return false;
	}
}
