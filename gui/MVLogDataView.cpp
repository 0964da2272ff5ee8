#include "MVLogDataView.h"

#include <cctype>
#include <set>

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/TextControl.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>

#include "BackupApplication.h"
#include "GuiTexts.h"
#include "MVLogInfoWindow.h"
#include "ToolIcons.h"
#include "ServerProtocol.h"

namespace {

constexpr uint32 kCmdToggleMark = 'ldtm';
constexpr uint32 kCmdMark = 'ldmk';
constexpr uint32 kCmdUnmark = 'ldum';
constexpr uint32 kCmdClearRedirection = 'ldcr';
constexpr uint32 kCmdFind = 'ldfn';
constexpr uint32 kCmdGetInfo = 'ldgi';
constexpr float kFindBarHeight = 32;
constexpr const char* kRedirectPrefix = "REDIREC ";
constexpr size_t kPrefixLength = 8;

// The columns after the mark column, in order.
const struct {
	const char* title;
	float width;
	MVLogColumn column;
	alignment align;
} kColumns[] = {
	{"Name", 220, MVLogColumn::Name, B_ALIGN_LEFT},
	{"Size", 80, MVLogColumn::Size, B_ALIGN_RIGHT},
	{"Date", 130, MVLogColumn::Date, B_ALIGN_LEFT},
	{"Redirect", 140, MVLogColumn::Redirection, B_ALIGN_LEFT},
	{"Medium", 50, MVLogColumn::MediaNumber, B_ALIGN_RIGHT},
	{"Offset", 80, MVLogColumn::Offset, B_ALIGN_RIGHT},
	{"Index", 50, MVLogColumn::Index, B_ALIGN_RIGHT},
};
constexpr int32 kColumnCount = 7;
constexpr int32 kMarkField = kColumnCount;


std::string Lowered(std::string text)
{
	for (char& c : text)
		c = char(tolower((unsigned char)c));
	return text;
}


EntryIcon IconOf(const MVLogDataItem& item)
{
	if (item.IsBackup()) {
		switch (item.data.mediaKind) {
			case MVMediaKind::kImageFolder:
				return EntryIcon::ImageBackup;
			case MVMediaKind::kTape:
				return EntryIcon::TapeBackup;
			case MVMediaKind::kUnknown:
				return EntryIcon::Backup;
		}
	}
	switch (item.data.type) {
		case kLogTypeVolumeRoot:
			return EntryIcon::Volume;
		case kLogTypeDirectory:
			return EntryIcon::Folder;
		case kLogTypeSymLink:
			return EntryIcon::Link;
		default:
			return EntryIcon::File;
	}
}


std::string RowText(const MVLogDataItem& item, MVLogColumn column)
{
	// A backup shows its title; its catalogue name is for the program.
	if (column == MVLogColumn::Name && item.IsBackup() && !item.data.fullPath.empty())
		return item.data.fullPath;
	return MVLogDataModel::ColumnText(item, column);
}

}	// namespace


// The tree itself: a row's children are added as it opens.
class CatalogueTreeList : public BColumnListView {
public:
	CatalogueTreeList(BRect frame, MVLogDataView* owner)
		:
		BColumnListView(frame, "catalogue_tree", B_FOLLOW_ALL, B_WILL_DRAW | B_NAVIGABLE
			| B_FRAME_EVENTS, B_FANCY_BORDER),
		fOwner(owner)
	{
	}

	void ExpansionChanged(BRow* row, bool expanded) override
	{
		if (expanded)
			fOwner->_Opened(row);
	}

private:
	MVLogDataView* fOwner;
};


MVLogDataView::MVLogDataView(BRect frame, const char* const* widthKeys)
	:
	BView(frame, "MV_LOGDATA", B_FOLLOW_ALL, B_WILL_DRAW | B_FRAME_EVENTS),
	fModel(BMessenger()),
	fWidthKeys(widthKeys)
{
	float width = Bounds().Width();
	fFindText = new BTextControl(BRect(0, 2, width - 110, 26), "txt_find", "Find", "",
		new BMessage(kCmdFind), B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	AddChild(fFindText);
	AddChild(new BButton(BRect(width - 100, 0, width, 26), "btn_find", "Find next",
		new BMessage(kCmdFind), B_FOLLOW_RIGHT | B_FOLLOW_TOP));
	BRect listFrame = Bounds();
	listFrame.top += kFindBarHeight;
	fList = new CatalogueTreeList(listFrame, this);
	// The tree is drawn in the first column: the names, then their marks.
	for (int32 index = 0; index < kColumnCount; index++) {
		fList->AddColumn(new BStringColumn(kColumns[index].title, kColumns[index].width, 20,
			2000, B_TRUNCATE_MIDDLE, kColumns[index].align), index);
		if (index == 0) {
			fList->AddColumn(new BStringColumn("\u2713", 26, 20, 40, B_TRUNCATE_END,
				B_ALIGN_CENTER), kMarkField);
		}
	}
	fList->SetSelectionMode(B_MULTIPLE_SELECTION_LIST);
	fList->SetInvocationMessage(new BMessage(kCmdToggleMark));
	auto* popup = new BPopUpMenu("logdatapopup", false, false);
	popup->AddItem(new BMenuItem("Mark", new BMessage(kCmdMark)));
	popup->AddItem(new BMenuItem("Unmark", new BMessage(kCmdUnmark)));
	popup->AddSeparatorItem();
	popup->AddItem(new BMenuItem(GuiText(kTextClearRedirection),
		new BMessage(kCmdClearRedirection)));
	popup->AddSeparatorItem();
	popup->AddItem(new BMenuItem(GuiText(kTextGetInfo), new BMessage(kCmdGetInfo)));
	fList->SetContextMenu(popup);
	AddChild(fList);
}


void MVLogDataView::AttachedToWindow()
{
	(void)fList->SetTarget(this);
	(void)fList->ContextMenu()->SetTargetForItems(this);
	(void)fFindText->SetTarget(this);
	(void)static_cast<BButton*>(FindView("btn_find"))->SetTarget(this);
	if (fRegistry.IsValid() || BackupApplication::Get() != nullptr)
		Reload();
}


void MVLogDataView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdToggleMark:
		{
			BRow* row = fList->FocusRow();
			auto found = fItems.find(row);
			if (found == fItems.end())
				break;
			fList->DeselectAll();
			fList->AddToSelection(row);
			MarkSelected(!found->second->selected);
			break;
		}
		case kCmdMark:
		case kCmdUnmark:
			MarkSelected(message->what == kCmdMark);
			break;
		case kCmdClearRedirection:
			RedirectSelected("");
			break;
		case kCmdGetInfo:
			ShowInfo();
			break;
		case kCmdFind:
			if (fFindText->Text()[0] != '\0' && !FindNext(fFindText->Text())) {
				(new BAlert("Find", "Nothing more of that name in this backup.",
					GuiText(kTextOk)))->Go();
			}
			break;
		case kMsgLogInserted:
		case kMsgLogRemoved:
			Reload();
			break;
		default:
			BView::MessageReceived(message);
			break;
	}
}


void MVLogDataView::UseRegistry(const BMessenger& registry)
{
	fRegistry = registry;
}


void MVLogDataView::_UseServer()
{
	if (fRegistry.IsValid()) {
		fModel.SetRegistry(fRegistry);
		return;
	}
	BackupApplication* application = BackupApplication::Get();
	fModel.SetRegistry(application->Server(), BackupApplication::kServerTimeout);
}


void MVLogDataView::Reload()
{
	BMessage selection;
	fModel.GetSelection(&selection);
	_UseServer();
	if (fModel.LoadBackups() != B_OK)
		return;
	(void)fModel.SetSelection(&selection);
	_Rebuild();
}


void MVLogDataView::_Rebuild()
{
	fList->Clear();
	fItems.clear();
	for (int32 index = 0; index < fModel.CountBackups(); index++)
		(void)_AddRow(fModel.BackupAt(index), nullptr);
}


const BPicture& MVLogDataView::_Icon(const MVLogDataItem& item)
{
	std::pair key{IconOf(item), item.IsBackup() && item.data.isProtected};
	auto found = fIcons.find(key);
	if (found == fIcons.end())
		found = fIcons.emplace(key, ToolIcons::ForEntry(key.first, key.second, 16)).first;
	return found->second;
}


BRow* MVLogDataView::_AddRow(MVLogDataItem* item, BRow* parent)
{
	auto* row = new BRow;
	for (int32 field = 0; field <= kMarkField; field++)
		row->SetField(new BStringField(""), field);
	fItems[row] = item;
	row->SetIcon(_Icon(*item));
	row->ShowLatch(item->IsContainer() && !(item->childrenLoaded && item->children.empty()));
	fList->AddRow(row, parent);
	_ShowRow(row);
	return row;
}


void MVLogDataView::_AddChildRows(BRow* row)
{
	MVLogDataItem* item = fItems[row];
	for (const std::unique_ptr<MVLogDataItem>& child : item->children)
		(void)_AddRow(child.get(), row);
	if (item->children.empty())
		row->ShowLatch(false);
}


void MVLogDataView::_Opened(BRow* row)
{
	auto found = fItems.find(row);
	if (found == fItems.end() || fList->CountRows(row) > 0)
		return;
	_UseServer();
	if (fModel.LoadChildren(found->second) != B_OK)
		return;
	_AddChildRows(row);
}


void MVLogDataView::_ShowRow(BRow* row)
{
	const MVLogDataItem& item = *fItems[row];
	for (int32 index = 0; index < kColumnCount; index++) {
		std::string text = RowText(item, kColumns[index].column);
		if (kColumns[index].column == MVLogColumn::Redirection) {
			auto redirection = fRedirections.find(item.CataloguePath());
			text = redirection != fRedirections.end() ? redirection->second.folder : "";
		}
		static_cast<BStringField*>(row->GetField(index))->SetString(text.c_str());
	}
	static_cast<BStringField*>(row->GetField(kMarkField))->SetString(
		item.selected ? "\u2713" : "");
	fList->UpdateRow(row);
}


void MVLogDataView::_ShowBelow(BRow* row)
{
	_ShowRow(row);
	for (int32 index = 0; index < fList->CountRows(row); index++)
		_ShowBelow(fList->RowAt(index, row));
}


void MVLogDataView::MarkSelected(bool marked)
{
	std::vector<BRow*> rows;
	for (BRow* row = fList->CurrentSelection(); row != nullptr;
			row = fList->CurrentSelection(row)) {
		rows.push_back(row);
	}
	_UseServer();
	for (BRow* row : rows) {
		// A folder marked whole is loaded whole; what was shown below it is
		// shown again from the items the model holds now.
		bool open = row->IsExpanded();
		bool reloads = marked && !fModel.IsLoadedThroughout(fItems[row]);
		if (fModel.Select(fItems[row], marked, true) != B_OK || !reloads)
			continue;
		_RemoveChildRows(row);
		if (open)
			_AddChildRows(row);
	}
	_ShowAll();
	_MarksChanged();
}


void MVLogDataView::_ShowAll()
{
	for (int32 index = 0; index < fList->CountRows(); index++)
		_ShowBelow(fList->RowAt(index));
}


void MVLogDataView::_MarksChanged()
{
	if (Parent() != nullptr && Looper() != nullptr)
		(void)Looper()->PostMessage(kMsgCatalogueMarksChanged, Parent());
}


BWindow* MVLogDataView::ShowInfo()
{
	auto found = fItems.find(fList->FocusRow());
	if (found == fItems.end())
		return nullptr;
	BRect frame = Window()->Frame();
	auto* window = new MVLogInfoWindow(BPoint(frame.left + 80, frame.top + 80), *found->second);
	window->Show();
	return window;
}


bool MVLogDataView::FindNext(const std::string& text)
{
	BRow* focus = fList->FocusRow();
	if (focus == nullptr)
		focus = fList->RowAt(0);
	if (focus == nullptr)
		return false;
	BRow* backupRow = focus;
	while (backupRow->ParentRow() != nullptr)
		backupRow = backupRow->ParentRow();
	MVLogDataItem* backup = fItems[backupRow];
	std::string after = fItems[focus]->CataloguePath();
	if (!fModel.IsLoadedThroughout(backup)) {
		_UseServer();
		bool open = backupRow->IsExpanded();
		if (fModel.LoadSubtree(backup) != B_OK)
			return false;
		_RemoveChildRows(backupRow);
		if (open)
			_AddChildRows(backupRow);
	}
	std::string wanted = Lowered(text);
	// Pre-order, as the tree shows it: the first match after the focus.
	bool passed = after == backup->CataloguePath();
	const MVLogDataItem* found = nullptr;
	std::vector<const MVLogDataItem*> stack;
	for (auto it = backup->children.rbegin(); it != backup->children.rend(); ++it)
		stack.push_back(it->get());
	while (!stack.empty() && found == nullptr) {
		const MVLogDataItem* item = stack.back();
		stack.pop_back();
		if (passed && Lowered(item->data.name).find(wanted) != std::string::npos)
			found = item;
		else if (!passed && item->CataloguePath() == after)
			passed = true;
		for (auto it = item->children.rbegin(); it != item->children.rend(); ++it)
			stack.push_back(it->get());
	}
	if (found == nullptr)
		return false;
	BRow* row = RowOfPath(found->CataloguePath());
	if (row == nullptr)
		return false;
	fList->DeselectAll();
	fList->AddToSelection(row);
	fList->ScrollTo(row);
	return true;
}


std::set<std::string> MVLogDataView::BackupNames() const
{
	std::set<std::string> names;
	for (int32 index = 0; index < fModel.CountBackups(); index++)
		names.insert(fModel.BackupAt(index)->data.name);
	return names;
}


std::string MVLogDataView::TitleOf(const std::string& backup) const
{
	const MVLogDataItem* item = fModel.FindBackup(backup);
	if (item == nullptr || item->data.fullPath.empty())
		return backup;
	return item->data.fullPath;
}


void MVLogDataView::_RemoveChildRows(BRow* row)
{
	while (fList->CountRows(row) > 0) {
		BRow* child = fList->RowAt(0, row);
		_RemoveChildRows(child);
		fItems.erase(child);
		(void)fList->RemoveRow(child);
		delete child;
	}
}


void MVLogDataView::RedirectSelected(const std::string& folder)
{
	for (BRow* row = fList->CurrentSelection(); row != nullptr;
			row = fList->CurrentSelection(row)) {
		const MVLogDataItem* item = fItems[row];
		// A backup as a whole is not redirected; its entries are.
		if (item->IsBackup())
			continue;
		if (folder.empty())
			fRedirections.erase(item->CataloguePath());
		else
			fRedirections[item->CataloguePath()] = Redirection{folder, item->IsContainer()};
		_ShowRow(row);
	}
}


void MVLogDataView::GetSelection(BMessage* selection) const
{
	fModel.GetSelection(selection);
	selection->RemoveName("source");
	selection->RemoveName("redirect");
	for (const auto& [path, redirection] : fRedirections) {
		std::string source = kRedirectPrefix + path + (redirection.directory ? "/*" : "");
		selection->AddString("source", source.c_str());
		selection->AddString("redirect", redirection.folder.c_str());
	}
}


void MVLogDataView::SetSelection(const BMessage& selection)
{
	_UseServer();
	fModel.DeselectAll();
	(void)fModel.SetSelection(&selection);
	fRedirections.clear();
	const char* source;
	const char* folder;
	for (int32 index = 0; selection.FindString("source", index, &source) == B_OK
			&& selection.FindString("redirect", index, &folder) == B_OK; index++) {
		std::string path = source;
		if (path.compare(0, kPrefixLength, kRedirectPrefix) != 0 || folder[0] == '\0')
			continue;
		path.erase(0, kPrefixLength);
		bool directory = path.size() >= 2 && path.compare(path.size() - 2, 2, "/*") == 0;
		if (directory)
			path.resize(path.size() - 2);
		fRedirections[path] = Redirection{folder, directory};
	}
	_Rebuild();
	_MarksChanged();
}


void MVLogDataView::SelectAll(bool select)
{
	fList->DeselectAll();
	if (!select) {
		fModel.DeselectAll();
		_ShowAll();
		_MarksChanged();
		return;
	}
	for (int32 index = 0; index < fList->CountRows(); index++)
		fList->AddToSelection(fList->RowAt(index));
	MarkSelected(true);
	fList->DeselectAll();
}


std::vector<std::string> MVLogDataView::MarkedBackups() const
{
	std::vector<std::string> names;
	std::set<const MVLogDataItem*> seen;
	for (int32 position = 1; position <= fModel.CountSelected(); position++) {
		const MVLogDataItem* backup = fModel.SuperItemFromCurrentSelection(position);
		if (backup != nullptr && seen.insert(backup).second)
			names.push_back(backup->data.name);
	}
	return names;
}


BRow* MVLogDataView::RowOfPath(const std::string& cataloguePath)
{
	BRow* parent = nullptr;
	size_t start = 1;
	while (start <= cataloguePath.size()) {
		size_t end = cataloguePath.find('/', start);
		if (end == std::string::npos)
			end = cataloguePath.size();
		std::string name = cataloguePath.substr(start, end - start);
		if (parent != nullptr)
			fList->ExpandOrCollapse(parent, true);
		BRow* found = nullptr;
		for (int32 index = 0; index < fList->CountRows(parent) && found == nullptr; index++) {
			BRow* row = fList->RowAt(index, parent);
			if (fItems[row]->data.name == name)
				found = row;
		}
		if (found == nullptr || end == cataloguePath.size())
			return found;
		parent = found;
		start = end + 1;
	}
	return nullptr;
}


int32 MVLogDataView::_ShownColumn(int32 field)
{
	// The mark column follows the names.
	return field == 0 ? 0 : field + 1;
}


void MVLogDataView::StoreColumnWidths(BMessage* settings) const
{
	for (int32 index = 0; index < kColumnCount; index++) {
		(void)settings->SetInt32(fWidthKeys[index],
			int32(fList->ColumnAt(_ShownColumn(index))->Width()));
	}
}


void MVLogDataView::RestoreColumnWidths(const BMessage& settings)
{
	for (int32 index = 0; index < kColumnCount; index++) {
		int32 width = settings.GetInt32(fWidthKeys[index], 0);
		if (width > 0)
			fList->ColumnAt(_ShownColumn(index))->SetWidth(float(width));
	}
}
