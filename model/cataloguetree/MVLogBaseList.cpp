#include "MVLogBaseList.h"

#include <vector>

#include "MVLogQuery.h"
#include "MVPathSplitter.h"
#include "MVRedirection.h"
#include "MVSelection.h"

MVLogBaseList::MVLogBaseList(const BMessenger& registry, const BMessage* selection)
	:
	fRegistry(registry)
{
	if (selection != nullptr)
		SetTo(selection);
}

MVLogBaseList::~MVLogBaseList()
{
	_MakeEmpty();
}

void MVLogBaseList::SetTo(const BMessage* selection)
{
	_MakeEmpty();
	if (selection == nullptr)
		return;

	MVSelection lines(selection);
	while (lines.NextLine()) {
		if (lines.IsLineInclude())
			InsertLine(lines.Path(), lines.IsLineDirectory());
		else
			RemoveLine(lines.Path());
	}
	fCurrent = fFirst;

	MVRedirection redirections(selection);
	while (redirections.NextLine()) {
		if (redirections.IsLineInclude()) {
			InsertRedirection(redirections.Source(), redirections.Redirection(),
				redirections.IsLineDirectory());
		} else
			RemoveRedirection(redirections.Source(), redirections.IsLineDirectory());
	}
}

// #pragma mark - walking

MVTreeEntryLog* MVLogBaseList::_Entry(const mvtreelistnode* node)
{
	return node != nullptr ? static_cast<MVTreeEntryLog*>(node->entry) : nullptr;
}

mvtreelistnode* MVLogBaseList::_NextInPreOrder(mvtreelistnode* node, const mvtreelistnode* top)
{
	if (node->firstChild != nullptr)
		return node->firstChild;
	while (node != nullptr && node != top) {
		if (node->next != nullptr)
			return node->next;
		node = node->parent;
	}
	return nullptr;
}

int32 MVLogBaseList::_Depth(const mvtreelistnode* node)
{
	int32 depth = 0;
	for (const mvtreelistnode* parent = node->parent; parent != nullptr; parent = parent->parent)
		depth++;
	return depth;
}

MVTreeEntryLog* MVLogBaseList::FindFirst()
{
	fCurrent = fFirst;
	return _Entry(fCurrent);
}

MVTreeEntryLog* MVLogBaseList::FindNext()
{
	if (fCurrent != nullptr)
		fCurrent = _NextInPreOrder(fCurrent, nullptr);
	return _Entry(fCurrent);
}

MVTreeEntryLog* MVLogBaseList::FindCurrent() const
{
	return _Entry(fCurrent);
}

int32 MVLogBaseList::OutlineLevel() const
{
	return fCurrent != nullptr ? _Depth(fCurrent) : -1;
}

MVTreeEntryLog* MVLogBaseList::CurrentBackup() const
{
	const mvtreelistnode* node = fCurrent;
	while (node != nullptr && node->parent != nullptr)
		node = node->parent;
	return _Entry(node);
}

void MVLogBaseList::ForEach(const std::function<void(const MVTreeEntryLog&)>& visit) const
{
	for (mvtreelistnode* node = fFirst; node != nullptr; node = _NextInPreOrder(node, nullptr))
		visit(*_Entry(node));
}

// #pragma mark - edits

void MVLogBaseList::InsertLine(const char* path, bool isDirectory)
{
	mvtreelistnode* node = AddFullPath(path);
	if (node != nullptr && isDirectory)
		InsertData(node, path, 0);
}

void MVLogBaseList::RemoveLine(const char* path)
{
	mvtreelistnode* node = GetLeaf(path);
	if (node == nullptr)
		return;
	_Unlink(node);
	_FreeSubtree(node);
}

void MVLogBaseList::InsertRedirection(const char* source, const char* target, bool recursive)
{
	mvtreelistnode* top = GetLeaf(source);
	if (top == nullptr)
		return;
	std::string working = target != nullptr ? target : "";
	// The first redirection that covers a node wins.
	auto visit = [&working](mvtreelistnode* node) {
		if (!node->entry->HasRedirection())
			node->entry->SetRedirection(working.c_str());
	};
	visit(top);
	if (!recursive)
		return;

	// Folder names below the volume become part of the working path on the
	// way down and leave it on the way up, so that a redirected folder keeps
	// its inner structure; backup and volume names never enter it.
	mvtreelistnode* node = top;
	while (true) {
		if (node->firstChild != nullptr) {
			if (_Depth(node->firstChild) > 2)
				working += std::string("/") + node->entry->Name();
			node = node->firstChild;
			visit(node);
			continue;
		}
		while (node != top && node->next == nullptr) {
			node = node->parent;
			if (_Depth(node) > 1) {
				size_t slash = working.rfind('/');
				working.erase(slash == std::string::npos ? 0 : slash);
			}
		}
		if (node == top)
			return;
		node = node->next;
		visit(node);
	}
}

void MVLogBaseList::RemoveRedirection(const char* source, bool recursive)
{
	mvtreelistnode* top = GetLeaf(source);
	if (top == nullptr)
		return;
	top->entry->SetRedirection(nullptr);
	if (!recursive)
		return;
	for (mvtreelistnode* node = _NextInPreOrder(top, top); node != nullptr;
			node = _NextInPreOrder(node, top))
		node->entry->SetRedirection(nullptr);
}

// #pragma mark - building blocks

mvtreelistnode* MVLogBaseList::_FindChild(mvtreelistnode* firstSibling,
	std::string_view name) const
{
	for (mvtreelistnode* node = firstSibling; node != nullptr; node = node->next) {
		if (name == node->entry->Name())
			return node;
	}
	return nullptr;
}

mvtreelistnode* MVLogBaseList::GetLeaf(const char* path) const
{
	if (path == nullptr)
		return nullptr;
	MVPathSplitter splitter(path);
	std::string_view component;
	mvtreelistnode* siblings = fFirst;
	mvtreelistnode* found = nullptr;
	while (splitter.Next(&component)) {
		found = _FindChild(siblings, component);
		if (found == nullptr)
			return nullptr;
		siblings = found->firstChild;
	}
	return found;
}

mvtreelistnode* MVLogBaseList::AddFullPath(const char* path)
{
	if (path == nullptr)
		return nullptr;
	MVPathSplitter splitter(path);
	std::string_view component;
	mvtreelistnode* parent = nullptr;
	mvtreelistnode* node = nullptr;
	while (splitter.Next(&component)) {
		mvtreelistnode* siblings = parent != nullptr ? parent->firstChild : fFirst;
		node = _FindChild(siblings, component);
		if (node == nullptr) {
			std::string soFar(splitter.Consumed());
			MVTreeEntryLog* entry = CreateEntry(soFar.c_str());
			if (entry == nullptr)
				return nullptr;
			if (entry->Name()[0] == '\0') {
				FreeEntry(entry);
				return nullptr;
			}
			node = _NewNode(entry);
			_Links().LinkLast(parent, node);
		}
		parent = node;
	}
	return node;
}

void MVLogBaseList::InsertData(mvtreelistnode* node, const char* path, int32 reserved)
{
	(void)reserved;
	BMessage reply;
	if (node == nullptr
		|| QueryCatalogueRegistry(fRegistry, path, kLogReadSubtree, &reply) != B_OK)
		return;
	_FreeChildren(node);

	// The answer lists the subtree in pre-order; only the differences of
	// the levels matter. A level that climbs above the folder's children
	// is held at their level, so a damaged answer cannot leave the folder.
	mvtreelistnode* previous = nullptr;
	int32 previousLevel = -1;
	MVLogEntryData data;
	for (int32 element = 0; data.SetFromReply(reply, element); element++) {
		mvtreelistnode* added = _NewNode(CreateEntry(data, nullptr));
		if (previous == nullptr)
			_Links().LinkFirstChild(node, added);
		else if (data.level > previousLevel)
			_Links().LinkFirstChild(previous, added);
		else {
			mvtreelistnode* sibling = previous;
			for (int32 up = previousLevel - data.level; up > 0 && sibling->parent != node; up--)
				sibling = sibling->parent;
			_Links().LinkAfter(sibling, added);
		}
		previous = added;
		previousLevel = data.level;
	}
}

// #pragma mark - hooks

MVTreeEntryLog* MVLogBaseList::CreateEntry(const char* path)
{
	MVTreeEntryLog* entry = new MVTreeEntryLog(fRegistry);
	(void)entry->SetTo(path);
	return entry;
}

MVTreeEntryLog* MVLogBaseList::CreateEntry(const MVLogEntryData& data, const char* redirection)
{
	return new MVTreeEntryLog(fRegistry, data, redirection);
}

void MVLogBaseList::FreeEntry(MVTreeEntry* entry)
{
	delete entry;
}

// #pragma mark - nodes

mvtreelistnode* MVLogBaseList::_NewNode(MVTreeEntryLog* entry)
{
	mvtreelistnode* node = new mvtreelistnode;
	node->entry = entry;
	fCount++;
	return node;
}

MVTreeListNodeLinks MVLogBaseList::_Links()
{
	return MVTreeListNodeLinks(MVTreeListNodeAccess{fFirst});
}

void MVLogBaseList::_Unlink(mvtreelistnode* node)
{
	// The cursor must not stay inside a subtree that is released.
	for (const mvtreelistnode* at = fCurrent; at != nullptr; at = at->parent) {
		if (at == node) {
			fCurrent = nullptr;
			break;
		}
	}
	_Links().Unlink(node);
}

void MVLogBaseList::_FreeChildren(mvtreelistnode* node)
{
	while (node->firstChild != nullptr) {
		mvtreelistnode* child = node->firstChild;
		_Unlink(child);
		_FreeSubtree(child);
	}
}

void MVLogBaseList::_FreeSubtree(mvtreelistnode* node)
{
	// Iterative, so that a deep tree cannot exhaust the stack.
	std::vector<mvtreelistnode*> pending{node};
	while (!pending.empty()) {
		mvtreelistnode* at = pending.back();
		pending.pop_back();
		for (mvtreelistnode* child = at->firstChild; child != nullptr; child = child->next)
			pending.push_back(child);
		FreeEntry(at->entry);
		delete at;
		fCount--;
	}
}

void MVLogBaseList::_MakeEmpty()
{
	while (fFirst != nullptr) {
		mvtreelistnode* node = fFirst;
		_Unlink(node);
		_FreeSubtree(node);
	}
	fCurrent = nullptr;
	fCount = 0;
}
