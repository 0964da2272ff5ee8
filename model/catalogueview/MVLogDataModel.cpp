#include "MVLogDataModel.h"

#include <algorithm>
#include <ctime>
#include <unordered_set>

#include "EntryName.h"
#include "MVLogAnswer.h"
#include "MVLogQuery.h"
#include "MVPathSplitter.h"
#include "MVSelection.h"
#include "ServerProtocol.h"

namespace {

// The browse path of the catalogue list.
constexpr const char* kCatalogueListPath = "/";
constexpr const char* kDateFormat = "%Y-%m-%d %H:%M";

std::string IncludeLine(const std::string& path)
{
	return std::string(MVSelectionLine::kIncludeWord) + " " + path;
}

std::string TypeText(const MVLogDataItem& item)
{
	if (item.IsBackup())
		return "backup";
	switch (item.data.type) {
		case kLogTypeFile:
			return "file";
		case kLogTypeDirectory:
			return "folder";
		case kLogTypeSymLink:
			return "link";
		case kLogTypeVolumeRoot:
			return "volume";
		default:
			// A type this program does not know is shown as it was stored.
			return std::to_string(item.data.type);
	}
}

std::string DateText(time_t date)
{
	struct tm local;
	if (localtime_r(&date, &local) == nullptr)
		return std::string();
	char text[64];
	size_t length = strftime(text, sizeof(text), kDateFormat, &local);
	return std::string(text, length);
}

// The numeric columns as exact numbers; false for the others.
bool NumberOf(const MVLogDataItem& item, MVLogColumn column, int64* number)
{
	switch (column) {
		case MVLogColumn::Size:
			*number = item.data.size;
			return true;
		case MVLogColumn::Type:
			*number = item.data.type;
			return true;
		case MVLogColumn::Date:
			*number = int64(item.data.date);
			return true;
		case MVLogColumn::MediaNumber:
			*number = item.data.mediaNumber;
			return true;
		case MVLogColumn::Offset:
			*number = item.data.offset;
			return true;
		case MVLogColumn::Index:
			*number = item.data.index;
			return true;
		case MVLogColumn::Name:
		case MVLogColumn::Redirection:
			break;
	}
	return false;
}

}	// namespace

MVLogDataModel::MVLogDataModel(const BMessenger& registry)
	:
	fRegistry(registry),
	fFullList(fBackups)
{
}


void MVLogDataModel::SetRegistry(const BMessenger& registry, bigtime_t timeout)
{
	fRegistry = registry;
	fTimeout = timeout;
}

MVLogDataModel::~MVLogDataModel()
{
	_Release(&fBackups);
}

// #pragma mark - loading

status_t MVLogDataModel::LoadBackups()
{
	BMessage reply;
	status_t status = _Query(kCatalogueListPath, kLogReadChildren, &reply);
	if (status != B_OK)
		return status;
	_Release(&fBackups);
	_StructureChanged();

	MVLogAnswer answer(reply);
	MVLogEntryData data;
	for (int32 element = 0; answer.BackupAt(element, &data); element++) {
		if (!IsSafeEntryName(data.name))
			continue;
		auto backup = std::make_unique<MVLogDataItem>();
		backup->data = std::move(data);
		backup->level = 1;
		fBackups.push_back(std::move(backup));
	}
	return B_OK;
}

status_t MVLogDataModel::LoadChildren(MVLogDataItem* item)
{
	if (item == nullptr)
		return B_BAD_VALUE;
	if (item->childrenLoaded)
		return B_OK;
	if (!item->IsContainer()) {
		item->childrenLoaded = true;
		return B_OK;
	}
	BMessage reply;
	status_t status = _Query(item->CataloguePath(), kLogReadChildren, &reply);
	if (status != B_OK)
		return status;
	_Attach(item, reply, kLogReadChildren);
	return B_OK;
}

status_t MVLogDataModel::LoadSubtree(MVLogDataItem* item)
{
	if (item == nullptr)
		return B_BAD_VALUE;
	if (!item->IsContainer()) {
		item->childrenLoaded = true;
		return B_OK;
	}
	BMessage reply;
	status_t status = _Query(item->CataloguePath(), kLogReadSubtree, &reply);
	if (status != B_OK)
		return status;

	std::unordered_set<std::string> marked;
	_ForEachBelow(item, [&marked](MVLogDataItem* below, const std::string& path) {
		if (below->selected)
			marked.insert(path);
	});
	_Attach(item, reply, kLogReadSubtree);
	if (marked.empty())
		return B_OK;
	_ForEachBelow(item, [&marked](MVLogDataItem* below, const std::string& path) {
		if (marked.contains(path))
			below->selected = true;
	});
	return B_OK;
}

status_t MVLogDataModel::_Query(const std::string& path, LogReadMode mode, BMessage* reply) const
{
	status_t status = QueryCatalogueRegistry(fRegistry, path.c_str(), mode, reply, fTimeout);
	if (status != B_OK)
		return status;
	// A registry that dropped the request answers with B_NO_REPLY.
	return reply->what == kMsgLogData ? B_OK : B_BAD_REPLY;
}

// Replaces the children of parent with the entries of an answer. A listing
// ("subdir" 0) gives direct children only; a subtree answer lists the
// subtree in pre-order, of which only the differences of the levels are
// believed: the first entry is a child of parent, a deeper level makes a
// child of the entry before it (however far it jumps, and only a folder
// takes children), and a level above the first one's has left the folder,
// which ends the answer.
void MVLogDataModel::_Attach(MVLogDataItem* parent, const BMessage& reply, LogReadMode mode)
{
	_Release(&parent->children);
	parent->childrenLoaded = true;
	_StructureChanged();

	MVLogAnswer answer(reply);
	// The items on the way down to the last one attached, one per depth.
	std::vector<MVLogDataItem*> chain;
	int64 firstLevel = 0;
	// While an entry that is left out passes by, its depth; -1 otherwise.
	int64 leftOutDepth = -1;
	MVLogEntryData data;
	for (int32 element = 0; answer.EntryAt(element, &data); element++) {
		if (element == 0)
			firstLevel = data.level;
		int64 depth = int64(data.level) - firstLevel;
		if (depth < 0)
			break;
		if ((mode != kLogReadSubtree && depth > 0) || (leftOutDepth >= 0 && depth > leftOutDepth))
			continue;
		leftOutDepth = -1;
		if (!IsSafeEntryName(data.name)) {
			leftOutDepth = depth;
			continue;
		}

		depth = std::min(depth, int64(chain.size()));
		if (depth > 0 && depth == int64(chain.size()) && !chain.back()->IsContainer())
			depth--;
		chain.resize(size_t(depth));
		MVLogDataItem* above = chain.empty() ? parent : chain.back();
		auto item = std::make_unique<MVLogDataItem>();
		item->data = std::move(data);
		item->level = above->level + 1;
		item->parent = above;
		item->childrenLoaded = mode == kLogReadSubtree || !item->IsContainer();
		chain.push_back(item.get());
		above->children.push_back(std::move(item));
	}
}

// #pragma mark - finding

MVLogDataItem* MVLogDataModel::BackupAt(int32 index) const
{
	if (index < 0 || index >= CountBackups())
		return nullptr;
	return fBackups[size_t(index)].get();
}

MVLogDataItem* MVLogDataModel::FindBackup(const std::string& name) const
{
	for (const std::unique_ptr<MVLogDataItem>& backup : fBackups) {
		if (backup->data.name == name)
			return backup.get();
	}
	return nullptr;
}

MVLogDataItem* MVLogDataModel::FindPath(const std::string& cataloguePath)
{
	MVPathSplitter splitter(cataloguePath);
	std::string_view component;
	if (!splitter.Next(&component))
		return nullptr;
	MVLogDataItem* item = FindBackup(std::string(component));
	while (item != nullptr && splitter.Next(&component)) {
		if (LoadChildren(item) != B_OK)
			return nullptr;
		item = _FindChild(item, component);
	}
	return item;
}

MVLogDataItem* MVLogDataModel::_FindChild(const MVLogDataItem* parent, std::string_view name)
{
	for (const std::unique_ptr<MVLogDataItem>& child : parent->children) {
		if (child->data.name == name)
			return child.get();
	}
	return nullptr;
}

// #pragma mark - columns

std::string MVLogDataModel::ColumnText(const MVLogDataItem& item, MVLogColumn column)
{
	switch (column) {
		case MVLogColumn::Name:
			return item.data.name;
		case MVLogColumn::Redirection:
			return item.redirection;
		case MVLogColumn::Type:
			return TypeText(item);
		case MVLogColumn::Date:
			return DateText(item.data.date);
		default:
			break;
	}
	int64 number = 0;
	return NumberOf(item, column, &number) ? std::to_string(number) : std::string();
}

double MVLogDataModel::ColumnValue(const MVLogDataItem& item, MVLogColumn column)
{
	int64 number = 0;
	return NumberOf(item, column, &number) ? double(number) : 0;
}

// #pragma mark - marks

void MVLogDataModel::DeselectAll()
{
	for (int32 index = 0; index < fFullList.CountItems(); index++)
		fFullList.ItemAt(index)->selected = false;
	_MarksChanged();
}

status_t MVLogDataModel::Select(MVLogDataItem* item, bool selected, bool withSubtree)
{
	if (item == nullptr)
		return B_BAD_VALUE;
	if (selected && withSubtree && !_IsLoadedThroughout(item)) {
		status_t status = LoadSubtree(item);
		if (status != B_OK)
			return status;
	}
	item->selected = selected;
	if (withSubtree) {
		_ForEachBelow(item, [selected](MVLogDataItem* below, const std::string&) {
			below->selected = selected;
		});
	}
	_MarksChanged();
	return B_OK;
}

int32 MVLogDataModel::SetSelection(const BMessage* selection)
{
	if (fBackups.empty())
		(void)LoadBackups();

	int32 lines = 0;
	type_code type;
	if (selection == nullptr || selection->GetInfo(MVSelection::kField, &type, &lines) != B_OK
		|| type != B_STRING_TYPE) {
		return 0;
	}
	int32 applied = 0;
	MVSelection reader(selection);
	while (reader.NextLine()) {
		MVLogDataItem* item = FindPath(reader.Path());
		bool include = reader.IsLineInclude();
		// An exclude line takes the whole subtree out, "/*" or not.
		if (item != nullptr && Select(item, include, !include || reader.IsLineDirectory()) == B_OK)
			applied++;
	}
	return lines - applied;
}

std::vector<std::string> MVLogDataModel::SelectionLines() const
{
	int32 count = fFullList.CountItems();
	// unfinished[i]: how many of the first i items are unmarked or have
	// children that were never loaded. A subtree without any is selected
	// throughout and known throughout, so one "/*" line stands for it.
	std::vector<int32> unfinished(size_t(count) + 1, 0);
	for (int32 index = 0; index < count; index++) {
		const MVLogDataItem* item = fFullList.ItemAt(index);
		bool finished = item->selected && item->childrenLoaded;
		unfinished[size_t(index) + 1] = unfinished[size_t(index)] + (finished ? 0 : 1);
	}

	std::vector<std::string> lines;
	for (int32 index = 0; index < count;) {
		const MVLogDataItem* item = fFullList.ItemAt(index);
		if (!item->selected) {
			index++;
			continue;
		}
		int32 end = fFullList.SubtreeEnd(index);
		if (item->IsContainer() && unfinished[size_t(end)] == unfinished[size_t(index)]) {
			lines.push_back(IncludeLine(item->CataloguePath() + "/*"));
			index = end;
		} else {
			lines.push_back(IncludeLine(item->CataloguePath()));
			index++;
		}
	}
	return lines;
}

void MVLogDataModel::GetSelection(BMessage* selection) const
{
	if (selection == nullptr)
		return;
	(void)selection->RemoveName(MVSelection::kField);
	for (const std::string& line : SelectionLines())
		selection->AddString(MVSelection::kField, line);
}

// #pragma mark - walks

int32 MVLogDataModel::CountSelected() const
{
	return fFullList.CountSelected();
}

MVLogDataItem* MVLogDataModel::FullListCurrentSelection(int32 position) const
{
	return position >= 1 ? fFullList.SelectedAt(position - 1) : nullptr;
}

MVLogDataItem* MVLogDataModel::SuperItemFromCurrentSelection(int32 position) const
{
	return position >= 1 ? fFullList.SelectedBackupAt(position - 1) : nullptr;
}

int32 MVLogDataModel::CountItems() const
{
	return fFullList.CountItems();
}

MVLogDataItem* MVLogDataModel::ItemAt(int32 index) const
{
	return fFullList.ItemAt(index);
}

// #pragma mark - subtrees

bool MVLogDataModel::_IsLoadedThroughout(MVLogDataItem* item)
{
	bool loaded = item->childrenLoaded;
	_ForEachBelow(item, [&loaded](MVLogDataItem* below, const std::string&) {
		if (!below->childrenLoaded)
			loaded = false;
	});
	return loaded;
}

// Pre-order below top, with each item's path relative to top. Without
// recursion: a damaged catalogue may nest as deep as it has entries.
void MVLogDataModel::_ForEachBelow(MVLogDataItem* top, const Visit& visit)
{
	struct Pending {
		MVLogDataItem* item;
		size_t pathLength;
	};
	std::vector<Pending> pending;
	auto pushChildren = [&pending](const MVLogDataItem* item, size_t pathLength) {
		for (auto child = item->children.rbegin(); child != item->children.rend(); ++child)
			pending.push_back({child->get(), pathLength});
	};
	std::string path;
	pushChildren(top, 0);
	while (!pending.empty()) {
		Pending next = pending.back();
		pending.pop_back();
		path.resize(next.pathLength);
		path += "/" + next.item->data.name;
		visit(next.item, path);
		pushChildren(next.item, path.size());
	}
}

void MVLogDataModel::_Release(Items* items)
{
	// Child by child, so that a deep tree cannot exhaust the stack.
	Items pending = std::move(*items);
	items->clear();
	while (!pending.empty()) {
		std::unique_ptr<MVLogDataItem> item = std::move(pending.back());
		pending.pop_back();
		for (std::unique_ptr<MVLogDataItem>& child : item->children)
			pending.push_back(std::move(child));
		item->children.clear();
	}
}

void MVLogDataModel::_StructureChanged()
{
	fFullList.StructureChanged();
}

void MVLogDataModel::_MarksChanged()
{
	fFullList.MarksChanged();
}
