#pragma once

#include "TreeLinks.h"

class MVTreeEntry;

// One node of an MVTreeList or MVLogBaseList. The list allocates nodes and
// owns them with their entries. The links follow TreeLinks: a level's first
// node has the level's last one as previous, the other ends are null, and
// so is the top level's parent.
struct mvtreelistnode {
	MVTreeEntry* entry = nullptr;
	mvtreelistnode* previous = nullptr;
	mvtreelistnode* next = nullptr;
	mvtreelistnode* parent = nullptr;
	mvtreelistnode* firstChild = nullptr;
};

// How TreeLinks reaches the links of a tree of mvtreelistnode, whose top
// level hangs off first.
struct MVTreeListNodeAccess {
	using NodeId = mvtreelistnode*;
	static constexpr NodeId kNone = nullptr;

	mvtreelistnode*& first;

	NodeId& Previous(NodeId node) { return node->previous; }
	NodeId& Next(NodeId node) { return node->next; }
	NodeId& Parent(NodeId node) { return node->parent; }
	NodeId& FirstOf(NodeId parent) { return parent != nullptr ? parent->firstChild : first; }
	void Linked(NodeId, NodeId) {}
	void Unlinked(NodeId, NodeId) {}
};

using MVTreeListNodeLinks = TreeLinks<MVTreeListNodeAccess>;
