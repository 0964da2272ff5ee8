// The column list view over Qt's tree widget. Each row is one tree item,
// which holds a pointer back to its BRow; column i of the tree shows the
// field fColumns[i] names.

#include <interface/ColumnListView.h>

#include <algorithm>

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <app/Message.h>
#include <interface/PopUpMenu.h>
#include <interface/Window.h>

#include "qt/PictureIcon.h"
#include "qt/QtConversions.h"

using MorvaneKit::FromQString;
using MorvaneKit::ToQString;

namespace {

constexpr int kRowRole = Qt::UserRole;

BRow* RowOf(const QTreeWidgetItem* item)
{
	if (item == nullptr)
		return nullptr;
	return reinterpret_cast<BRow*>(item->data(0, kRowRole).value<quintptr>());
}


Qt::Alignment ToQtAlignment(alignment align)
{
	Qt::Alignment horizontal = align == B_ALIGN_RIGHT ? Qt::AlignRight
		: align == B_ALIGN_CENTER ? Qt::AlignHCenter : Qt::AlignLeft;
	return horizontal | Qt::AlignVCenter;
}


Qt::TextElideMode ToElideMode(uint32 truncate)
{
	switch (truncate) {
		case B_TRUNCATE_BEGINNING:
			return Qt::ElideLeft;
		case B_TRUNCATE_MIDDLE:
		case B_TRUNCATE_SMART:
			return Qt::ElideMiddle;
		default:
			return Qt::ElideRight;
	}
}


bool AnySelected(const QTreeWidgetItem* item)
{
	if (item->isSelected())
		return true;
	for (int child = 0; child < item->childCount(); child++) {
		if (AnySelected(item->child(child)))
			return true;
	}
	return false;
}

}	// namespace


namespace MorvaneKit {

// Shortens texts as each column wants, and edits the editable fields: the
// new text goes to the row's field, not to the tree's model.
class ColumnDelegate : public QStyledItemDelegate {
public:
	ColumnDelegate(BColumnListView* list, QObject* parent)
		:
		QStyledItemDelegate(parent),
		fList(list)
	{
	}

	QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
		const QModelIndex& index) const override
	{
		BColumn* column = fList->ColumnAt(index.column());
		if (column == nullptr || !fList->IsEditable(column->LogicalFieldNum()))
			return nullptr;
		auto* editor = new QLineEdit(parent);
		editor->setObjectName(QStringLiteral("field_editor"));
		editor->setFrame(false);
		return editor;
	}

	void setEditorData(QWidget* editor, const QModelIndex& index) const override
	{
		static_cast<QLineEdit*>(editor)->setText(index.data(Qt::DisplayRole).toString());
	}

	void setModelData(QWidget* editor, QAbstractItemModel* model,
		const QModelIndex& index) const override
	{
		auto* row = reinterpret_cast<BRow*>(
			index.siblingAtColumn(0).data(kRowRole).value<quintptr>());
		if (row != nullptr) {
			fList->_FieldEdited(row, index.column(),
				FromQString(static_cast<QLineEdit*>(editor)->text()));
		}
	}

protected:
	void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
	{
		QStyledItemDelegate::initStyleOption(option, index);
		if (BColumn* column = fList->ColumnAt(index.column()))
			option->textElideMode = ToElideMode(column->Truncation());
	}

private:
	BColumnListView* fList;
};

}	// namespace MorvaneKit


// #pragma mark - BRow


BRow::BRow()
	:
	fItem(new QTreeWidgetItem)
{
	fItem->setData(0, kRowRole, QVariant::fromValue(quintptr(this)));
	// Only the delegate opens editors, and only on editable columns.
	fItem->setFlags(fItem->flags() | Qt::ItemIsEditable);
}


BRow::~BRow()
{
	if (fList != nullptr)
		fList->RemoveRow(this);
	while (fItem->childCount() > 0)
		delete RowOf(fItem->child(0));
	delete fItem;
}


void BRow::SetField(BField* field, int32 logicalFieldIndex)
{
	if (logicalFieldIndex < 0)
		return;
	if (size_t(logicalFieldIndex) >= fFields.size())
		fFields.resize(size_t(logicalFieldIndex) + 1);
	fFields[size_t(logicalFieldIndex)].reset(field);
	if (fList != nullptr)
		fList->UpdateRow(this);
}


BField* BRow::GetField(int32 logicalFieldIndex) const
{
	if (logicalFieldIndex < 0 || size_t(logicalFieldIndex) >= fFields.size())
		return nullptr;
	return fFields[size_t(logicalFieldIndex)].get();
}


bool BRow::HasLatch() const
{
	return fItem->childCount() > 0
		|| fItem->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}


void BRow::ShowLatch(bool show)
{
	fItem->setChildIndicatorPolicy(show ? QTreeWidgetItem::ShowIndicator
		: QTreeWidgetItem::DontShowIndicatorWhenChildless);
	if (show && fList != nullptr)
		fList->fTree->setRootIsDecorated(true);
}


void BRow::SetIcon(const BPicture& picture)
{
	fItem->setIcon(0, MorvaneKit::PictureIcon(picture));
}


bool BRow::HasIcon() const
{
	return !fItem->icon(0).isNull();
}


bool BRow::IsExpanded() const
{
	return fItem->isExpanded();
}


bool BRow::IsSelected() const
{
	return fItem->isSelected();
}


BRow* BRow::ParentRow() const
{
	return RowOf(fItem->parent());
}


// #pragma mark - BColumn


BColumn::BColumn(const char* title, float width, float minWidth, float maxWidth,
	alignment align)
	:
	fTitle(title != nullptr ? title : ""),
	fMinWidth(std::max(minWidth, 0.0f)),
	fMaxWidth(std::max(maxWidth, std::max(minWidth, 0.0f))),
	fAlignment(align)
{
	fWidth = std::clamp(width, fMinWidth, fMaxWidth);
}


BColumn::~BColumn()
{
	if (fList != nullptr)
		fList->RemoveColumn(this);
}


void BColumn::SetTitle(const char* title)
{
	fTitle = title != nullptr ? title : "";
	if (fList != nullptr)
		fList->fTree->headerItem()->setText(fList->_ColumnIndex(this), ToQString(title));
}


float BColumn::Width() const
{
	return fWidth;
}


void BColumn::SetWidth(float width)
{
	fWidth = std::clamp(width, fMinWidth, fMaxWidth);
	if (fList != nullptr && fVisible)
		fList->fTree->header()->resizeSection(fList->_ColumnIndex(this), int(fWidth));
}


void BColumn::SetVisible(bool visible)
{
	fVisible = visible;
	if (fList == nullptr)
		return;
	int index = fList->_ColumnIndex(this);
	fList->fTree->header()->setSectionHidden(index, !visible);
	if (visible)
		fList->fTree->header()->resizeSection(index, int(fWidth));
}


std::string BColumn::FieldText(const BField* field) const
{
	return std::string();
}


bool BColumn::AcceptsField(const BField* field) const
{
	return false;
}


BStringColumn::BStringColumn(const char* title, float width, float minWidth, float maxWidth,
	uint32 truncate, alignment align)
	:
	BColumn(title, width, minWidth, maxWidth, align),
	fTruncate(truncate)
{
}


std::string BStringColumn::FieldText(const BField* field) const
{
	auto* string = dynamic_cast<const BStringField*>(field);
	return string != nullptr ? string->String() : std::string();
}


bool BStringColumn::AcceptsField(const BField* field) const
{
	return dynamic_cast<const BStringField*>(field) != nullptr;
}


// #pragma mark - BColumnListView


BColumnListView::BColumnListView(BRect frame, const char* name, uint32 resizingMode,
	uint32 flags, border_style border, bool showHorizontalScrollbar)
	:
	BView(frame, name, resizingMode, flags, new QTreeWidget),
	fTree(static_cast<QTreeWidget*>(Widget())),
	fDelegate(new MorvaneKit::ColumnDelegate(this, fTree))
{
	fTree->setItemDelegate(fDelegate);
	fTree->setColumnCount(0);
	fTree->setRootIsDecorated(false);
	fTree->setUniformRowHeights(true);
	fTree->setAllColumnsShowFocus(true);
	fTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
	fTree->setHorizontalScrollBarPolicy(showHorizontalScrollbar ? Qt::ScrollBarAsNeeded
		: Qt::ScrollBarAlwaysOff);
	fTree->setFrameStyle(border == B_NO_BORDER ? QFrame::NoFrame
		: border == B_PLAIN_BORDER ? int(QFrame::Box | QFrame::Plain)
		: int(QFrame::StyledPanel | QFrame::Sunken));
	QHeaderView* header = fTree->header();
	header->setVisible(true);
	header->setStretchLastSection(false);
	header->setSectionsMovable(false);
	header->setMinimumSectionSize(8);
	header->setSectionResizeMode(QHeaderView::Interactive);
	SetSelectionMode(fSelectionMode);

	QObject::connect(header, &QHeaderView::sectionResized,
		[this](int index, int, int size) { _ColumnResized(index, size); });
	QObject::connect(fTree, &QTreeWidget::itemSelectionChanged, [this] {
		if (!fQuiet)
			_SelectionChanged();
	});
	QObject::connect(fTree, &QTreeWidget::itemActivated,
		[this](QTreeWidgetItem* item, int column) { _Activated(item, column); });
	QObject::connect(fTree, &QTreeWidget::itemExpanded,
		[this](QTreeWidgetItem* item) { ExpansionChanged(RowOf(item), true); });
	QObject::connect(fTree, &QTreeWidget::itemCollapsed,
		[this](QTreeWidgetItem* item) { ExpansionChanged(RowOf(item), false); });
}


void BColumnListView::SetContextMenu(BPopUpMenu* menu)
{
	fContextMenu.reset(menu);
	fTree->setContextMenuPolicy(menu != nullptr ? Qt::CustomContextMenu : Qt::DefaultContextMenu);
	if (menu == nullptr)
		return;
	menu->SetOwnerView(this);
	QObject::connect(fTree, &QWidget::customContextMenuRequested, [this](const QPoint& where) {
		if (fContextMenu == nullptr)
			return;
		QPoint screen = fTree->viewport()->mapToGlobal(where);
		(void)fContextMenu->Go(BPoint(float(screen.x()), float(screen.y())), true);
	});
}


BColumnListView::~BColumnListView()
{
	QObject::disconnect(fTree->header(), nullptr, nullptr, nullptr);
	QObject::disconnect(fTree, nullptr, nullptr, nullptr);
	fQuiet = true;
	Clear();
	for (BColumn* column : fColumns) {
		column->fList = nullptr;
		delete column;
	}
}


// #pragma mark - columns


void BColumnListView::AddColumn(BColumn* column, int32 logicalFieldIndex)
{
	if (column == nullptr || column->fList != nullptr || logicalFieldIndex < 0)
		return;
	column->fField = logicalFieldIndex;
	column->fList = this;
	fColumns.push_back(column);
	int index = int(fColumns.size()) - 1;
	fTree->setColumnCount(index + 1);
	fTree->headerItem()->setText(index, ToQString(column->Title()));
	fTree->headerItem()->setTextAlignment(index, ToQtAlignment(column->Alignment()));
	float width = column->fWidth;
	fTree->header()->setSectionHidden(index, !column->fVisible);
	fTree->header()->resizeSection(index, int(width));
	column->fWidth = width;
	for (QTreeWidgetItemIterator it(fTree); *it != nullptr; ++it)
		_ShowRow(RowOf(*it), false);
}


bool BColumnListView::RemoveColumn(BColumn* column)
{
	int32 index = _ColumnIndex(column);
	if (index < 0)
		return false;
	fColumns.erase(fColumns.begin() + index);
	column->fList = nullptr;
	// The tree drops its last column; the others show what moved left.
	fQuiet = true;
	fTree->setColumnCount(int(fColumns.size()));
	fQuiet = false;
	for (int32 other = index; other < CountColumns(); other++) {
		BColumn* moved = fColumns[size_t(other)];
		float width = moved->fWidth;
		fTree->headerItem()->setText(other, ToQString(moved->Title()));
		fTree->headerItem()->setTextAlignment(other, ToQtAlignment(moved->Alignment()));
		fTree->header()->setSectionHidden(other, !moved->fVisible);
		fTree->header()->resizeSection(other, int(width));
		moved->fWidth = width;
	}
	for (QTreeWidgetItemIterator it(fTree); *it != nullptr; ++it)
		_ShowRow(RowOf(*it), false);
	return true;
}


BColumn* BColumnListView::ColumnAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fColumns.size())
		return nullptr;
	return fColumns[size_t(index)];
}


int32 BColumnListView::_ColumnIndex(const BColumn* column) const
{
	auto found = std::find(fColumns.begin(), fColumns.end(), column);
	return found == fColumns.end() ? -1 : int32(found - fColumns.begin());
}


void BColumnListView::_ColumnResized(int32 index, int size)
{
	BColumn* column = ColumnAt(index);
	// A hidden column keeps the width it had.
	if (column == nullptr || !column->fVisible || fTree->header()->isSectionHidden(index))
		return;
	int clamped = std::clamp(size, int(column->fMinWidth), int(column->fMaxWidth));
	if (clamped != size) {
		fTree->header()->resizeSection(index, clamped);
		return;
	}
	column->fWidth = float(size);
}


// #pragma mark - rows


bool BColumnListView::AddRow(BRow* row, BRow* parent)
{
	return AddRow(row, CountRows(parent), parent);
}


bool BColumnListView::AddRow(BRow* row, int32 index, BRow* parent)
{
	if (row == nullptr || row->fList != nullptr || (parent != nullptr && parent->fList != this)
		|| index < 0 || index > CountRows(parent)) {
		return false;
	}
	if (parent != nullptr) {
		parent->fItem->insertChild(index, row->fItem);
		fTree->setRootIsDecorated(true);
	} else
		fTree->insertTopLevelItem(index, row->fItem);
	_SetList(row, this);
	if (row->HasLatch())
		fTree->setRootIsDecorated(true);
	_ShowRow(row, true);
	return true;
}


bool BColumnListView::RemoveRow(BRow* row)
{
	if (row == nullptr || row->fList != this)
		return false;
	bool wasSelected = AnySelected(row->fItem);
	fQuiet = true;
	if (QTreeWidgetItem* parent = row->fItem->parent())
		parent->removeChild(row->fItem);
	else
		fTree->takeTopLevelItem(fTree->indexOfTopLevelItem(row->fItem));
	fQuiet = false;
	_SetList(row, nullptr);
	if (wasSelected)
		_SelectionChanged();
	return true;
}


void BColumnListView::UpdateRow(BRow* row)
{
	if (row != nullptr && row->fList == this)
		_ShowRow(row, false);
}


void BColumnListView::Clear()
{
	bool hadSelection = CurrentSelection() != nullptr;
	bool quiet = fQuiet;
	fQuiet = true;
	while (fTree->topLevelItemCount() > 0) {
		BRow* row = RowOf(fTree->takeTopLevelItem(fTree->topLevelItemCount() - 1));
		_SetList(row, nullptr);
		delete row;
	}
	fQuiet = quiet;
	if (hadSelection && !fQuiet)
		_SelectionChanged();
}


BRow* BColumnListView::RowAt(int32 index, BRow* parent) const
{
	if (parent == nullptr)
		return RowOf(fTree->topLevelItem(index));
	if (parent->fList != this || index < 0)
		return nullptr;
	return RowOf(parent->fItem->child(index));
}


int32 BColumnListView::CountRows(BRow* parent) const
{
	if (parent == nullptr)
		return fTree->topLevelItemCount();
	return parent->fList == this ? parent->fItem->childCount() : 0;
}


int32 BColumnListView::IndexOf(BRow* row) const
{
	if (row == nullptr || row->fList != this)
		return -1;
	if (QTreeWidgetItem* parent = row->fItem->parent())
		return parent->indexOfChild(row->fItem);
	return fTree->indexOfTopLevelItem(row->fItem);
}


void BColumnListView::ExpandOrCollapse(BRow* row, bool expand)
{
	if (row != nullptr && row->fList == this)
		row->fItem->setExpanded(expand);
}


void BColumnListView::ScrollTo(const BRow* row)
{
	if (row != nullptr && row->fList == this)
		fTree->scrollToItem(row->fItem);
}


void BColumnListView::_ShowRow(BRow* row, bool withChildren)
{
	for (int32 index = 0; index < CountColumns(); index++) {
		BColumn* column = fColumns[size_t(index)];
		std::string text = column->FieldText(row->GetField(column->fField));
		row->fItem->setText(index, ToQString(text.c_str()));
		row->fItem->setTextAlignment(index, ToQtAlignment(column->Alignment()));
	}
	if (!withChildren)
		return;
	for (int child = 0; child < row->fItem->childCount(); child++)
		_ShowRow(RowOf(row->fItem->child(child)), true);
}


void BColumnListView::_SetList(BRow* row, BColumnListView* list)
{
	row->fList = list;
	for (int child = 0; child < row->fItem->childCount(); child++)
		_SetList(RowOf(row->fItem->child(child)), list);
}


// #pragma mark - selection


BRow* BColumnListView::CurrentSelection(BRow* lastSelected) const
{
	if (lastSelected == nullptr) {
		QTreeWidgetItemIterator it(fTree, QTreeWidgetItemIterator::Selected);
		return RowOf(*it);
	}
	if (lastSelected->fList != this)
		return nullptr;
	QTreeWidgetItemIterator it(lastSelected->fItem, QTreeWidgetItemIterator::Selected);
	if (*it == lastSelected->fItem)
		++it;
	return RowOf(*it);
}


void BColumnListView::AddToSelection(BRow* row)
{
	if (row == nullptr || row->fList != this)
		return;
	QItemSelectionModel::SelectionFlags command = fSelectionMode == B_SINGLE_SELECTION_LIST
		? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select;
	fTree->setCurrentItem(row->fItem, 0, command | QItemSelectionModel::Rows);
}


void BColumnListView::Deselect(BRow* row)
{
	if (row != nullptr && row->fList == this)
		row->fItem->setSelected(false);
}


void BColumnListView::DeselectAll()
{
	fTree->clearSelection();
}


BRow* BColumnListView::FocusRow() const
{
	return RowOf(fTree->currentItem());
}


void BColumnListView::SetSelectionMode(list_view_type type)
{
	fSelectionMode = type;
	fTree->setSelectionMode(type == B_SINGLE_SELECTION_LIST
		? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
}


void BColumnListView::SetSelectionMessage(BMessage* message)
{
	fSelectionMessage.reset(message);
}


void BColumnListView::SelectionChanged()
{
}


void BColumnListView::_SelectionChanged()
{
	SelectionChanged();
	if (fSelectionMessage != nullptr)
		(void)Invoke(fSelectionMessage.get());
}


void BColumnListView::ItemInvoked()
{
	(void)Invoke();
}


void BColumnListView::ExpansionChanged(BRow*, bool)
{
}


BLooper* BColumnListView::_DefaultLooper() const
{
	return Window();
}


void BColumnListView::_Activated(QTreeWidgetItem* item, int column)
{
	BColumn* shown = ColumnAt(column);
	BRow* row = RowOf(item);
	if (row != nullptr && shown != nullptr && IsEditable(shown->fField))
		EditField(row, shown->fField);
	else
		ItemInvoked();
}


// #pragma mark - editing


void BColumnListView::SetEditable(int32 logicalFieldIndex, BMessage* editedMessage)
{
	auto found = std::find_if(fEditables.begin(), fEditables.end(),
		[&](const Editable& editable) { return editable.field == logicalFieldIndex; });
	if (found != fEditables.end())
		fEditables.erase(found);
	if (editedMessage != nullptr)
		fEditables.push_back(Editable{logicalFieldIndex, std::unique_ptr<BMessage>(editedMessage)});
}


bool BColumnListView::IsEditable(int32 logicalFieldIndex) const
{
	return _EditedMessage(logicalFieldIndex) != nullptr;
}


BMessage* BColumnListView::_EditedMessage(int32 logicalFieldIndex) const
{
	for (const Editable& editable : fEditables) {
		if (editable.field == logicalFieldIndex)
			return editable.message.get();
	}
	return nullptr;
}


bool BColumnListView::EditField(BRow* row, int32 logicalFieldIndex)
{
	if (row == nullptr || row->fList != this || !IsEditable(logicalFieldIndex))
		return false;
	for (int32 index = 0; index < CountColumns(); index++) {
		BColumn* column = fColumns[size_t(index)];
		if (column->fField != logicalFieldIndex || !column->fVisible)
			continue;
		fTree->scrollToItem(row->fItem);
		fTree->editItem(row->fItem, index);
		return true;
	}
	return false;
}


void BColumnListView::_FieldEdited(BRow* row, int32 column, const std::string& text)
{
	BColumn* shown = ColumnAt(column);
	if (shown == nullptr || row->fList != this)
		return;
	int32 field = shown->fField;
	BMessage* edited = _EditedMessage(field);
	BField* old = row->GetField(field);
	if (edited == nullptr || shown->FieldText(old) == text)
		return;
	if (auto* string = dynamic_cast<BStringField*>(old)) {
		string->SetString(text.c_str());
		UpdateRow(row);
	} else if (old == nullptr)
		row->SetField(new BStringField(text.c_str()), field);
	else
		return;
	BMessage copy(*edited);
	copy.AddPointer("row", row);
	copy.AddInt32("field", field);
	copy.AddString("text", text);
	(void)Invoke(&copy);
}
