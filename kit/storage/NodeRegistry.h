#pragma once

// Where the nodes handed out as node_refs live, so that a node_ref can be
// turned back into a place (for watch_node). Bounded: the oldest entries
// are forgotten first. Thread-safe.

#include <string>

#include <storage/NodeRef.h>

namespace MorvaneKit {

void RememberNode(const node_ref& node, const std::string& native);
// The native path of a node, checked to still hold that node.
bool FindNode(const node_ref& node, std::string* native);

}	// namespace MorvaneKit
