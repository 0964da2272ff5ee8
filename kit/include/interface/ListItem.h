#pragma once

// BListItem: an entry of a BListView. The list does not own its items: the
// caller deletes them (BListView::DeleteAll() does it for all of them). An
// item deleted while in a list leaves the list first.

#include <support/SupportDefs.h>

class BListView;
class QListWidgetItem;

class BListItem {
public:
	BListItem();
	virtual ~BListItem();
	BListItem(const BListItem&) = delete;
	BListItem& operator=(const BListItem&) = delete;

	bool IsSelected() const;
	void SetEnabled(bool enabled);
	bool IsEnabled() const { return fEnabled; }
	// The list the item is in, or null.
	BListView* ListView() const { return fOwner; }
	// What the list shows for the item; empty for a plain item.
	virtual const char* DisplayText() const;

protected:
	// Shows the item's text again, as BListView::InvalidateItem() does.
	void _Changed();

private:
	friend class BListView;

	BListView* fOwner = nullptr;
	QListWidgetItem* fItem = nullptr;
	bool fEnabled = true;
};
