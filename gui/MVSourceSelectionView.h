#pragma once

// MVSourceSelectionView: the volumes, folders and files a backup may take,
// as a tree whose folders are listed as they open. The user marks entries
// to include or exclude with the buttons, the pop-up menu or a double click
// (which steps through the marks); the marks are the selection lines.

#include <map>
#include <string>

#include <app/Message.h>
#include <interface/View.h>

#include "SelectionMarks.h"

class BRow;
class SourceTreeList;

class MVSourceSelectionView : public BView {
public:
	explicit MVSourceSelectionView(BRect frame, uint32 resizingMode = B_FOLLOW_ALL);

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;

	// The "SELECTION" lines of the marks.
	void GetSelection(BMessage* selection) const;
	void SetSelection(const BMessage& selection);
	// Includes every volume, or takes every mark away.
	void SelectAll(bool select);
	bool HasInclusion() const { return fMarks.AnyIncluded(); }

	// The row of a volume path, opening the folders on the way; null when
	// the path is not there.
	BRow* RowOfPath(const std::string& path);
	// Marks the selected rows.
	void MarkSelected(SelectionMarks::Mark mark);

private:
	friend class SourceTreeList;

	struct Entry {
		std::string path;
		bool directory;
		bool listed;
	};

	BRow* _AddRow(const std::string& path, const std::string& name, bool directory,
		BRow* parent, off_t size, int32 modified);
	void _List(BRow* row);
	void _ShowMark(BRow* row);
	void _ShowMarksBelow(BRow* row);
	void _StepMark();

	SourceTreeList* fList;
	std::map<const BRow*, Entry> fEntries;
	SelectionMarks fMarks;
};
