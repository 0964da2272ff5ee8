#pragma once

// MVLogFullList: the catalogue view's items flattened in pre-order, with
// where each item's subtree ends, and the selected items among them with
// the backup each belongs to. Both lists are built on first use and kept
// until the model reports a change: StructureChanged() after items were
// added or removed, MarksChanged() after marks changed. So a walk over
// every position costs one pass over the items, not one per position.
//
// The list holds a reference to the model's top-level items, which must
// outlive it, and pointers into them that a change report invalidates.
// Used by the model's thread only.

#include <memory>
#include <vector>

#include <support/SupportDefs.h>

struct MVLogDataItem;

class MVLogFullList {
public:
	using Roots = std::vector<std::unique_ptr<MVLogDataItem>>;

	explicit MVLogFullList(const Roots& roots) : fRoots(roots) {}

	void StructureChanged();
	void MarksChanged();

	int32 CountItems() const;
	// Null outside 0 .. CountItems() - 1.
	MVLogDataItem* ItemAt(int32 index) const;
	// One past the last index of the subtree of the item at index.
	int32 SubtreeEnd(int32 index) const;

	int32 CountSelected() const;
	// Null outside 0 .. CountSelected() - 1.
	MVLogDataItem* SelectedAt(int32 index) const;
	// The top-level item above the selected item at index.
	MVLogDataItem* SelectedBackupAt(int32 index) const;

private:
	void _BuildItems() const;
	void _BuildSelected() const;

	const Roots& fRoots;
	mutable bool fItemsValid = false;
	mutable std::vector<MVLogDataItem*> fItems;
	mutable std::vector<int32> fSubtreeEnds;
	mutable bool fSelectedValid = false;
	mutable std::vector<MVLogDataItem*> fSelected;
	mutable std::vector<MVLogDataItem*> fSelectedBackups;
};
