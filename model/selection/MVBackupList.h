#pragma once

// MVBackupList: the tree of entries a backup covers, built from a selection
// message on the live file systems. Its depth-first pre-order is the order
// of the entries in the backup: the top level holds one node per volume
// (the first path component; "boot" for the boot volume, whichever of its
// names a line uses), every folder
// precedes its contents, and the entries of a listed folder keep the order
// the folder lists them in. Symbolic links are never followed.
//
// Ownership and lifetime: the list owns every node, linked or not. Nodes
// are named by NodeId handles that stay valid until the node is freed; a
// freed handle may be reused by a later node. A node keeps only its leaf
// name: its path is that of the place it is linked at, and the entry_ref
// the Find calls return is made for the cursor node and stays valid until
// the next call that moves the cursor or changes the tree.
//
// None of the calls reports errors: entries that cannot be read are skipped
// or given size and time 0. Not thread-safe, not even for const calls
// (lookups build their indices lazily); one thread at a time.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <app/Message.h>
#include <storage/EntryRef.h>

#include "MVTreeListPos.h"
#include "TreeLinks.h"

class MVBackupList {
public:
	using NodeId = uint32;
	static constexpr NodeId kNoNode = 0;

	MVBackupList();
	~MVBackupList();
	MVBackupList(const MVBackupList&) = delete;
	MVBackupList& operator=(const MVBackupList&) = delete;

	// Rebuilds the tree from the "SELECTION" lines of selection, applied in
	// order, and puts the cursor on the first node.
	void SetTo(const BMessage* selection);
	// Drops what an incremental or differential backup need not save: every
	// node without children whose modification time is earlier than
	// archiveTime, including folders that lose their last child this way.
	// Puts the cursor on the first node.
	void SetFilter(int32 archiveTime);

	bool IsEmpty() const { return fFirst == kNoNode; }
	// Every node, path components included.
	int32 CountItems() const { return fCount; }

	// Pre-order iteration; the cursor node's ref, or null at the end.
	const entry_ref* FindFirst();
	const entry_ref* FindNext();
	const entry_ref* FindCurrent();
	// The cursor node's depth (0 on the top level), -1 without a cursor.
	int32 OutlineLevel() const;
	// Size and modification time of the cursor node; 0 without a cursor.
	// The time is when the entry last changed: the later of its content's
	// modification and its status change, so that a file moved in with an
	// old modification time, or given new permissions or attributes, counts
	// as changed.
	int64 GetSize() const;
	int32 GetModificationTime() const;

	// Tree building blocks.
	//
	// Finds or creates the nodes of every component of an absolute path,
	// each new one with the modification time of its entry and size 0, and
	// returns the last; kNoNode for a path without components.
	NodeId AddFullPath(const char* path);
	// The node of a path, or kNoNode when a component is missing.
	NodeId GetLeaf(const char* path) const;
	// Replaces the node's children with the contents of its folder, read
	// recursively; nothing when the node is not a readable folder.
	void InsertAllSubDirs(NodeId node);
	// Links node relative to reference (see MVTreeListPos), unlinking it
	// from where it was first. False when nothing was linked: an unknown
	// node, a position above 3, or a reference inside node's own subtree.
	bool AddEntry(NodeId reference, NodeId node, int32 position);
	// Unlinks node with its subtree; the list keeps them until freed.
	void RemoveEntry(NodeId node);
	// A new unlinked node named after ref's leaf, size and time 0; kNoNode
	// for a ref without a usable leaf name.
	NodeId CreateEntry(const entry_ref* ref);
	// Unlinks and frees node with its subtree.
	void FreeEntry(NodeId node);
	// Frees node and the siblings after it, with their subtrees;
	// FreeList(First()) empties the tree.
	void FreeList(NodeId node);
	void MakeEmpty();

	// Node access; kNoNode, null or 0 for an unknown node.
	NodeId First() const { return fFirst; }
	NodeId Current() const { return fCurrent; }
	NodeId Parent(NodeId node) const;
	NodeId FirstChild(NodeId node) const;
	NodeId NextSibling(NodeId node) const;
	NodeId PreviousSibling(NodeId node) const;
	const char* Name(NodeId node) const;
	int64 Size(NodeId node) const;
	int32 ModificationTime(NodeId node) const;
	void SetSize(NodeId node, int64 size);
	void SetModificationTime(NodeId node, int32 time);
	// The node's system path as the place it is linked at gives it.
	[[nodiscard]] status_t GetRef(NodeId node, entry_ref* ref) const;

private:
	// Exactly 32 bytes: links are pool indices and the name lives in the
	// name pool, so that a large tree costs little more than its names.
	struct Node {
		int64 size;
		int32 modificationTime;
		uint32 name;            // offset in the name pool; kFreeName when free
		NodeId previous;        // a first child's previous is its last sibling
		NodeId next;
		NodeId parent;
		NodeId firstChild;
	};
	static_assert(sizeof(Node) == 32);

	// Hash set of a wide level's nodes by name, so that finding a component
	// among many siblings does not walk them all.
	struct ChildIndex {
		std::vector<NodeId> slots;
		uint32 used = 0;
		uint32 tombstones = 0;
	};

	static constexpr uint32 kFreeName = UINT32_MAX;
	static constexpr uint32 kNodeBlockShift = 12;
	static constexpr uint32 kNodeBlockMask = (1u << kNodeBlockShift) - 1;
	static constexpr uint32 kNameBlockShift = 16;

	bool _IsNode(NodeId node) const;
	Node& _At(NodeId node)
		{ return fNodeBlocks[node >> kNodeBlockShift][node & kNodeBlockMask]; }
	const Node& _At(NodeId node) const
		{ return fNodeBlocks[node >> kNodeBlockShift][node & kNodeBlockMask]; }
	std::string_view _Name(NodeId node) const;
	NodeId _CreateNode(std::string_view name);
	void _FreeNode(NodeId node);
	void _FreeSubtree(NodeId node);
	void _FreeChildren(NodeId node);
	bool _StoreName(std::string_view name, uint32* offset);
	void _CompactNames();

	NodeId _FirstOf(NodeId parent) const
		{ return parent == kNoNode ? fFirst : _At(parent).firstChild; }
	// How TreeLinks reaches the links of the pool; joining and leaving a
	// level keeps the level's name index.
	struct LinkAccess {
		using NodeId = MVBackupList::NodeId;
		static constexpr NodeId kNone = kNoNode;

		MVBackupList& list;

		NodeId& Previous(NodeId node) { return list._At(node).previous; }
		NodeId& Next(NodeId node) { return list._At(node).next; }
		NodeId& Parent(NodeId node) { return list._At(node).parent; }
		NodeId& FirstOf(NodeId parent);
		void Linked(NodeId parent, NodeId node) { list._IndexAdd(parent, node); }
		void Unlinked(NodeId parent, NodeId node) { list._IndexRemove(parent, node); }
	};

	TreeLinks<LinkAccess> _Links();
	bool _IsLinked(NodeId node) const { return _At(node).previous != kNoNode; }
	NodeId _NextPreOrder(NodeId node) const;
	NodeId _NextSkippingChildren(NodeId node) const;
	NodeId _NextPostOrder(NodeId node) const;

	NodeId _FindChild(NodeId parent, std::string_view name) const;
	ChildIndex* _BuildIndex(NodeId parent) const;
	// The index of a parent's children, or null while it has none.
	ChildIndex* _IndexOf(NodeId parent) const;
	void _IndexInsert(ChildIndex* index, NodeId node) const;
	void _IndexAdd(NodeId parent, NodeId node);
	void _IndexRemove(NodeId parent, NodeId node);
	NodeId _AddComponents(std::string_view path, bool create);

	void _Include(const std::string& path, bool directory);
	void _Exclude(const std::string& path);
	void _ListFolder(NodeId folder, std::vector<NodeId>* folders);
	void _AppendPath(NodeId node, std::string* path) const;
	const entry_ref* _CurrentRef();

	std::vector<std::unique_ptr<Node[]>> fNodeBlocks;
	uint32 fNodeSlots = 1;          // slot 0 is kNoNode
	NodeId fFreeNodes = kNoNode;    // freed nodes, chained through next
	std::vector<std::unique_ptr<char[]>> fNameBlocks;
	uint64 fNameEnd = 0;            // the next free offset of the name pool
	uint64 fNameBytesLive = 0;
	mutable std::unordered_map<NodeId, ChildIndex> fIndices;

	NodeId fFirst = kNoNode;
	NodeId fCurrent = kNoNode;
	int32 fCount = 0;
	entry_ref fCurrentRef;
};
