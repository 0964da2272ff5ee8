#pragma once

// MVStatusWindow: the running-jobs window, one row (MVStatusView) per job it
// was told of. It closes itself when its list becomes empty and the
// settings say so, and removes a finished job's row after the delay the
// settings give. When it closes it tells the main window its frame.

#include <app/Message.h>
#include <app/Messenger.h>
#include <interface/Window.h>

class MVStatusView;

class MVStatusWindow : public BWindow {
public:
	MVStatusWindow(const BMessage& settings, BMessenger mainWindow);

	// Adds a row for the job of a job-start notice; the messenger of the
	// row, which subscribes to the job.
	BMessenger AddJob(const BMessage& start);
	void SetSettings(const BMessage& settings);
	int32 CountJobs() const { return int32(fRows.size()); }
	MVStatusView* RowFor(int32 jobID) const;

	void MessageReceived(BMessage* message) override;
	void Quit() override;

private:
	void _JobEnded(int32 jobID);
	void _RemoveRow(int32 jobID);
	void _Relayout();

	BMessage fSettings;
	BMessenger fMainWindow;
	std::vector<MVStatusView*> fRows;
};
