#include "MVSourceSelectionView.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include <sys/stat.h>

#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/MenuItem.h>
#include <interface/PopUpMenu.h>
#include <storage/VolumeTable.h>

#include "GuiTexts.h"

namespace {

constexpr uint32 kCmdInclude = 'ssin';
constexpr uint32 kCmdExclude = 'ssex';
constexpr uint32 kCmdUnmark = 'ssun';
constexpr uint32 kCmdStepMark = 'ssst';

enum Field : int32 {
	kFieldName = 0,
	kFieldMark = 1,
	kFieldSize = 2,
	kFieldModified = 3,
};

struct MarkButton {
	const char* name;
	const char* label;
	uint32 command;
};

const MarkButton kMarkButtons[] = {
	{"btn_include", "Include", kCmdInclude},
	{"btn_exclude", "Exclude", kCmdExclude},
	{"btn_unmark", "Unmark", kCmdUnmark},
};


std::string SizeText(off_t size)
{
	char text[32];
	if (size < 1024)
		snprintf(text, sizeof(text), "%lld B", (long long)size);
	else if (size < 1024 * 1024)
		snprintf(text, sizeof(text), "%.1f KB", double(size) / 1024);
	else
		snprintf(text, sizeof(text), "%.1f MB", double(size) / (1024 * 1024));
	return text;
}


struct Listed {
	std::string name;
	bool directory;
	off_t size;
	int32 modified;
};


// The folder's entries, folders first, each group by name; links are not
// followed, so a link to a folder is listed as a file.
std::vector<Listed> ListFolder(const std::string& native)
{
	std::vector<Listed> entries;
	std::error_code error;
	std::filesystem::directory_iterator it(native, error);
	for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
		struct stat info;
		std::string name = it->path().filename().string();
		if (lstat(it->path().c_str(), &info) != 0)
			continue;
		bool directory = S_ISDIR(info.st_mode);
		entries.push_back(Listed{name, directory, directory ? 0 : off_t(info.st_size),
			int32(info.st_mtime)});
	}
	std::sort(entries.begin(), entries.end(), [](const Listed& a, const Listed& b) {
		return a.directory != b.directory ? a.directory : a.name < b.name;
	});
	return entries;
}

}	// namespace


// The tree itself: it lists a folder the first time it opens.
class SourceTreeList : public BColumnListView {
public:
	SourceTreeList(BRect frame, MVSourceSelectionView* owner)
		:
		BColumnListView(frame, "source_tree", B_FOLLOW_ALL),
		fOwner(owner)
	{
	}

	void ExpansionChanged(BRow* row, bool expanded) override
	{
		if (expanded)
			fOwner->_List(row);
	}

private:
	MVSourceSelectionView* fOwner;
};


MVSourceSelectionView::MVSourceSelectionView(BRect frame, uint32 resizingMode)
	:
	BView(frame, "MV_SOURCES", resizingMode, B_WILL_DRAW | B_FRAME_EVENTS)
{
	float width = frame.Width();
	float height = frame.Height();
	fList = new SourceTreeList(BRect(0, 0, width, height - 34), this);
	const struct {
		const char* title;
		float width;
	} columns[] = {{"Name", 190}, {"Mark", 80}, {"Size", 70}, {"Modified", 170}};
	for (int32 index = 0; index < 4; index++)
		fList->AddColumn(new BStringColumn(columns[index].title, columns[index].width, 30, 2000),
			index);
	fList->SetSelectionMode(B_MULTIPLE_SELECTION_LIST);
	fList->SetInvocationMessage(new BMessage(kCmdStepMark));
	auto* popup = new BPopUpMenu("sourcepopup", false, false);
	for (const MarkButton& button : kMarkButtons)
		popup->AddItem(new BMenuItem(button.label, new BMessage(button.command)));
	fList->SetContextMenu(popup);
	AddChild(fList);

	float left = 0;
	for (const MarkButton& button : kMarkButtons) {
		AddChild(new BButton(BRect(left, height - 28, left + 80, height), button.name,
			button.label, new BMessage(button.command), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM));
		left += 86;
	}

	int32 cookie = 0;
	VolumeTable::Volume volume;
	while (VolumeTable::GetNextVolume(&cookie, &volume) == B_OK)
		(void)_AddRow("/" + volume.name, volume.name, true, nullptr, 0, 0);
}


void MVSourceSelectionView::AttachedToWindow()
{
	(void)fList->SetTarget(this);
	(void)fList->ContextMenu()->SetTargetForItems(this);
	for (const MarkButton& button : kMarkButtons)
		(void)static_cast<BButton*>(FindView(button.name))->SetTarget(this);
}


void MVSourceSelectionView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdInclude:
			MarkSelected(SelectionMarks::kIncluded);
			break;
		case kCmdExclude:
			MarkSelected(SelectionMarks::kExcluded);
			break;
		case kCmdUnmark:
			MarkSelected(SelectionMarks::kUnmarked);
			break;
		case kCmdStepMark:
			_StepMark();
			break;
		default:
			BView::MessageReceived(message);
			break;
	}
}


BRow* MVSourceSelectionView::_AddRow(const std::string& path, const std::string& name,
	bool directory, BRow* parent, off_t size, int32 modified)
{
	auto* row = new BRow;
	row->SetField(new BStringField(name.c_str()), kFieldName);
	row->SetField(new BStringField(""), kFieldMark);
	row->SetField(new BStringField(directory ? "" : SizeText(size).c_str()), kFieldSize);
	row->SetField(new BStringField(modified != 0 ? DateText(modified).c_str() : ""),
		kFieldModified);
	row->ShowLatch(directory);
	fEntries[row] = Entry{path, directory, false};
	fList->AddRow(row, parent);
	_ShowMark(row);
	return row;
}


void MVSourceSelectionView::_List(BRow* row)
{
	auto found = fEntries.find(row);
	if (found == fEntries.end() || found->second.listed || !found->second.directory)
		return;
	found->second.listed = true;
	std::string path = found->second.path;
	std::string native;
	if (VolumeTable::ToNative(path.c_str(), &native) != B_OK)
		return;
	for (const Listed& entry : ListFolder(native)) {
		(void)_AddRow(path + "/" + entry.name, entry.name, entry.directory, row, entry.size,
			entry.modified);
	}
	if (fList->CountRows(row) == 0)
		row->ShowLatch(false);
}


void MVSourceSelectionView::_ShowMark(BRow* row)
{
	const std::string& path = fEntries[row].path;
	SelectionMarks::Mark own = fMarks.MarkOf(path);
	SelectionMarks::Mark effective = fMarks.Effective(path);
	const char* text = "";
	if (own == SelectionMarks::kIncluded)
		text = "Include";
	else if (own == SelectionMarks::kExcluded)
		text = "Exclude";
	else if (effective == SelectionMarks::kIncluded)
		text = "(included)";
	else if (effective == SelectionMarks::kExcluded)
		text = "(excluded)";
	static_cast<BStringField*>(row->GetField(kFieldMark))->SetString(text);
	fList->UpdateRow(row);
}


void MVSourceSelectionView::_ShowMarksBelow(BRow* row)
{
	_ShowMark(row);
	for (int32 index = 0; index < fList->CountRows(row); index++)
		_ShowMarksBelow(fList->RowAt(index, row));
}


void MVSourceSelectionView::MarkSelected(SelectionMarks::Mark mark)
{
	for (BRow* row = fList->CurrentSelection(); row != nullptr;
			row = fList->CurrentSelection(row)) {
		const Entry& entry = fEntries[row];
		fMarks.Set(entry.path, mark, entry.directory);
		_ShowMarksBelow(row);
	}
}


void MVSourceSelectionView::_StepMark()
{
	BRow* row = fList->FocusRow();
	if (row == nullptr)
		return;
	const Entry& entry = fEntries[row];
	auto next = SelectionMarks::Mark((fMarks.MarkOf(entry.path) + 1) % 3);
	fMarks.Set(entry.path, next, entry.directory);
	_ShowMarksBelow(row);
}


void MVSourceSelectionView::GetSelection(BMessage* selection) const
{
	fMarks.WriteLines(selection);
}


void MVSourceSelectionView::SetSelection(const BMessage& selection)
{
	fMarks.ReadLines(selection);
	for (int32 index = 0; index < fList->CountRows(); index++)
		_ShowMarksBelow(fList->RowAt(index));
}


void MVSourceSelectionView::SelectAll(bool select)
{
	fMarks.Clear();
	for (int32 index = 0; index < fList->CountRows(); index++) {
		BRow* row = fList->RowAt(index);
		if (select)
			fMarks.Set(fEntries[row].path, SelectionMarks::kIncluded, true);
		_ShowMarksBelow(row);
	}
}


BRow* MVSourceSelectionView::RowOfPath(const std::string& path)
{
	BRow* parent = nullptr;
	std::string prefix;
	size_t start = 1;
	while (start <= path.size()) {
		size_t end = path.find('/', start);
		if (end == std::string::npos)
			end = path.size();
		prefix = path.substr(0, end);
		BRow* found = nullptr;
		for (int32 index = 0; index < fList->CountRows(parent) && found == nullptr; index++) {
			BRow* row = fList->RowAt(index, parent);
			if (fEntries[row].path == prefix)
				found = row;
		}
		if (found == nullptr)
			return nullptr;
		if (end == path.size())
			return found;
		fList->ExpandOrCollapse(found, true);
		parent = found;
		start = end + 1;
	}
	return nullptr;
}
