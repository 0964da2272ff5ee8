#include "MVTreeList.h"

#include <cstring>

#include "MVPathSplitter.h"

namespace {

// Folders are not listed below paths this long, so that a source that
// reports a folder inside every folder cannot make the tree grow forever.
constexpr size_t kMaxPathLength = 4096;

}	// namespace


MVTreeList::~MVTreeList()
{
	MakeEmpty();
}


void MVTreeList::SetTo(const BMessage* selection)
{
	MakeEmpty();
	MVRecordList lines;
	lines.SetTo(selection);
	while (lines.NextLine()) {
		if (lines.IsLineInclude())
			(void)InsertLine(&lines);
		else
			RemoveLine(&lines);
	}
	FindFirst();
}


// #pragma mark - Iteration


MVTreeEntry* MVTreeList::FindFirst()
{
	fCurrent = fFirst;
	return FindCurrent();
}


MVTreeEntry* MVTreeList::FindNext()
{
	if (fCurrent == nullptr)
		return nullptr;
	if (fCurrent->firstChild != nullptr) {
		fCurrent = fCurrent->firstChild;
		return FindCurrent();
	}
	mvtreelistnode* node = fCurrent;
	while (node != nullptr && node->next == nullptr)
		node = node->parent;
	fCurrent = node != nullptr ? node->next : nullptr;
	return FindCurrent();
}


MVTreeEntry* MVTreeList::FindCurrent() const
{
	return fCurrent != nullptr ? fCurrent->entry : nullptr;
}


int32 MVTreeList::OutlineLevel() const
{
	if (fCurrent == nullptr)
		return -1;
	int32 level = 0;
	for (mvtreelistnode* node = fCurrent->parent; node != nullptr; node = node->parent)
		level++;
	return level;
}


// #pragma mark - Building blocks


mvtreelistnode* MVTreeList::InsertLine(MVRecordList* lines)
{
	if (lines == nullptr)
		return nullptr;
	std::string path = lines->FullPath();
	mvtreelistnode* node = AddFullPath(lines);
	if (node != nullptr && lines->IsLineDirectory())
		InsertAllSubDirs(node, path.c_str());
	return node;
}


void MVTreeList::RemoveLine(const MVRecordList* lines)
{
	if (lines == nullptr)
		return;
	mvtreelistnode* node = GetLeaf(lines->FullPath());
	if (node != nullptr)
		_FreeSubtree(node);
}


mvtreelistnode* MVTreeList::GetLeaf(const char* path) const
{
	if (path == nullptr)
		return nullptr;
	MVPathSplitter components(path);
	std::string_view component;
	std::string name;
	mvtreelistnode* node = nullptr;
	bool any = false;
	while (components.Next(&component)) {
		name.assign(component);
		node = _FindChild(node, name.c_str());
		if (node == nullptr)
			return nullptr;
		any = true;
	}
	return any ? node : nullptr;
}


mvtreelistnode* MVTreeList::AddFullPath(MVRecordList* lines)
{
	if (lines == nullptr)
		return nullptr;
	mvtreelistnode* parent = nullptr;
	mvtreelistnode* node = nullptr;
	bool created = false;
	while (const char* component = lines->NextLineToken()) {
		node = created ? nullptr : _FindChild(parent, component);
		if (node == nullptr) {
			node = CreateNode(component);
			if (node == nullptr)
				return nullptr;
			fDetached.erase(node);
			_Links().LinkLast(parent, node);
			created = true;
		}
		parent = node;
	}
	return node;
}


void MVTreeList::InsertAllSubDirs(mvtreelistnode* node, const char* path)
{
	if (node == nullptr || path == nullptr)
		return;
	_FreeChildren(node);
	// Each folder is listed to its end before any child is, since the
	// hooks keep one listing at a time.
	std::vector<std::pair<mvtreelistnode*, std::string>> folders;
	folders.emplace_back(node, path);
	while (!folders.empty()) {
		auto [folder, folderPath] = std::move(folders.back());
		folders.pop_back();
		_ListChildren(folder, folderPath, &folders);
	}
}


void MVTreeList::_ListChildren(mvtreelistnode* folder, const std::string& path,
	std::vector<std::pair<mvtreelistnode*, std::string>>* folders)
{
	if (path.size() > kMaxPathLength || !ScanStart(path.c_str()))
		return;
	// The folder's children were freed, so linking after the one before
	// keeps a wide folder linear.
	mvtreelistnode* previous = nullptr;
	while (const char* name = ScanNext()) {
		if (name[0] == '\0' || strchr(name, '/') != nullptr)
			continue;
		mvtreelistnode* child = CreateNode(name);
		if (child == nullptr)
			continue;
		fDetached.erase(child);
		if (previous != nullptr)
			_Links().LinkAfter(previous, child);
		else
			_Links().LinkLast(folder, child);
		previous = child;
		if (child->entry->IsDirectory())
			folders->emplace_back(child, path + "/" + name);
	}
}


bool MVTreeList::AddNode(mvtreelistnode* reference, mvtreelistnode* node, int32 position)
{
	if (node == nullptr || position < kTreeListAfter || position > kTreeListParent)
		return false;
	for (mvtreelistnode* above = reference; above != nullptr; above = above->parent) {
		if (above == node)
			return false;
	}
	if (reference != nullptr && position != kTreeListFirstChild && !_IsLinked(reference))
		return false;
	_Links().Unlink(node);
	fDetached.erase(node);
	if (reference == nullptr) {
		_Links().LinkFirstChild(nullptr, node);
		return true;
	}
	_Links().LinkAt(reference, node, MVTreeListPos(position));
	// The reference was detached for a moment; it is in the tree again.
	if (position == kTreeListParent)
		fDetached.erase(reference);
	return true;
}


void MVTreeList::RemoveNode(mvtreelistnode* node)
{
	if (node == nullptr || !_IsLinked(node))
		return;
	for (mvtreelistnode* above = fCurrent; above != nullptr; above = above->parent) {
		if (above == node) {
			fCurrent = nullptr;
			break;
		}
	}
	_Links().Unlink(node);
	fDetached.insert(node);
}


mvtreelistnode* MVTreeList::CreateNode(const char* name)
{
	if (name == nullptr || fCount == INT32_MAX)
		return nullptr;
	MVTreeEntry* entry = CreateEntry(name);
	if (entry == nullptr)
		return nullptr;
	mvtreelistnode* node = new mvtreelistnode;
	node->entry = entry;
	fDetached.insert(node);
	fCount++;
	return node;
}


void MVTreeList::FreeList(mvtreelistnode* node)
{
	while (node != nullptr) {
		mvtreelistnode* next = node->next;
		_FreeSubtree(node);
		node = next;
	}
}


void MVTreeList::MakeEmpty()
{
	FreeList(fFirst);
	while (!fDetached.empty())
		_FreeSubtree(*fDetached.begin());
	fCurrent = nullptr;
}


// #pragma mark - Hooks


MVTreeEntry* MVTreeList::CreateEntry(const char* name)
{
	return new MVTreeEntry(name);
}


void MVTreeList::FreeEntry(MVTreeEntry* entry)
{
	delete entry;
}


bool MVTreeList::ScanStart(const char* path)
{
	return false;
}


const char* MVTreeList::ScanNext()
{
	return nullptr;
}


// #pragma mark - Links


mvtreelistnode* MVTreeList::_FindChild(mvtreelistnode* parent, const char* name) const
{
	mvtreelistnode* node = parent != nullptr ? parent->firstChild : fFirst;
	for (; node != nullptr; node = node->next) {
		if (strcmp(node->entry->Name(), name) == 0)
			return node;
	}
	return nullptr;
}


MVTreeListNodeLinks MVTreeList::_Links()
{
	return MVTreeListNodeLinks(MVTreeListNodeAccess{fFirst});
}


bool MVTreeList::_IsLinked(mvtreelistnode* node)
{
	return _Links().IsLinked(node);
}


void MVTreeList::_FreeSubtree(mvtreelistnode* root)
{
	_Links().Unlink(root);
	fDetached.erase(root);
	// Leaves first, walking the links, so that any depth works without
	// recursion.
	mvtreelistnode* node = root;
	for (;;) {
		while (node->firstChild != nullptr)
			node = node->firstChild;
		mvtreelistnode* next = node == root ? nullptr : node->next;
		mvtreelistnode* parent = node->parent;
		bool done = node == root;
		if (fCurrent == node)
			fCurrent = nullptr;
		FreeEntry(node->entry);
		delete node;
		fCount--;
		if (done)
			return;
		if (next != nullptr) {
			node = next;
		} else {
			parent->firstChild = nullptr;
			node = parent;
		}
	}
}


void MVTreeList::_FreeChildren(mvtreelistnode* node)
{
	mvtreelistnode* child = node->firstChild;
	node->firstChild = nullptr;
	while (child != nullptr) {
		mvtreelistnode* next = child->next;
		child->previous = nullptr;
		child->next = nullptr;
		child->parent = nullptr;
		_FreeSubtree(child);
		child = next;
	}
}
