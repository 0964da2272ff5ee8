#pragma once

// MVImageWindow: the image destination's settings window. It edits the
// target folder ("MVVOLNAME", chosen in a folder panel), "MVVOLOVERWRITE"
// and "createpath" of a copy of the settings; the reply is
// kVolumeSettingsReply (see MVSetWindow).
//
// A folder on the boot volume is stored under the volume's name, not
// "/boot", so that the settings name the volume that holds the backups.

#include <memory>
#include <string>

#include "MVSetWindow.h"

class BFilePanel;
class MVDirFilePanel;
class MVDirFilter;

// The messages of the window's controls.
enum : uint32 {
	kImageChangeFolder = 'chng',
	kImageOverwrite = 'ovwr',
	kImageCreatePath = 'crpa',
};

class MVImageWindow : public MVSetWindow {
public:
	MVImageWindow(const char* title, BWindow* parent, BMessage settings, BHandler* target);
	~MVImageWindow() override;

	void MessageReceived(BMessage* message) override;
	void Quit() override;

	// The folder panel once the user asked for it, until it goes.
	BFilePanel* FolderPanel() const;
	// A system path with "/boot" spelt as the boot volume's name.
	static std::string WithBootVolumeName(const char* path);

private:
	void _AddControls();
	void _AddCheckBox(const char* name, int32 text, uint32 command, float top,
		bool value);
	void _ShowFolderPanel();
	void _StoreFlag(const char* viewName, const char* key);
	void _FolderChosen(const BMessage* message);
	void _PanelClosed();
	void _ClosePanel();

	// The panel goes before its filter.
	std::unique_ptr<MVDirFilter> fFilter;
	std::unique_ptr<MVDirFilePanel> fPanel;
};
