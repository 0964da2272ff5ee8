// Menus, their items, the menu bar, pop-up menus and menu fields.

#include <interface/Menu.h>
#include <interface/MenuBar.h>
#include <interface/MenuField.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>

#include <algorithm>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <app/Looper.h>
#include <app/Message.h>
#include <interface/Window.h>

#include "qt/QtConversions.h"

using MorvaneKit::ToQString;

BMenuItem::BMenuItem(const char* label, BMessage* message, char shortcut, uint32 modifiers)
	:
	BInvoker(message),
	fLabel(label != nullptr ? label : ""),
	fAction(new QAction(ToQString(label))),
	fOwnsAction(true),
	fShortcut(shortcut),
	fModifiers(modifiers)
{
	if (shortcut != 0) {
		int key = QChar(shortcut).toUpper().unicode();
		QKeyCombination combination(Qt::ControlModifier, Qt::Key(key));
		if ((modifiers & B_SHIFT_KEY) != 0)
			combination = QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key(key));
		fAction->setShortcut(QKeySequence(combination));
	}
	QObject::connect(fAction, &QAction::triggered, [this] { _Chosen(); });
}


BMenuItem::BMenuItem(BMenu* submenu, BMessage* message)
	:
	BInvoker(message),
	fLabel(submenu != nullptr ? submenu->Name() : ""),
	fSubmenu(submenu),
	fAction(static_cast<QMenu*>(submenu->MenuWidget())->menuAction()),
	fOwnsAction(false)
{
	fAction->setText(ToQString(fLabel.c_str()));
	submenu->fSuperitem = this;
}


BMenuItem::~BMenuItem()
{
	if (fMenu != nullptr)
		fMenu->RemoveItem(this);
	if (fOwnsAction)
		delete fAction;
	delete fSubmenu;
}


void BMenuItem::SetLabel(const char* label)
{
	fLabel = label != nullptr ? label : "";
	fAction->setText(ToQString(label));
	if (fMarked && fMenu != nullptr)
		fMenu->_MarkChanged();
}


void BMenuItem::SetMarked(bool marked)
{
	if (fMarked == marked && fAction->isChecked() == marked)
		return;
	// In a radio menu one item is marked at most.
	if (marked && fMenu != nullptr && fMenu->IsRadioMode()) {
		if (BMenuItem* other = fMenu->FindMarked(); other != nullptr && other != this)
			other->SetMarked(false);
	}
	fMarked = marked;
	// Only a marked item is checkable, so that unmarked ones show no box.
	fAction->setCheckable(marked);
	fAction->setChecked(marked);
	if (fMenu != nullptr)
		fMenu->_MarkChanged();
}


void BMenuItem::SetEnabled(bool enabled)
{
	fEnabled = enabled;
	fAction->setEnabled(enabled);
}


char BMenuItem::Shortcut(uint32* modifiers) const
{
	if (modifiers != nullptr)
		*modifiers = fModifiers;
	return fShortcut;
}


status_t BMenuItem::Invoke(BMessage* message)
{
	BMessage* source = message != nullptr ? message : Message();
	if (source == nullptr)
		return B_BAD_VALUE;
	BMessage copy(*source);
	if (fMenu != nullptr && !copy.HasData("index", B_INT32_TYPE))
		copy.AddInt32("index", fMenu->IndexOf(this));
	return BInvoker::Invoke(&copy);
}


void BMenuItem::Click()
{
	if (fEnabled && fSubmenu == nullptr)
		fAction->trigger();
}


BLooper* BMenuItem::_DefaultLooper() const
{
	return fMenu != nullptr ? fMenu->_Looper() : nullptr;
}


void BMenuItem::_Chosen()
{
	// Qt toggled the check; the mark is ours to set.
	fAction->setChecked(fMarked);
	if (fMenu != nullptr)
		fMenu->_ItemChosen(this);
	(void)Invoke();
}


BSeparatorItem::BSeparatorItem()
	:
	BMenuItem("", nullptr)
{
	Action()->setSeparator(true);
	SetEnabled(false);
}


BMenu::BMenu(const char* name)
	:
	BMenu(name, new QMenu(ToQString(name)), true)
{
}


BMenu::BMenu(const char* name, QWidget* container, bool ownsContainer)
	:
	fName(name != nullptr ? name : ""),
	fContainer(container),
	fOwnsContainer(ownsContainer)
{
}


BMenu::~BMenu()
{
	std::vector<BMenuItem*> items;
	items.swap(fItems);
	for (BMenuItem* item : items) {
		fContainer->removeAction(item->fAction);
		item->fMenu = nullptr;
		delete item;
	}
	if (fOwnsContainer)
		delete fContainer;
}


bool BMenu::AddItem(BMenuItem* item)
{
	return AddItem(item, CountItems());
}


bool BMenu::AddItem(BMenuItem* item, int32 index)
{
	if (item == nullptr || item->fMenu != nullptr || index < 0 || index > CountItems())
		return false;
	QAction* before = index < CountItems() ? fItems[size_t(index)]->fAction : nullptr;
	fContainer->insertAction(before, item->fAction);
	fItems.insert(fItems.begin() + index, item);
	item->fMenu = this;
	if (item->fMarked)
		_MarkChanged();
	return true;
}


bool BMenu::AddItem(BMenu* submenu)
{
	if (submenu == nullptr)
		return false;
	auto* item = new BMenuItem(submenu);
	if (!AddItem(item)) {
		delete item;
		return false;
	}
	return true;
}


bool BMenu::AddSeparatorItem()
{
	return AddItem(new BSeparatorItem);
}


BMenuItem* BMenu::RemoveItem(int32 index)
{
	BMenuItem* item = ItemAt(index);
	if (item == nullptr)
		return nullptr;
	fItems.erase(fItems.begin() + index);
	fContainer->removeAction(item->fAction);
	item->fMenu = nullptr;
	if (item->fMarked)
		_MarkChanged();
	return item;
}


bool BMenu::RemoveItem(BMenuItem* item)
{
	return RemoveItem(IndexOf(item)) != nullptr;
}


bool BMenu::RemoveItems(int32 index, int32 count, bool deleteItems)
{
	if (index < 0 || count < 0 || index + count > CountItems())
		return false;
	for (int32 removed = 0; removed < count; removed++) {
		BMenuItem* item = RemoveItem(index);
		if (deleteItems)
			delete item;
	}
	return true;
}


BMenuItem* BMenu::ItemAt(int32 index) const
{
	if (index < 0 || index >= CountItems())
		return nullptr;
	return fItems[size_t(index)];
}


int32 BMenu::IndexOf(const BMenuItem* item) const
{
	auto position = std::find(fItems.begin(), fItems.end(), item);
	return position == fItems.end() ? -1 : int32(position - fItems.begin());
}


BMenuItem* BMenu::FindItem(const char* label) const
{
	if (label == nullptr)
		return nullptr;
	for (BMenuItem* item : fItems) {
		if (item->fLabel == label)
			return item;
		if (item->fSubmenu != nullptr) {
			if (BMenuItem* found = item->fSubmenu->FindItem(label))
				return found;
		}
	}
	return nullptr;
}


BMenuItem* BMenu::FindItem(uint32 command) const
{
	for (BMenuItem* item : fItems) {
		if (item->Message() != nullptr && item->Command() == command)
			return item;
		if (item->fSubmenu != nullptr) {
			if (BMenuItem* found = item->fSubmenu->FindItem(command))
				return found;
		}
	}
	return nullptr;
}


BMenuItem* BMenu::FindMarked() const
{
	for (BMenuItem* item : fItems) {
		if (item->fMarked)
			return item;
	}
	return nullptr;
}


void BMenu::SetLabelFromMarked(bool fromMarked)
{
	fLabelFromMarked = fromMarked;
	_MarkChanged();
}


status_t BMenu::SetTargetForItems(BHandler* target)
{
	status_t result = B_OK;
	for (BMenuItem* item : fItems) {
		status_t status = item->SetTarget(target);
		if (status != B_OK)
			result = status;
	}
	return result;
}


status_t BMenu::SetTargetForItems(BMessenger messenger)
{
	for (BMenuItem* item : fItems)
		(void)item->SetTarget(messenger);
	return B_OK;
}


void BMenu::SetEnabled(bool enabled)
{
	fEnabled = enabled;
	fContainer->setEnabled(enabled);
	if (fSuperitem != nullptr)
		fSuperitem->SetEnabled(enabled);
}


void BMenu::SetName(const char* name)
{
	fName = name != nullptr ? name : "";
	if (auto* menu = qobject_cast<QMenu*>(fContainer))
		menu->setTitle(ToQString(name));
	if (fSuperitem != nullptr)
		fSuperitem->SetLabel(name);
	_MarkChanged();
}


status_t BMenu::SaveImage(const char* path) const
{
	if (path == nullptr)
		return B_BAD_VALUE;
	fContainer->ensurePolished();
	fContainer->adjustSize();
	return fContainer->grab().save(ToQString(path), "PNG") ? B_OK : B_IO_ERROR;
}


BMenu* BMenu::Supermenu() const
{
	return fSuperitem != nullptr ? fSuperitem->Menu() : nullptr;
}


BLooper* BMenu::_Looper() const
{
	if (fOwnerView != nullptr)
		return fOwnerView->Window();
	BMenu* super = Supermenu();
	return super != nullptr ? super->_Looper() : nullptr;
}


void BMenu::_ItemChosen(BMenuItem* item)
{
	if (!fRadioMode)
		return;
	for (BMenuItem* other : fItems) {
		if (other != item && other->fMarked)
			other->SetMarked(false);
	}
	item->SetMarked(true);
}


void BMenu::_MarkChanged()
{
	if (fMarkObserver)
		fMarkObserver();
}


BMenuBar::BMenuBar(BRect frame, const char* name, uint32 resizingMode)
	:
	BView(frame, name, resizingMode, B_WILL_DRAW | B_FRAME_EVENTS, new QMenuBar),
	BMenu(name, Widget(), false)
{
	SetOwnerView(this);
	static_cast<QMenuBar*>(Widget())->setNativeMenuBar(false);
}


void BMenuBar::AttachedToWindow()
{
	if (Window()->KeyMenuBar() == nullptr)
		Window()->SetKeyMenuBar(this);
}


float BMenuBar::PreferredHeight() const
{
	return float(Widget()->sizeHint().height() - 1);
}


BPopUpMenu::BPopUpMenu(const char* name, bool radioMode, bool labelFromMarked)
	:
	BMenu(name)
{
	SetRadioMode(radioMode);
	SetLabelFromMarked(labelFromMarked);
}


BMenuItem* BPopUpMenu::Go(BPoint screenWhere, bool deliversMessage)
{
	auto* menu = static_cast<QMenu*>(MenuWidget());
	// The items invoke through their own signal; without delivery the
	// choice is only returned.
	std::vector<bool> blocked;
	for (int32 index = 0; index < CountItems(); index++)
		blocked.push_back(ItemAt(index)->Action()->blockSignals(!deliversMessage));
	QAction* chosen = menu->exec(QPoint(int(screenWhere.x), int(screenWhere.y)));
	for (int32 index = 0; index < CountItems(); index++)
		ItemAt(index)->Action()->blockSignals(blocked[size_t(index)]);
	for (int32 index = 0; index < CountItems(); index++) {
		if (ItemAt(index)->Action() == chosen)
			return ItemAt(index);
	}
	return nullptr;
}


BMenuField::BMenuField(BRect frame, const char* name, const char* label, BMenu* menu,
	uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags, new QWidget),
	fMenu(menu),
	fLabelWidget(new QLabel(Widget())),
	fButton(new QPushButton(Widget())),
	fLabel(label != nullptr ? label : "")
{
	fLabelWidget->setText(ToQString(label));
	fButton->setObjectName(QStringLiteral("menu_button"));
	fDivider = fLabel.empty() ? 0 : StringWidth(fLabel.c_str()) + 8;
	if (fMenu != nullptr) {
		fMenu->SetOwnerView(this);
		fButton->setMenu(static_cast<QMenu*>(fMenu->MenuWidget()));
		fMenu->SetMarkObserver([this] { _UpdateShown(); });
	}
	_UpdateShown();
	_Layout();
}


BMenuField::~BMenuField()
{
	fButton->setMenu(nullptr);
	delete fMenu;
}


void BMenuField::SetLabel(const char* label)
{
	fLabel = label != nullptr ? label : "";
	fLabelWidget->setText(ToQString(label));
}


void BMenuField::SetDivider(float divider)
{
	fDivider = divider < 0 ? 0 : divider;
	_Layout();
}


void BMenuField::SetEnabled(bool enabled)
{
	fButton->setEnabled(enabled);
	SetEnabledLook(enabled);
}


bool BMenuField::IsEnabled() const
{
	return fButton->isEnabled();
}


void BMenuField::_FrameChanged()
{
	_Layout();
}


void BMenuField::_Layout()
{
	BRect bounds = Bounds();
	int height = int(bounds.Height()) + 1;
	fLabelWidget->setGeometry(0, 0, int(fDivider), height);
	fLabelWidget->setVisible(fDivider > 0);
	fButton->setGeometry(int(fDivider), 0, int(bounds.Width() - fDivider) + 1, height);
}


void BMenuField::_UpdateShown()
{
	fShown = fMenu != nullptr ? fMenu->Name() : "";
	if (fMenu != nullptr && fMenu->IsLabelFromMarked()) {
		if (BMenuItem* marked = fMenu->FindMarked())
			fShown = marked->Label();
	}
	fButton->setText(ToQString(fShown.c_str()));
}
