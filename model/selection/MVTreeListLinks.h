#pragma once

// The links of mvtreelistnode trees, shared by the lists built on them.
// A level is a doubly linked list; its first node hangs off its parent's
// firstChild, or off *first, the list's top level. Nodes are not owned.

#include "MVTreeListNode.h"

namespace MVTreeListLinks {

// Links node as the last child of parent (the top level when null).
void LinkLast(mvtreelistnode** first, mvtreelistnode* parent, mvtreelistnode* node);
// Links node as the first child of parent.
void LinkFirstChild(mvtreelistnode* parent, mvtreelistnode* node);
void LinkBefore(mvtreelistnode** first, mvtreelistnode* reference, mvtreelistnode* node);
void LinkAfter(mvtreelistnode* reference, mvtreelistnode* node);
// Takes node with its subtree out of its level; its own links are cleared.
void Unlink(mvtreelistnode** first, mvtreelistnode* node);

}	// namespace MVTreeListLinks
