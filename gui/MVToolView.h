#pragma once

// MVToolView: what the main window needs of a tool (backup, restore, job
// queue ...): its settings message for the preferences, a job-settings file
// to load, and the commands and notices routed to it.

#include <app/Message.h>
#include <interface/View.h>
#include <storage/EntryRef.h>

class BColumnListView;

class MVToolView : public BView {
public:
	MVToolView(BRect frame, const char* name)
		:
		BView(frame, name, B_FOLLOW_ALL, B_WILL_DRAW | B_FRAME_EVENTS)
	{
	}

	virtual void GetPref(BMessage* settings) const = 0;
	virtual void SetPref(const BMessage& settings) = 0;
	// Loads a saved job-settings file instead of the stored settings.
	virtual void LoadFile(const entry_ref& ref) = 0;

protected:
	// The tool's own buttons talk to the tool, not to its window.
	void AimButtonsHere();
	// The widths of a list's columns, one settings key per column.
	static void StoreColumnWidths(const BColumnListView* list, const char* const* keys,
		BMessage* settings);
	static void RestoreColumnWidths(BColumnListView* list, const char* const* keys,
		const BMessage& settings);
};

// The tools, in the order of "lastview" (1 to 6); the start view is 0.
enum ToolKind : int32 {
	kToolStart = 0,
	kToolBackup = 1,
	kToolRestore = 2,
	kToolJobQueue = 3,
	kToolReports = 4,
	kToolCompare = 5,
	kToolQuickBackup = 6,
	kToolCount = 7,
};

// The tool view of that kind, or null for the start view, which the main
// window makes itself.
MVToolView* CreateToolView(ToolKind kind, BRect frame);
