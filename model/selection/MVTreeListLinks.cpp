#include "MVTreeListLinks.h"

namespace MVTreeListLinks {

void LinkLast(mvtreelistnode** first, mvtreelistnode* parent, mvtreelistnode* node)
{
	mvtreelistnode*& head = parent != nullptr ? parent->firstChild : *first;
	node->parent = parent;
	node->next = nullptr;
	node->previous = nullptr;
	if (head == nullptr) {
		head = node;
		return;
	}
	mvtreelistnode* last = head;
	while (last->next != nullptr)
		last = last->next;
	last->next = node;
	node->previous = last;
}

void LinkFirstChild(mvtreelistnode* parent, mvtreelistnode* node)
{
	node->parent = parent;
	node->previous = nullptr;
	node->next = parent->firstChild;
	if (parent->firstChild != nullptr)
		parent->firstChild->previous = node;
	parent->firstChild = node;
}

void LinkBefore(mvtreelistnode** first, mvtreelistnode* reference, mvtreelistnode* node)
{
	node->parent = reference->parent;
	node->next = reference;
	node->previous = reference->previous;
	if (reference->previous != nullptr)
		reference->previous->next = node;
	else if (reference->parent != nullptr)
		reference->parent->firstChild = node;
	else
		*first = node;
	reference->previous = node;
}

void LinkAfter(mvtreelistnode* reference, mvtreelistnode* node)
{
	node->parent = reference->parent;
	node->previous = reference;
	node->next = reference->next;
	if (reference->next != nullptr)
		reference->next->previous = node;
	reference->next = node;
}

void Unlink(mvtreelistnode** first, mvtreelistnode* node)
{
	if (node->previous != nullptr)
		node->previous->next = node->next;
	else if (node->parent != nullptr)
		node->parent->firstChild = node->next;
	else
		*first = node->next;
	if (node->next != nullptr)
		node->next->previous = node->previous;
	node->previous = nullptr;
	node->next = nullptr;
	node->parent = nullptr;
}

}	// namespace MVTreeListLinks
