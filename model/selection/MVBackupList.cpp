#include "MVBackupList.h"

#include <algorithm>
#include <sys/stat.h>

#include <climits>
#include <cstring>

#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/VolumeTable.h>

#include "MVPathSplitter.h"
#include "MVSelection.h"

namespace {

constexpr uint32 kNameBlockSize = 1u << 16;
constexpr size_t kMaxNameLength = 255;
// Levels up to this width are searched by walking them; wider ones get an
// index, so that many lines naming entries of one big folder stay linear.
constexpr int32 kLinearSearchLimit = 32;
constexpr uint64 kCompactThreshold = 1u << 20;
constexpr uint32 kTombstone = UINT32_MAX;

int32 ClampTime(time_t time)
{
	if (time < INT32_MIN)
		return INT32_MIN;
	if (time > INT32_MAX)
		return INT32_MAX;
	return static_cast<int32>(time);
}


// When an entry last changed: its content, or its status (permissions,
// owner, attributes, links, and the move that brought it here, which
// keeps an old modification time).
int32 ChangeTimeOf(const struct stat& status)
{
	return ClampTime(std::max(status.st_mtime, status.st_ctime));
}


uint32 HashName(std::string_view name)
{
	uint32 hash = 2166136261u;
	for (unsigned char character : name) {
		hash ^= character;
		hash *= 16777619u;
	}
	return hash;
}


bool IsFolder(const struct stat& status)
{
	return (status.st_mode & S_IFMT) == S_IFDIR;
}


// The boot volume is reached both as "/boot" and by its name; lines using
// either name must meet in one node, or its files would be saved twice and
// an exclusion by the other name would miss them.
std::string CanonicalPath(const std::string& path)
{
	VolumeTable::Location location;
	if (VolumeTable::Locate(path.c_str(), &location) != B_OK || location.IsRoot())
		return path;
	return location.canonicalPath;
}

}	// namespace


MVBackupList::MVBackupList() = default;
MVBackupList::~MVBackupList() = default;


// #pragma mark - Selection


void MVBackupList::SetTo(const BMessage* selection)
{
	MakeEmpty();
	MVSelection lines(selection);
	while (lines.NextLine()) {
		std::string path = CanonicalPath(lines.Path());
		if (lines.IsLineInclude())
			_Include(path, lines.IsLineDirectory());
		else
			_Exclude(path);
	}
	FindFirst();
}


void MVBackupList::_Include(const std::string& path, bool directory)
{
	BEntry entry;
	struct stat status;
	if (entry.SetTo(path.c_str()) != B_OK || entry.GetStat(&status) != B_OK)
		return;
	NodeId node = AddFullPath(path.c_str());
	if (node == kNoNode)
		return;
	if (directory && IsFolder(status))
		InsertAllSubDirs(node);
	else
		_At(node).size = status.st_size;
	_At(node).modificationTime = ChangeTimeOf(status);
}


void MVBackupList::_Exclude(const std::string& path)
{
	NodeId node = GetLeaf(path.c_str());
	if (node != kNoNode)
		_FreeSubtree(node);
}


void MVBackupList::SetFilter(int32 archiveTime)
{
	// Post-order, so that a folder is judged after its children: one left
	// without children and unchanged itself has nothing left to save.
	NodeId node = fFirst;
	while (node != kNoNode && _At(node).firstChild != kNoNode)
		node = _At(node).firstChild;
	while (node != kNoNode) {
		NodeId following = _NextPostOrder(node);
		const Node& current = _At(node);
		if (current.firstChild == kNoNode && current.modificationTime < archiveTime)
			_FreeSubtree(node);
		node = following;
	}
	FindFirst();
}


// #pragma mark - Iteration


const entry_ref* MVBackupList::FindFirst()
{
	fCurrent = fFirst;
	return _CurrentRef();
}


const entry_ref* MVBackupList::FindNext()
{
	if (fCurrent != kNoNode)
		fCurrent = _NextPreOrder(fCurrent);
	return _CurrentRef();
}


const entry_ref* MVBackupList::FindCurrent()
{
	return _CurrentRef();
}


int32 MVBackupList::OutlineLevel() const
{
	if (fCurrent == kNoNode)
		return -1;
	int32 level = 0;
	for (NodeId node = _At(fCurrent).parent; node != kNoNode; node = _At(node).parent)
		level++;
	return level;
}


int64 MVBackupList::GetSize() const
{
	return fCurrent != kNoNode ? _At(fCurrent).size : 0;
}


int32 MVBackupList::GetModificationTime() const
{
	return fCurrent != kNoNode ? _At(fCurrent).modificationTime : 0;
}


const entry_ref* MVBackupList::_CurrentRef()
{
	if (fCurrent == kNoNode)
		return nullptr;
	fCurrentRef.path.clear();
	_AppendPath(fCurrent, &fCurrentRef.path);
	return &fCurrentRef;
}


MVBackupList::NodeId MVBackupList::_NextPreOrder(NodeId node) const
{
	if (_At(node).firstChild != kNoNode)
		return _At(node).firstChild;
	return _NextSkippingChildren(node);
}


MVBackupList::NodeId MVBackupList::_NextSkippingChildren(NodeId node) const
{
	for (; node != kNoNode; node = _At(node).parent) {
		if (_At(node).next != kNoNode)
			return _At(node).next;
	}
	return kNoNode;
}


MVBackupList::NodeId MVBackupList::_NextPostOrder(NodeId node) const
{
	NodeId next = _At(node).next;
	if (next == kNoNode)
		return _At(node).parent;
	while (_At(next).firstChild != kNoNode)
		next = _At(next).firstChild;
	return next;
}


// #pragma mark - Building blocks


MVBackupList::NodeId MVBackupList::AddFullPath(const char* path)
{
	std::string normalized;
	if (path == nullptr || VolumeTable::Normalize(path, &normalized) != B_OK)
		return kNoNode;
	MVPathSplitter components(normalized);
	std::string_view component;
	NodeId parent = kNoNode;
	NodeId node = kNoNode;
	bool created = false;
	while (components.Next(&component)) {
		// Below a node made just now there is nothing to find.
		node = created ? kNoNode : _FindChild(parent, component);
		if (node == kNoNode) {
			node = _CreateNode(component);
			if (node == kNoNode)
				return kNoNode;
			BEntry entry(std::string(components.Consumed()).c_str());
			struct stat status;
			if (entry.GetStat(&status) == B_OK)
				_At(node).modificationTime = ChangeTimeOf(status);
			_Links().LinkLast(parent, node);
			created = true;
		}
		parent = node;
	}
	return node;
}


MVBackupList::NodeId MVBackupList::GetLeaf(const char* path) const
{
	std::string normalized;
	if (path == nullptr || VolumeTable::Normalize(path, &normalized) != B_OK)
		return kNoNode;
	MVPathSplitter components(normalized);
	std::string_view component;
	NodeId node = kNoNode;
	while (components.Next(&component)) {
		node = _FindChild(node, component);
		if (node == kNoNode)
			return kNoNode;
	}
	return node;
}


void MVBackupList::InsertAllSubDirs(NodeId node)
{
	if (!_IsNode(node))
		return;
	_FreeChildren(node);
	std::string path;
	_AppendPath(node, &path);
	BEntry entry;
	struct stat status;
	if (entry.SetTo(path.c_str()) != B_OK || entry.GetStat(&status) != B_OK
		|| !IsFolder(status)) {
		return;
	}
	// Folders still to be listed; a stack rather than recursion, so that a
	// deep tree cannot exhaust the thread's stack, and one folder open at
	// a time.
	std::vector<NodeId> folders{node};
	while (!folders.empty()) {
		NodeId folder = folders.back();
		folders.pop_back();
		_ListFolder(folder, &folders);
	}
}


void MVBackupList::_ListFolder(NodeId folder, std::vector<NodeId>* folders)
{
	std::string path;
	_AppendPath(folder, &path);
	BDirectory directory;
	if (directory.SetTo(path.c_str()) != B_OK)
		return;
	bool listsVolumes = directory.IsRootDirectory();
	alignas(struct dirent) char buffer[16384];
	std::string childPath;
	BEntry entry;
	for (;;) {
		int32 count = directory.GetNextDirents(reinterpret_cast<struct dirent*>(buffer),
			sizeof(buffer));
		if (count <= 0)
			return;
		const char* record = buffer;
		for (int32 index = 0; index < count; index++) {
			const struct dirent* child = reinterpret_cast<const struct dirent*>(record);
			record += child->d_reclen;
			NodeId node = _CreateNode(child->d_name);
			if (node == kNoNode)
				continue;
			_Links().LinkLast(folder, node);
			// One look through the open folder; the list of volumes is no
			// folder, and its entries are looked at by their paths.
			childPath.assign(path).append("/").append(child->d_name);
			struct stat status;
			status_t found = listsVolumes ? entry.SetTo(childPath.c_str())
				: directory.GetStatAt(child->d_name, &status);
			if (found == B_OK && listsVolumes)
				found = entry.GetStat(&status);
			if (found != B_OK)
				continue;
			_At(node).size = status.st_size;
			_At(node).modificationTime = ChangeTimeOf(status);
			if (!IsFolder(status))
				continue;
			// Another file system mounted here is not walked into: it is a
			// volume of its own, or a pseudo file system such as /proc.
			if ((listsVolumes || entry.SetTo(childPath.c_str()) == B_OK)
				&& !entry.IsMountPoint())
				folders->push_back(node);
		}
	}
}


bool MVBackupList::AddEntry(NodeId reference, NodeId node, int32 position)
{
	if (!_IsNode(node) || position < kTreeListAfter || position > kTreeListParent)
		return false;
	if (reference == kNoNode) {
		_Links().Unlink(node);
		_Links().LinkFirstChild(kNoNode, node);
		return true;
	}
	if (!_IsNode(reference) || _Links().IsInSubtree(reference, node))
		return false;
	// Only a child can be given to a node that is not in the tree.
	if (position != kTreeListFirstChild && !_IsLinked(reference))
		return false;
	_Links().Unlink(node);
	_Links().LinkAt(reference, node, MVTreeListPos(position));
	return true;
}


void MVBackupList::RemoveEntry(NodeId node)
{
	if (!_IsNode(node))
		return;
	if (fCurrent != kNoNode && _Links().IsInSubtree(fCurrent, node))
		fCurrent = kNoNode;
	_Links().Unlink(node);
}


MVBackupList::NodeId MVBackupList::CreateEntry(const entry_ref* ref)
{
	if (ref == nullptr)
		return kNoNode;
	return _CreateNode(ref->name());
}


void MVBackupList::FreeEntry(NodeId node)
{
	if (_IsNode(node))
		_FreeSubtree(node);
}


void MVBackupList::FreeList(NodeId node)
{
	if (!_IsNode(node))
		return;
	while (node != kNoNode) {
		NodeId next = _At(node).next;
		_FreeSubtree(node);
		node = next;
	}
}


void MVBackupList::MakeEmpty()
{
	fNodeBlocks.clear();
	fNodeSlots = 1;
	fFreeNodes = kNoNode;
	fNameBlocks.clear();
	fNameEnd = 0;
	fNameBytesLive = 0;
	fIndices.clear();
	fFirst = kNoNode;
	fCurrent = kNoNode;
	fCount = 0;
	fCurrentRef.path.clear();
}


// #pragma mark - Node access


MVBackupList::NodeId MVBackupList::Parent(NodeId node) const
{
	return _IsNode(node) ? _At(node).parent : kNoNode;
}


MVBackupList::NodeId MVBackupList::FirstChild(NodeId node) const
{
	return _IsNode(node) ? _At(node).firstChild : kNoNode;
}


MVBackupList::NodeId MVBackupList::NextSibling(NodeId node) const
{
	return _IsNode(node) ? _At(node).next : kNoNode;
}


MVBackupList::NodeId MVBackupList::PreviousSibling(NodeId node) const
{
	if (!_IsNode(node) || !_IsLinked(node) || _FirstOf(_At(node).parent) == node)
		return kNoNode;
	return _At(node).previous;
}


const char* MVBackupList::Name(NodeId node) const
{
	return _IsNode(node) ? _Name(node).data() : nullptr;
}


int64 MVBackupList::Size(NodeId node) const
{
	return _IsNode(node) ? _At(node).size : 0;
}


int32 MVBackupList::ModificationTime(NodeId node) const
{
	return _IsNode(node) ? _At(node).modificationTime : 0;
}


void MVBackupList::SetSize(NodeId node, int64 size)
{
	if (_IsNode(node))
		_At(node).size = size;
}


void MVBackupList::SetModificationTime(NodeId node, int32 time)
{
	if (_IsNode(node))
		_At(node).modificationTime = time;
}


status_t MVBackupList::GetRef(NodeId node, entry_ref* ref) const
{
	if (ref == nullptr || !_IsNode(node))
		return B_BAD_VALUE;
	ref->path.clear();
	_AppendPath(node, &ref->path);
	return B_OK;
}


void MVBackupList::_AppendPath(NodeId node, std::string* path) const
{
	NodeId chain[64];
	std::vector<NodeId> deepChain;
	int32 depth = 0;
	for (; node != kNoNode; node = _At(node).parent) {
		if (depth < 64)
			chain[depth] = node;
		else
			deepChain.push_back(node);
		depth++;
	}
	for (int32 index = depth - 1; index >= 0; index--) {
		NodeId component = index < 64 ? chain[index] : deepChain[index - 64];
		path->append("/").append(_Name(component));
	}
}


// #pragma mark - Node pool


bool MVBackupList::_IsNode(NodeId node) const
{
	return node != kNoNode && node < fNodeSlots && _At(node).name != kFreeName;
}


std::string_view MVBackupList::_Name(NodeId node) const
{
	uint32 offset = _At(node).name;
	return fNameBlocks[offset >> kNameBlockShift].get() + (offset & (kNameBlockSize - 1));
}


MVBackupList::NodeId MVBackupList::_CreateNode(std::string_view name)
{
	if (name.empty() || name.size() > kMaxNameLength || name.find('/') != name.npos
		|| name.find('\0') != name.npos || fCount == INT32_MAX) {
		return kNoNode;
	}
	uint32 nameOffset;
	if (!_StoreName(name, &nameOffset))
		return kNoNode;
	NodeId node = fFreeNodes;
	if (node != kNoNode) {
		fFreeNodes = _At(node).next;
	} else {
		if ((fNodeSlots >> kNodeBlockShift) >= fNodeBlocks.size())
			fNodeBlocks.push_back(std::make_unique<Node[]>(size_t(1) << kNodeBlockShift));
		node = fNodeSlots++;
	}
	_At(node) = Node{0, 0, nameOffset, kNoNode, kNoNode, kNoNode, kNoNode};
	fCount++;
	return node;
}


void MVBackupList::_FreeNode(NodeId node)
{
	Node& freed = _At(node);
	fNameBytesLive -= _Name(node).size() + 1;
	if (!fIndices.empty())
		fIndices.erase(node);
	if (fCurrent == node)
		fCurrent = kNoNode;
	freed = Node{0, 0, kFreeName, kNoNode, fFreeNodes, kNoNode, kNoNode};
	fFreeNodes = node;
	fCount--;
}


void MVBackupList::_FreeSubtree(NodeId root)
{
	_Links().Unlink(root);
	// Frees leaves first, walking the links, so that any depth works
	// without recursion.
	NodeId node = root;
	for (;;) {
		while (_At(node).firstChild != kNoNode)
			node = _At(node).firstChild;
		if (node == root) {
			_FreeNode(node);
			break;
		}
		NodeId next = _At(node).next;
		NodeId parent = _At(node).parent;
		_FreeNode(node);
		if (next != kNoNode) {
			node = next;
		} else {
			_At(parent).firstChild = kNoNode;
			node = parent;
		}
	}
	uint64 dead = fNameEnd - fNameBytesLive;
	if (dead > kCompactThreshold && dead > fNameBytesLive)
		_CompactNames();
}


void MVBackupList::_FreeChildren(NodeId node)
{
	if (!fIndices.empty())
		fIndices.erase(node);
	NodeId child = _At(node).firstChild;
	_At(node).firstChild = kNoNode;
	while (child != kNoNode) {
		NodeId next = _At(child).next;
		// Detached already: the folder no longer points at its children.
		_At(child).previous = kNoNode;
		_At(child).next = kNoNode;
		_At(child).parent = kNoNode;
		_FreeSubtree(child);
		child = next;
	}
}


bool MVBackupList::_StoreName(std::string_view name, uint32* offset)
{
	size_t size = name.size() + 1;
	uint64 within = fNameEnd & (kNameBlockSize - 1);
	if (within + size > kNameBlockSize)
		fNameEnd += kNameBlockSize - within;
	if (fNameEnd + size >= kFreeName)
		return false;
	size_t block = fNameEnd >> kNameBlockShift;
	if (block >= fNameBlocks.size())
		fNameBlocks.push_back(std::make_unique<char[]>(kNameBlockSize));
	char* target = fNameBlocks[block].get() + (fNameEnd & (kNameBlockSize - 1));
	memcpy(target, name.data(), name.size());
	target[name.size()] = '\0';
	*offset = static_cast<uint32>(fNameEnd);
	fNameEnd += size;
	fNameBytesLive += size;
	return true;
}


void MVBackupList::_CompactNames()
{
	std::vector<std::unique_ptr<char[]>> oldBlocks;
	oldBlocks.swap(fNameBlocks);
	fNameEnd = 0;
	fNameBytesLive = 0;
	for (NodeId node = 1; node < fNodeSlots; node++) {
		Node& current = _At(node);
		if (current.name == kFreeName)
			continue;
		const char* name = oldBlocks[current.name >> kNameBlockShift].get()
			+ (current.name & (kNameBlockSize - 1));
		// Never fails: the live names fitted before.
		(void)_StoreName(name, &current.name);
	}
}


// #pragma mark - Links


MVBackupList::NodeId& MVBackupList::LinkAccess::FirstOf(NodeId parent)
{
	return parent == kNoNode ? list.fFirst : list._At(parent).firstChild;
}


TreeLinks<MVBackupList::LinkAccess> MVBackupList::_Links()
{
	return TreeLinks<LinkAccess>(LinkAccess{*this});
}


// #pragma mark - Name lookup


MVBackupList::NodeId MVBackupList::_FindChild(NodeId parent, std::string_view name) const
{
	ChildIndex* index = _IndexOf(parent);
	if (index == nullptr) {
		NodeId node = _FirstOf(parent);
		for (int32 step = 0; node != kNoNode && step < kLinearSearchLimit; step++) {
			if (_Name(node) == name)
				return node;
			node = _At(node).next;
		}
		if (node == kNoNode)
			return kNoNode;
		index = _BuildIndex(parent);
	}
	uint32 mask = static_cast<uint32>(index->slots.size() - 1);
	for (uint32 slot = HashName(name) & mask;; slot = (slot + 1) & mask) {
		NodeId candidate = index->slots[slot];
		if (candidate == kNoNode)
			return kNoNode;
		if (candidate != kTombstone && _Name(candidate) == name)
			return candidate;
	}
}


MVBackupList::ChildIndex* MVBackupList::_BuildIndex(NodeId parent) const
{
	uint32 count = 0;
	for (NodeId node = _FirstOf(parent); node != kNoNode; node = _At(node).next)
		count++;
	size_t size = 64;
	while (size < size_t(count) * 4)
		size *= 2;
	ChildIndex& index = fIndices[parent];
	index.slots.assign(size, kNoNode);
	index.used = 0;
	index.tombstones = 0;
	for (NodeId node = _FirstOf(parent); node != kNoNode; node = _At(node).next)
		_IndexInsert(&index, node);
	return &index;
}


void MVBackupList::_IndexInsert(ChildIndex* index, NodeId node) const
{
	uint32 mask = static_cast<uint32>(index->slots.size() - 1);
	uint32 slot = HashName(_Name(node)) & mask;
	while (index->slots[slot] != kNoNode && index->slots[slot] != kTombstone)
		slot = (slot + 1) & mask;
	if (index->slots[slot] == kTombstone)
		index->tombstones--;
	index->slots[slot] = node;
	index->used++;
}


MVBackupList::ChildIndex* MVBackupList::_IndexOf(NodeId parent) const
{
	if (fIndices.empty())
		return nullptr;
	auto found = fIndices.find(parent);
	return found != fIndices.end() ? &found->second : nullptr;
}


void MVBackupList::_IndexAdd(NodeId parent, NodeId node)
{
	ChildIndex* found = _IndexOf(parent);
	if (found == nullptr)
		return;
	ChildIndex& index = *found;
	// Rebuilding at half load keeps probes short; the node is linked
	// already, so the rebuilt index holds it.
	if ((size_t(index.used) + index.tombstones + 1) * 2 > index.slots.size()) {
		_BuildIndex(parent);
		return;
	}
	_IndexInsert(&index, node);
}


void MVBackupList::_IndexRemove(NodeId parent, NodeId node)
{
	ChildIndex* found = _IndexOf(parent);
	if (found == nullptr)
		return;
	ChildIndex& index = *found;
	uint32 mask = static_cast<uint32>(index.slots.size() - 1);
	for (uint32 slot = HashName(_Name(node)) & mask;; slot = (slot + 1) & mask) {
		if (index.slots[slot] == kNoNode)
			return;
		if (index.slots[slot] == node) {
			index.slots[slot] = kTombstone;
			index.used--;
			index.tombstones++;
			return;
		}
	}
}
