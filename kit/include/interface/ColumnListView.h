#pragma once

// BColumnListView: rows of fields shown in titled, resizable columns, rows
// possibly holding child rows (a tree). It scrolls itself; a BScrollView
// around it only frames it.
//
// A column shows one logical field of every row: AddColumn(column, 2) makes
// the column show each row's field 2. The list owns its columns and its rows
// and deletes them with itself; Clear() deletes the rows, RemoveRow() gives
// one back to the caller. A row owns its fields and its child rows.
//
// Column widths follow the user's resizing, so that a program can keep them
// in its settings: BColumn::Width() reads the current width, SetWidth()
// restores one.
//
// Messages go to the window by default, with "when" and "source" (the list):
// the selection message whenever the selection changes, the invocation
// message (the invoker's message) on a double click or Enter, and the edited
// message of an editable field when the user committed a new text, with
// "row" (pointer to the BRow), "field" (int32, logical field index) and
// "text" (string). A double click on an editable field edits it instead of
// invoking.

#include <memory>
#include <string>
#include <vector>

#include <app/Invoker.h>
#include <interface/ListView.h>
#include <interface/View.h>

class BColumnListView;
class BPicture;
class BPopUpMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace MorvaneKit {
class ColumnDelegate;
}

// How a column shortens a text that does not fit.
enum : uint32 {
	B_TRUNCATE_END = 0,
	B_TRUNCATE_BEGINNING = 1,
	B_TRUNCATE_MIDDLE = 2,
	B_TRUNCATE_SMART = 3,
};

// BField: one value of a row.
class BField {
public:
	BField() = default;
	virtual ~BField() = default;
	BField(const BField&) = delete;
	BField& operator=(const BField&) = delete;
};

class BStringField : public BField {
public:
	explicit BStringField(const char* string) : fString(string != nullptr ? string : "") {}

	void SetString(const char* string) { fString = string != nullptr ? string : ""; }
	const char* String() const { return fString.c_str(); }

private:
	std::string fString;
};

// BRow: the fields of one line, by logical field index.
class BRow {
public:
	BRow();
	virtual ~BRow();
	BRow(const BRow&) = delete;
	BRow& operator=(const BRow&) = delete;

	// The row takes the field and deletes the one it replaces; a row in a
	// list shows it at once.
	void SetField(BField* field, int32 logicalFieldIndex);
	BField* GetField(int32 logicalFieldIndex) const;
	int32 CountFields() const { return int32(fFields.size()); }
	// True when the row has child rows, or shows its latch without them.
	bool HasLatch() const;
	// A row whose children are added only when it opens shows its latch
	// before it has any.
	void ShowLatch(bool show);
	// The picture shown before the row's first column; an empty picture
	// shows none.
	void SetIcon(const BPicture& picture);
	bool HasIcon() const;
	bool IsExpanded() const;
	bool IsSelected() const;
	BColumnListView* ListView() const { return fList; }
	BRow* ParentRow() const;

private:
	friend class BColumnListView;

	std::vector<std::unique_ptr<BField>> fFields;
	QTreeWidgetItem* fItem;
	BColumnListView* fList = nullptr;
};

// BColumn: a titled column; subclasses say what they show of a field.
class BColumn {
public:
	BColumn(const char* title, float width, float minWidth, float maxWidth,
		alignment align = B_ALIGN_LEFT);
	virtual ~BColumn();
	BColumn(const BColumn&) = delete;
	BColumn& operator=(const BColumn&) = delete;

	const char* Title() const { return fTitle.c_str(); }
	void SetTitle(const char* title);
	// The current width in pixels, as the user left it.
	float Width() const;
	// Clamped to the minimum and maximum widths.
	void SetWidth(float width);
	float MinWidth() const { return fMinWidth; }
	float MaxWidth() const { return fMaxWidth; }
	alignment Alignment() const { return fAlignment; }
	void SetVisible(bool visible);
	bool IsVisible() const { return fVisible; }
	// The field this column shows of each row; -1 before AddColumn().
	int32 LogicalFieldNum() const { return fField; }
	BColumnListView* ListView() const { return fList; }

	// What the column shows for a field (null: nothing).
	virtual std::string FieldText(const BField* field) const;
	virtual bool AcceptsField(const BField* field) const;
	// One of the B_TRUNCATE_ constants.
	virtual uint32 Truncation() const { return B_TRUNCATE_END; }

private:
	friend class BColumnListView;

	std::string fTitle;
	float fWidth;
	float fMinWidth;
	float fMaxWidth;
	alignment fAlignment;
	bool fVisible = true;
	int32 fField = -1;
	BColumnListView* fList = nullptr;
};

class BStringColumn : public BColumn {
public:
	BStringColumn(const char* title, float width, float minWidth, float maxWidth,
		uint32 truncate = B_TRUNCATE_END, alignment align = B_ALIGN_LEFT);

	std::string FieldText(const BField* field) const override;
	bool AcceptsField(const BField* field) const override;
	uint32 Truncation() const override { return fTruncate; }

private:
	uint32 fTruncate;
};

class BColumnListView : public BView, public BInvoker {
public:
	BColumnListView(BRect frame, const char* name,
		uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP,
		uint32 flags = B_WILL_DRAW | B_NAVIGABLE | B_FRAME_EVENTS,
		border_style border = B_NO_BORDER, bool showHorizontalScrollbar = true);
	~BColumnListView() override;

	// The list takes the column; it shows the rows' field logicalFieldIndex.
	void AddColumn(BColumn* column, int32 logicalFieldIndex);
	// The column leaves the list; the caller owns it.
	bool RemoveColumn(BColumn* column);
	BColumn* ColumnAt(int32 index) const;
	int32 CountColumns() const { return int32(fColumns.size()); }

	// The list takes the row; parent must be in this list, or null for a
	// top-level row.
	bool AddRow(BRow* row, BRow* parent = nullptr);
	bool AddRow(BRow* row, int32 index, BRow* parent = nullptr);
	// The row leaves the list with its child rows; the caller owns it.
	bool RemoveRow(BRow* row);
	// Shows the row's fields again after they changed.
	void UpdateRow(BRow* row);
	// Removes and deletes every row.
	void Clear();
	BRow* RowAt(int32 index, BRow* parent = nullptr) const;
	int32 CountRows(BRow* parent = nullptr) const;
	// The row's index among its siblings, or -1.
	int32 IndexOf(BRow* row) const;
	void ExpandOrCollapse(BRow* row, bool expand);
	void ScrollTo(const BRow* row);

	// The first selected row after lastSelected (in the order shown,
	// children after their parent), or the first when it is null; null
	// after the last.
	BRow* CurrentSelection(BRow* lastSelected = nullptr) const;
	void AddToSelection(BRow* row);
	void Deselect(BRow* row);
	void DeselectAll();
	BRow* FocusRow() const;
	void SetSelectionMode(list_view_type type);
	list_view_type SelectionMode() const { return fSelectionMode; }

	// The list takes the messages; null sends none.
	void SetSelectionMessage(BMessage* message);
	// The menu a right click on the list pops up; the list owns it. Its
	// items are chosen as from any menu.
	void SetContextMenu(BPopUpMenu* menu);
	BPopUpMenu* ContextMenu() const { return fContextMenu.get(); }
	BMessage* SelectionMessage() const { return fSelectionMessage.get(); }
	void SetInvocationMessage(BMessage* message) { SetMessage(message); }
	BMessage* InvocationMessage() const { return Message(); }

	// Makes the column of that field editable in place; the list takes the
	// message, null makes the field read-only again.
	void SetEditable(int32 logicalFieldIndex, BMessage* editedMessage);
	bool IsEditable(int32 logicalFieldIndex) const;
	// Opens the editor of the row's field, as a double click does; false
	// when the field is not editable or not shown.
	bool EditField(BRow* row, int32 logicalFieldIndex);

	// Called when the selection changed, before the selection message goes.
	virtual void SelectionChanged();
	// Called on a double click or Enter; invokes the invocation message.
	virtual void ItemInvoked();
	// Called after the user or ExpandOrCollapse() opened or closed a row;
	// a row may add its children here, as it opens.
	virtual void ExpansionChanged(BRow* row, bool expanded);

protected:
	BLooper* _DefaultLooper() const override;
	const void* _Source() const override
	{
		return static_cast<const BColumnListView*>(this);
	}

private:
	friend class BColumn;
	friend class BRow;
	friend class MorvaneKit::ColumnDelegate;

	struct Editable {
		int32 field;
		std::unique_ptr<BMessage> message;
	};

	int32 _ColumnIndex(const BColumn* column) const;
	void _ColumnResized(int32 index, int size);
	void _ShowRow(BRow* row, bool withChildren);
	void _SetList(BRow* row, BColumnListView* list);
	void _Activated(QTreeWidgetItem* item, int column);
	void _SelectionChanged();
	void _FieldEdited(BRow* row, int32 column, const std::string& text);
	BMessage* _EditedMessage(int32 logicalFieldIndex) const;

	QTreeWidget* fTree;
	std::unique_ptr<BPopUpMenu> fContextMenu;
	MorvaneKit::ColumnDelegate* fDelegate;
	std::vector<BColumn*> fColumns;
	std::vector<Editable> fEditables;
	std::unique_ptr<BMessage> fSelectionMessage;
	list_view_type fSelectionMode = B_MULTIPLE_SELECTION_LIST;
	bool fQuiet = false;
};
