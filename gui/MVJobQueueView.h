#pragma once

// MVJobQueueView: the job queue tool. One row per job the server holds,
// kept current by the server's job notices; start, pause, continue, abort
// and delete the selected jobs, each only where its state allows and after
// the question the action needs.

#include <map>
#include <string>
#include <vector>

#include <app/Message.h>

#include "MVToolView.h"

class BButton;
class BColumnListView;
class BRow;

class MVJobQueueView : public MVToolView {
public:
	explicit MVJobQueueView(BRect frame);
	~MVJobQueueView() override;

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;
	void GetPref(BMessage* settings) const override;
	void SetPref(const BMessage& settings) override;
	void LoadFile(const entry_ref& ref) override;

	// The jobs listed, which the filters let through.
	int32 CountJobs() const { return int32(fRows.size()); }
	// The row of the job, or null.
	BRow* RowOf(int32 jobID) const;

	// The texts of a job's state and type, as the list shows them.
	static const char* StatusText(int32 status);
	static const char* TypeText(int32 type);

private:
	struct Action {
		uint32 command;
		uint32 request;        // sent to the server per row
		int32 question;        // text id of the question, or 0
		bool (*allowed)(int32 status);
	};

	// What the list shows of a job.
	struct Job {
		std::string title;
		int32 date = 0;
		int32 type = 0;
		int32 status = 0;
	};

	void _Reload();
	void _Insert(const BMessage& job, int32 index);
	void _Change(const BMessage& job);
	void _Remove(int32 jobID);
	// Lists the job, or not, as the filters say.
	void _Show(int32 jobID);
	int32 _JobOf(const BRow* row) const;
	std::vector<int32> _SelectedJobs(bool (*allowed)(int32 status)) const;
	void _Act(const Action& action);
	// Takes the job for editing and gets its record; false when the server
	// gives it to no one else.
	bool _Take(int32 jobID, BMessage* record);
	void _Release(int32 jobID);
	// The job's record becomes this one.
	void _Replace(int32 jobID, const BMessage& record);
	// A title typed into the list becomes the job's.
	void _Rename(BMessage* message);
	void _Edit();
	void _EditClosed(BMessage* message);
	void _OpenSettings();
	void _SettingsClosed(BMessage* message);
	void _UpdateButtons();
	static const Action* _ActionFor(uint32 command);

	BColumnListView* fList;
	std::map<int32, Job> fJobs;
	// The rows of the jobs the filters let through.
	std::map<int32, BRow*> fRows;
	std::map<int32, BWindow*> fEditWindows;
	BWindow* fSettingsWindow = nullptr;
	BMessage fSettings;
};
