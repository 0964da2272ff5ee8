#pragma once

// BListView: a list of items the user selects. It scrolls itself; a
// BScrollView around it only frames it.
//
// The list owns nothing, as in BeOS: MakeEmpty() and RemoveItem() leave the
// items to the caller, who deletes them (DeleteAll() removes and deletes
// them all). Deleting the list leaves its items alive.
//
// The selection message is invoked whenever the selection changes (by the
// user or by Select()/Deselect()); the invocation message (the invoker's
// message) on a double click or Enter. Both copies carry "index" (int32),
// once for each selected item in ascending order, besides "when" and
// "source" (the list). They go to the window by default.

#include <memory>

#include <app/Invoker.h>
#include <interface/View.h>

class BListItem;
class QListWidget;

enum list_view_type {
	B_SINGLE_SELECTION_LIST,
	B_MULTIPLE_SELECTION_LIST,
};

class BListView : public BView, public BInvoker {
public:
	BListView(BRect frame, const char* name, list_view_type type = B_SINGLE_SELECTION_LIST,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE | B_FRAME_EVENTS);
	~BListView() override;

	// False when the item is null, in a list already or the index is out
	// of range.
	bool AddItem(BListItem* item);
	bool AddItem(BListItem* item, int32 index);
	// The item leaves the list; the caller owns it.
	BListItem* RemoveItem(int32 index);
	bool RemoveItem(BListItem* item);
	// Removes every item without deleting any.
	void MakeEmpty();
	// Removes every item and deletes it.
	void DeleteAll();
	BListItem* ItemAt(int32 index) const;
	int32 CountItems() const;
	bool IsEmpty() const { return CountItems() == 0; }
	// -1 when the item is not in this list.
	int32 IndexOf(const BListItem* item) const;
	bool HasItem(const BListItem* item) const { return IndexOf(item) >= 0; }

	// The index of the nth selected item (ascending), or -1.
	int32 CurrentSelection(int32 index = 0) const;
	// extend keeps the items selected already (multiple selection lists).
	void Select(int32 index, bool extend = false);
	void Deselect(int32 index);
	void DeselectAll();
	bool IsItemSelected(int32 index) const;
	void ScrollToSelection();
	void SetListType(list_view_type type);
	list_view_type ListType() const { return fType; }

	// The list takes the messages; null sends none.
	void SetSelectionMessage(BMessage* message);
	BMessage* SelectionMessage() const { return fSelectionMessage.get(); }
	void SetInvocationMessage(BMessage* message) { SetMessage(message); }
	BMessage* InvocationMessage() const { return Message(); }
	// Shows the item's text again after it changed.
	void InvalidateItem(int32 index);

	// Called when the selection changed, before the selection message goes.
	virtual void SelectionChanged();
	status_t Invoke(BMessage* message = nullptr) override;

protected:
	BLooper* _DefaultLooper() const override;
	const void* _Source() const override { return static_cast<const BListView*>(this); }

private:
	friend class BListItem;

	void _SelectionChanged();

	QListWidget* fList;
	list_view_type fType;
	std::unique_ptr<BMessage> fSelectionMessage;
	bool fQuiet = false;
};
