#pragma once

// MVQBView: the quick backup tool, the short way to a full backup: tick
// whole volumes, pick a destination and a compressor, start. Its settings
// message is also the body of the job it submits.

#include <memory>
#include <string>

#include <app/Message.h>

#include "AddOnShelf.h"
#include "MVToolView.h"

class BButton;
class BMenuField;
class BPopUpMenu;
class MVVolumeSelectionView;

class MVQBView : public MVToolView {
public:
	explicit MVQBView(BRect frame);
	~MVQBView() override;

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;
	void GetPref(BMessage* settings) const override;
	void SetPref(const BMessage& settings) override;
	void LoadFile(const entry_ref& ref) override;

	// The job the settings make, as it goes to the server.
	static void BuildJob(const BMessage& settings, const char* bootVolume, BMessage* job);

private:
	void _BuildMenu(BPopUpMenu* menu, AddOnShelf::Kind kind, uint32 command);
	void _ChooseAddOn(AddOnShelf::Kind kind, BMessage* message);
	void _OpenSettings(AddOnShelf::Kind kind);
	void _MarkChosen();
	void _OpenScheduler();
	void _SchedulerClosed(BMessage* message);
	void _Start();
	void _StartWindowClosed(BMessage* message);
	bool _AskOverwrite();
	void _Submit();
	void _OpenFilePanel(bool save);
	void _FileChosen(BMessage* message);

	BMessage fSettings;
	std::unique_ptr<AddOnShelf> fShelf;
	MVVolumeSelectionView* fVolumes;
	BMenuField* fDestinationField;
	BMenuField* fPackerField;
	BWindow* fStartWindow = nullptr;
	BWindow* fSchedulerWindow = nullptr;
	class BFilePanel* fPanel = nullptr;
};
