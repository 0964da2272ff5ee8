#pragma once

// A node_ref names a node by its volume id (see fs_info.h) and its inode
// number. It does not keep the node alive.

#include <sys/types.h>

#include <support/SupportDefs.h>

struct node_ref {
	node_ref() = default;
	node_ref(dev_t nodeDevice, ino_t nodeNumber) : device(nodeDevice), node(nodeNumber) {}

	bool operator==(const node_ref& other) const
		{ return device == other.device && node == other.node; }
	bool operator!=(const node_ref& other) const { return !(*this == other); }
	bool operator<(const node_ref& other) const
		{ return device != other.device ? device < other.device : node < other.node; }

	dev_t device = 0;
	ino_t node = 0;
};
