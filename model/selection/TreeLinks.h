#pragma once

// TreeLinks: the links of an ordered tree, for every tree list of the
// models. Each level is a doubly linked list of siblings whose head hangs off
// its parent (or off the tree's top level); the head's "previous" holds the
// level's last node, so that appending is O(1), and a node is linked exactly
// when its "previous" is set. The links do not own the nodes.
//
// Access tells how a tree keeps its nodes:
//   using NodeId;  static constexpr NodeId kNone;
//   NodeId& Previous(NodeId), Next(NodeId), Parent(NodeId)
//   NodeId& FirstOf(NodeId parent)   the head of a level (kNone: the top)
//   void Linked(NodeId parent, NodeId node), Unlinked(NodeId parent,
//   NodeId node)   told after a node joins or leaves a level
// so that trees of pointers and trees of pool indices share one
// implementation. A TreeLinks is a short-lived view; it is as thread-safe as
// the tree it works on.

#include "MVTreeListPos.h"

template<typename Access>
class TreeLinks {
public:
	using NodeId = typename Access::NodeId;
	static constexpr NodeId kNone = Access::kNone;

	explicit TreeLinks(Access access) : fAccess(access) {}

	bool IsLinked(NodeId node) { return fAccess.Previous(node) != kNone; }
	bool IsFirst(NodeId node) { return fAccess.FirstOf(fAccess.Parent(node)) == node; }
	// The sibling before a linked node; kNone for the first of its level.
	NodeId PreviousSibling(NodeId node)
	{
		return IsFirst(node) ? kNone : fAccess.Previous(node);
	}

	// Links node as the last child of parent (kNone: the top level).
	void LinkLast(NodeId parent, NodeId node)
	{
		fAccess.Parent(node) = parent;
		fAccess.Next(node) = kNone;
		NodeId& first = fAccess.FirstOf(parent);
		if (first == kNone) {
			first = node;
			fAccess.Previous(node) = node;
		} else {
			NodeId last = fAccess.Previous(first);
			fAccess.Next(last) = node;
			fAccess.Previous(node) = last;
			fAccess.Previous(first) = node;
		}
		fAccess.Linked(parent, node);
	}

	// Links node as the first child of parent.
	void LinkFirstChild(NodeId parent, NodeId node)
	{
		NodeId first = fAccess.FirstOf(parent);
		if (first == kNone)
			LinkLast(parent, node);
		else
			LinkBefore(first, node);
	}

	// Links node right before a linked reference.
	void LinkBefore(NodeId reference, NodeId node)
	{
		NodeId parent = fAccess.Parent(reference);
		NodeId previous = fAccess.Previous(reference);
		fAccess.Parent(node) = parent;
		fAccess.Next(node) = reference;
		fAccess.Previous(node) = previous;
		NodeId& first = fAccess.FirstOf(parent);
		if (first == reference)
			first = node;
		else
			fAccess.Next(previous) = node;
		fAccess.Previous(reference) = node;
		fAccess.Linked(parent, node);
	}

	// Links node right after a linked reference.
	void LinkAfter(NodeId reference, NodeId node)
	{
		NodeId parent = fAccess.Parent(reference);
		NodeId next = fAccess.Next(reference);
		fAccess.Parent(node) = parent;
		fAccess.Previous(node) = reference;
		fAccess.Next(node) = next;
		fAccess.Next(reference) = node;
		if (next != kNone)
			fAccess.Previous(next) = node;
		else
			fAccess.Previous(fAccess.FirstOf(parent)) = node;
		fAccess.Linked(parent, node);
	}

	// Links an unlinked node at a position of a reference (MVTreeListPos):
	// after or before a linked reference, as its first child, or in its
	// place with the reference as the node's first child.
	void LinkAt(NodeId reference, NodeId node, MVTreeListPos position)
	{
		switch (position) {
			case kTreeListAfter:
				LinkAfter(reference, node);
				break;
			case kTreeListBefore:
				LinkBefore(reference, node);
				break;
			case kTreeListFirstChild:
				LinkFirstChild(reference, node);
				break;
			case kTreeListParent:
				LinkBefore(reference, node);
				Unlink(reference);
				LinkFirstChild(node, reference);
				break;
		}
	}

	// Takes node with its subtree out of its level; its own links are
	// cleared. Nothing happens to a node that is not linked.
	void Unlink(NodeId node)
	{
		if (!IsLinked(node))
			return;
		NodeId parent = fAccess.Parent(node);
		NodeId previous = fAccess.Previous(node);
		NodeId next = fAccess.Next(node);
		NodeId& first = fAccess.FirstOf(parent);
		fAccess.Unlinked(parent, node);
		if (first == node) {
			if (next != kNone)
				fAccess.Previous(next) = previous;
			first = next;
		} else {
			fAccess.Next(previous) = next;
			if (next != kNone)
				fAccess.Previous(next) = previous;
			else
				fAccess.Previous(first) = previous;
		}
		fAccess.Previous(node) = kNone;
		fAccess.Next(node) = kNone;
		fAccess.Parent(node) = kNone;
	}

	// Whether node is root or lies below it.
	bool IsInSubtree(NodeId node, NodeId root)
	{
		for (; node != kNone; node = fAccess.Parent(node)) {
			if (node == root)
				return true;
		}
		return false;
	}

private:
	Access fAccess;
};
