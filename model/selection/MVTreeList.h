#pragma once

// MVTreeList: a tree of MVTreeEntry objects built from selection lines, for
// restore and compare, whose entries come from a source other than the live
// file systems. A subclass supplies them through the hooks: CreateEntry
// makes the entry of a name, FreeEntry destroys one, and ScanStart/ScanNext
// list the children of a path when a folder line ("/*") is applied.
//
// Ownership and lifetime: the list owns every node and entry, linked or
// not, and releases entries through FreeEntry. A subclass whose FreeEntry
// differs from deleting the entry calls MakeEmpty() in its own destructor,
// since the base destructor can no longer reach the override. Not
// thread-safe; one thread at a time.

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include <app/Message.h>

#include "MVRecordList.h"
#include "MVTreeEntry.h"
#include "MVTreeListNode.h"
#include "MVTreeListPos.h"

class MVTreeList {
public:
	MVTreeList() = default;
	virtual ~MVTreeList();
	MVTreeList(const MVTreeList&) = delete;
	MVTreeList& operator=(const MVTreeList&) = delete;

	// Rebuilds the tree from the "SELECTION" lines, applied in order, and
	// puts the cursor on the first node.
	void SetTo(const BMessage* selection);

	bool IsEmpty() const { return fFirst == nullptr; }
	int32 CountItems() const { return fCount; }
	// Pre-order iteration; the cursor node's entry, or null at the end.
	MVTreeEntry* FindFirst();
	MVTreeEntry* FindNext();
	MVTreeEntry* FindCurrent() const;
	// The cursor node's depth (0 on the top level), -1 without a cursor.
	int32 OutlineLevel() const;

	// Building blocks.
	//
	// Adds the current line of lines: its path, and for a folder line
	// everything the hooks list below it. The node of the path, or null.
	mvtreelistnode* InsertLine(MVRecordList* lines);
	// Removes the subtree of the current line's path, if it is in the tree.
	void RemoveLine(const MVRecordList* lines);
	// The node of a path, or null when a component is missing.
	mvtreelistnode* GetLeaf(const char* path) const;
	// Finds or creates the nodes of the rest of the current line's path,
	// taking its components with NextLineToken; returns the last one.
	mvtreelistnode* AddFullPath(MVRecordList* lines);
	// Replaces the children of node, the node of path, with what the hooks
	// list below path, recursively for entries that are folders.
	void InsertAllSubDirs(mvtreelistnode* node, const char* path);
	// Links node relative to reference (see MVTreeListPos), unlinking it
	// first. False when nothing was linked: a position above 3 or a
	// reference inside node's own subtree.
	bool AddNode(mvtreelistnode* reference, mvtreelistnode* node, int32 position);
	// Unlinks node with its subtree; the list keeps them until freed.
	void RemoveNode(mvtreelistnode* node);
	// A new unlinked node for the entry CreateEntry makes of name; null
	// when the hook makes none.
	mvtreelistnode* CreateNode(const char* name);
	// Frees node and the siblings after it, with their subtrees and entries.
	void FreeList(mvtreelistnode* node);
	void MakeEmpty();

	mvtreelistnode* First() const { return fFirst; }
	mvtreelistnode* Current() const { return fCurrent; }

protected:
	// Hooks; the defaults make plain entries and list nothing.
	virtual MVTreeEntry* CreateEntry(const char* name);
	virtual void FreeEntry(MVTreeEntry* entry);
	// Starts listing the children of path; false when there is nothing.
	virtual bool ScanStart(const char* path);
	// The next child's name, or null after the last.
	virtual const char* ScanNext();

private:
	mvtreelistnode* _FindChild(mvtreelistnode* parent, const char* name) const;
	MVTreeListNodeLinks _Links();
	bool _IsLinked(mvtreelistnode* node);
	void _FreeSubtree(mvtreelistnode* node);
	void _FreeChildren(mvtreelistnode* node);
	void _ListChildren(mvtreelistnode* folder, const std::string& path,
		std::vector<std::pair<mvtreelistnode*, std::string>>* folders);

	mvtreelistnode* fFirst = nullptr;
	mvtreelistnode* fCurrent = nullptr;
	// Roots of the subtrees that are owned but not in the tree.
	std::unordered_set<mvtreelistnode*> fDetached;
	int32 fCount = 0;
};
