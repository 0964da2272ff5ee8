#pragma once

// MVBackupView: the backup tool. The user marks folders and files in the
// source tree, picks destination, compressor and the backup mode; an
// incremental or differential backup follows a full backup job of the
// queue, whose selection and last run it takes. The job queue's notices
// keep the choice of that job current. The same view edits a queued backup
// job in the job queue's edit window.

#include <map>
#include <string>

#include "MVBackupToolView.h"

class BMenuField;
class MVSourceSelectionView;

class MVBackupView : public MVBackupToolView {
public:
	enum Use {
		kTool,          // the tool of the main window
		kJobEditor,     // inside an edit window: no start, no files
	};

	MVBackupView(BRect frame, Use use = kTool);

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;

	// The job being edited, which cannot follow itself.
	void SetEditedJob(int32 jobID) { fEditedJob = jobID; }
	// The job the settings make, as it goes to the server.
	static void BuildJob(const BMessage& settings, BMessage* job);

protected:
	void ReadSelection(BMessage* selection) const override;
	void ShowSelection(const BMessage& selection) override;
	void SelectAll(bool select) override;
	bool ReadyToStart() override;
	void MakeJob(const BMessage& settings, BMessage* job) const override;
	void ReadOwnSettings(BMessage* settings) const override;
	void ShowOwnSettings(const BMessage& settings) override;

private:
	void _LoadJobs();
	void _JobNotice(const BMessage& notice);
	void _BuildBaseMenu();
	void _ShowMode();

	MVSourceSelectionView* fSources;
	BMenuField* fModeField;
	BMenuField* fBaseField;
	// The full backup jobs of the queue, by id: their titles.
	std::map<int32, std::string> fFullJobs;
	int32 fMode;
	int32 fBase = 0;
	int32 fEditedJob = 0;
};
