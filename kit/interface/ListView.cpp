// The list view and its items over Qt's list widget.

#include <interface/ListItem.h>
#include <interface/ListView.h>
#include <interface/StringItem.h>

#include <QListWidget>

#include <app/Message.h>
#include <interface/Window.h>

#include "qt/QtConversions.h"

using MorvaneKit::ToQString;

BListItem::BListItem() = default;


BListItem::~BListItem()
{
	if (fOwner != nullptr)
		fOwner->RemoveItem(this);
}


bool BListItem::IsSelected() const
{
	return fItem != nullptr && fItem->isSelected();
}


void BListItem::SetEnabled(bool enabled)
{
	fEnabled = enabled;
	if (fItem == nullptr)
		return;
	Qt::ItemFlags flags = fItem->flags();
	fItem->setFlags(enabled ? flags | Qt::ItemIsEnabled | Qt::ItemIsSelectable
		: flags & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
}


const char* BListItem::DisplayText() const
{
	return "";
}


void BListItem::_Changed()
{
	if (fOwner != nullptr)
		fOwner->InvalidateItem(fOwner->IndexOf(this));
}


BStringItem::BStringItem(const char* text)
	:
	fText(text != nullptr ? text : "")
{
}


void BStringItem::SetText(const char* text)
{
	fText = text != nullptr ? text : "";
	_Changed();
}


BListView::BListView(BRect frame, const char* name, list_view_type type, uint32 resizingMode,
	uint32 flags)
	:
	BView(frame, name, resizingMode, flags, new QListWidget),
	fList(static_cast<QListWidget*>(Widget())),
	fType(type)
{
	fList->setUniformItemSizes(true);
	SetListType(type);
	QObject::connect(fList, &QListWidget::itemSelectionChanged, [this] {
		if (!fQuiet)
			_SelectionChanged();
	});
	QObject::connect(fList, &QListWidget::itemActivated, [this] { Invoke(); });
}


BListView::~BListView()
{
	QObject::disconnect(fList, nullptr, nullptr, nullptr);
	fQuiet = true;
	// The items live on, outside any list.
	MakeEmpty();
}


bool BListView::AddItem(BListItem* item)
{
	return AddItem(item, CountItems());
}


bool BListView::AddItem(BListItem* item, int32 index)
{
	if (item == nullptr || item->fOwner != nullptr || index < 0 || index > CountItems())
		return false;
	auto* row = new QListWidgetItem(ToQString(item->DisplayText()));
	item->fItem = row;
	item->fOwner = this;
	fList->insertItem(index, row);
	item->SetEnabled(item->fEnabled);
	row->setData(Qt::UserRole, QVariant::fromValue(quintptr(item)));
	return true;
}


BListItem* BListView::RemoveItem(int32 index)
{
	BListItem* item = ItemAt(index);
	if (item == nullptr)
		return nullptr;
	bool wasSelected = item->IsSelected();
	// Taking a selected item out would tell of a change once per item;
	// the list tells once, below.
	fQuiet = true;
	delete fList->takeItem(index);
	fQuiet = false;
	item->fItem = nullptr;
	item->fOwner = nullptr;
	if (wasSelected)
		_SelectionChanged();
	return item;
}


bool BListView::RemoveItem(BListItem* item)
{
	int32 index = IndexOf(item);
	return index >= 0 && RemoveItem(index) != nullptr;
}


void BListView::MakeEmpty()
{
	bool hadSelection = CurrentSelection() >= 0;
	bool quiet = fQuiet;
	fQuiet = true;
	while (fList->count() > 0) {
		BListItem* item = ItemAt(fList->count() - 1);
		delete fList->takeItem(fList->count() - 1);
		item->fItem = nullptr;
		item->fOwner = nullptr;
	}
	fQuiet = quiet;
	if (hadSelection && !fQuiet)
		_SelectionChanged();
}


void BListView::DeleteAll()
{
	std::vector<BListItem*> items;
	for (int32 index = 0; index < CountItems(); index++)
		items.push_back(ItemAt(index));
	MakeEmpty();
	for (BListItem* item : items)
		delete item;
}


BListItem* BListView::ItemAt(int32 index) const
{
	QListWidgetItem* row = fList->item(index);
	if (row == nullptr)
		return nullptr;
	return reinterpret_cast<BListItem*>(row->data(Qt::UserRole).value<quintptr>());
}


int32 BListView::CountItems() const
{
	return fList->count();
}


int32 BListView::IndexOf(const BListItem* item) const
{
	if (item == nullptr || item->fOwner != this)
		return -1;
	return fList->row(item->fItem);
}


int32 BListView::CurrentSelection(int32 index) const
{
	if (index < 0)
		return -1;
	int32 found = 0;
	for (int32 row = 0; row < fList->count(); row++) {
		if (fList->item(row)->isSelected() && found++ == index)
			return row;
	}
	return -1;
}


void BListView::Select(int32 index, bool extend)
{
	if (index < 0 || index >= CountItems())
		return;
	bool keep = extend && fType == B_MULTIPLE_SELECTION_LIST;
	fList->setCurrentRow(index, keep ? QItemSelectionModel::Select
		: QItemSelectionModel::ClearAndSelect);
}


void BListView::Deselect(int32 index)
{
	if (QListWidgetItem* row = fList->item(index))
		row->setSelected(false);
}


void BListView::DeselectAll()
{
	fList->clearSelection();
}


bool BListView::IsItemSelected(int32 index) const
{
	QListWidgetItem* row = fList->item(index);
	return row != nullptr && row->isSelected();
}


void BListView::ScrollToSelection()
{
	if (QListWidgetItem* row = fList->item(CurrentSelection()))
		fList->scrollToItem(row);
}


void BListView::SetListType(list_view_type type)
{
	fType = type;
	fList->setSelectionMode(type == B_MULTIPLE_SELECTION_LIST
		? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}


void BListView::SetSelectionMessage(BMessage* message)
{
	fSelectionMessage.reset(message);
}


void BListView::InvalidateItem(int32 index)
{
	BListItem* item = ItemAt(index);
	if (item != nullptr)
		item->fItem->setText(ToQString(item->DisplayText()));
}


void BListView::SelectionChanged()
{
}


status_t BListView::Invoke(BMessage* message)
{
	BMessage* source = message != nullptr ? message : Message();
	if (source == nullptr)
		return B_BAD_VALUE;
	BMessage copy(*source);
	if (!copy.HasData("index", B_INT32_TYPE)) {
		for (int32 row = 0; row < fList->count(); row++) {
			if (fList->item(row)->isSelected())
				copy.AddInt32("index", row);
		}
	}
	return BInvoker::Invoke(&copy);
}


BLooper* BListView::_DefaultLooper() const
{
	return Window();
}


void BListView::_SelectionChanged()
{
	SelectionChanged();
	if (fSelectionMessage != nullptr)
		(void)Invoke(fSelectionMessage.get());
}
