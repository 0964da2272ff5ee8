#pragma once

// MVRestoreView: the restore tool. The user marks backups, folders and files
// in the catalogue, sends entries to other folders (shown with "Show
// Pathlist"), sets the restore options and the schedule, and starts a
// restore; backups are deleted from the catalogue here too, with or without
// their data.

#include <memory>

#include "MVCatalogueToolView.h"

class BFilePanel;
class BTextControl;
class MVDeleteRequestWindow;
class MVInsertWindow;

class MVRestoreView : public MVCatalogueToolView {
public:
	explicit MVRestoreView(BRect frame);
	~MVRestoreView() override;

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;

protected:
	void MarksChanged() override;
	void ShowOwnSettings() override;

private:
	void _OpenSettings();
	void _SettingsClosed(BMessage* message);
	void _Delete();
	void _DeleteClosed(BMessage* message);
	void _Redirect(bool clear);
	// The redirection folder, chosen in a panel.
	void _ChooseFolder();
	void _FolderChosen(BMessage* message);
	void _OpenInsert();
	void _InsertClosed(BMessage* message);
	void _InsertStartClosed(BMessage* message);
	std::string _MarkedTitles() const;

	BView* fPathList;
	BTextControl* fRedirectTo;
	MVDeleteRequestWindow* fDeleteWindow = nullptr;
	BWindow* fSettingsWindow = nullptr;
	MVInsertWindow* fInsertWindow = nullptr;
	BWindow* fInsertStartWindow = nullptr;
	std::unique_ptr<BFilePanel> fFolderPanel;
};
