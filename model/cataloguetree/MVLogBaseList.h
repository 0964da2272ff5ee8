#pragma once

// MVLogBaseList: the catalogue tree of a restore job. SetTo() builds it from
// the job's selection message: every include line asks the catalogue
// registry for the path's entry (and, for a folder line, everything below
// it), exclude lines remove subtrees, and the redirection lines of the same
// message give nodes the folder they are restored into. The engine then
// walks the tree in pre-order with the cursor (FindFirst, FindNext).
//
// Levels: a top-level node is a backup (named after its catalogue file),
// level 1 a volume root, level 2 and deeper the items inside the volume.
//
// Ownership: the list owns every node and entry and releases them through
// FreeEntry(). Threads: one thread; the registry queries block it, so the
// list must never be built on the registry's own thread.

#include <functional>
#include <string>

#include <app/Message.h>
#include <app/Messenger.h>

#include "MVTreeEntryLog.h"
#include "MVTreeListNode.h"

class MVLogBaseList {
public:
	explicit MVLogBaseList(const BMessenger& registry, const BMessage* selection = nullptr);
	virtual ~MVLogBaseList();
	MVLogBaseList(const MVLogBaseList&) = delete;
	MVLogBaseList& operator=(const MVLogBaseList&) = delete;

	// Rebuilds the tree from the selection and redirection lines; null
	// leaves it empty.
	void SetTo(const BMessage* selection);

	// Pre-order walk; each returns the cursor's entry, or null.
	MVTreeEntryLog* FindFirst();
	MVTreeEntryLog* FindNext();
	MVTreeEntryLog* FindCurrent() const;
	// Ancestors of the cursor node (0 on the top level), -1 without one.
	int32 OutlineLevel() const;
	// The top-level ancestor of the cursor (the cursor itself on the top
	// level): the backup the current item belongs to. Null without cursor.
	MVTreeEntryLog* CurrentBackup() const;

	// The edits SetTo() applies.
	void InsertLine(const char* path, bool isDirectory);
	void RemoveLine(const char* path);
	void InsertRedirection(const char* source, const char* target, bool recursive);
	void RemoveRedirection(const char* source, bool recursive);

	// Building blocks. GetLeaf finds the node of a catalogue path, or null.
	// AddFullPath finds or creates the nodes of every component and returns
	// the last; a component the registry does not know ends the walk with
	// null, so unknown paths leave nothing behind. InsertData replaces the
	// children of node with the registry's listing of path.
	mvtreelistnode* GetLeaf(const char* path) const;
	mvtreelistnode* AddFullPath(const char* path);
	void InsertData(mvtreelistnode* node, const char* path, int32 reserved = 0);

	bool IsEmpty() const { return fFirst == nullptr; }
	int32 CountItems() const { return fCount; }
	mvtreelistnode* First() const { return fFirst; }

	// Calls visit for every entry in pre-order, leaving the cursor alone.
	void ForEach(const std::function<void(const MVTreeEntryLog&)>& visit) const;

protected:
	// The entry of a catalogue path, filled from the registry (its name is
	// empty when the registry does not know the path).
	virtual MVTreeEntryLog* CreateEntry(const char* path);
	// An entry from known fields; redirection may be null.
	virtual MVTreeEntryLog* CreateEntry(const MVLogEntryData& data, const char* redirection);
	virtual void FreeEntry(MVTreeEntry* entry);

private:
	static MVTreeEntryLog* _Entry(const mvtreelistnode* node);
	static mvtreelistnode* _NextInPreOrder(mvtreelistnode* node, const mvtreelistnode* top);
	static int32 _Depth(const mvtreelistnode* node);
	mvtreelistnode* _FindChild(mvtreelistnode* firstSibling, std::string_view name) const;
	mvtreelistnode* _NewNode(MVTreeEntryLog* entry);
	MVTreeListNodeLinks _Links();
	void _Unlink(mvtreelistnode* node);
	void _FreeSubtree(mvtreelistnode* node);
	void _FreeChildren(mvtreelistnode* node);
	void _MakeEmpty();

	BMessenger fRegistry;
	mvtreelistnode* fFirst = nullptr;
	mvtreelistnode* fCurrent = nullptr;
	int32 fCount = 0;
};
