#pragma once

// MVRestoreView: the restore tool. The user marks backups, folders and files
// in the catalogue, sends entries to other folders (shown with "Show
// Pathlist"), sets the restore options and the schedule, and starts a
// restore; backups are deleted from the catalogue here too, with or without
// their data. Its settings message is also the body of the restore job.

#include <string>
#include <vector>

#include <app/Message.h>

#include "JobSettingsPanel.h"
#include "MVToolView.h"

class BTextControl;
class MVDeleteRequestWindow;
class MVLogDataView;
class MVRestoreStartWin;

class MVRestoreView : public MVToolView {
public:
	explicit MVRestoreView(BRect frame);
	~MVRestoreView() override;

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;
	void GetPref(BMessage* settings) const override;
	void SetPref(const BMessage& settings) override;
	void LoadFile(const entry_ref& ref) override;

	// The restore job the settings make, as it goes to the server.
	static void BuildJob(const BMessage& settings, BMessage* job);

private:
	void _Start();
	void _StartClosed(BMessage* message);
	void _OpenSettings();
	void _SettingsClosed(BMessage* message);
	void _OpenScheduler();
	void _SchedulerClosed(BMessage* message);
	void _Delete();
	void _DeleteClosed(BMessage* message);
	void _MarksChanged();
	void _ShowPathList();
	void _Redirect(bool clear);
	void _FileChosen(BMessage* message);
	// The marked backups that a password protects.
	std::vector<std::string> _ProtectedBackups() const;
	std::string _MarkedTitles() const;

	BMessage fSettings;
	MVLogDataView* fCatalogue;
	BView* fPathList;
	BTextControl* fRedirectTo;
	MVRestoreStartWin* fStartWindow = nullptr;
	MVDeleteRequestWindow* fDeleteWindow = nullptr;
	BWindow* fSettingsWindow = nullptr;
	BWindow* fSchedulerWindow = nullptr;
	JobSettingsPanel fFiles;
};
