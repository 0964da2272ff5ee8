#pragma once

#include <support/SupportDefs.h>

// Where a node is linked relative to a reference node. Other values link
// nothing; with no reference node the node becomes the first top-level node.
enum MVTreeListPos : int32 {
	kTreeListAfter = 0,        // next sibling of the reference
	kTreeListBefore = 1,       // previous sibling of the reference
	kTreeListFirstChild = 2,   // first child of the reference
	kTreeListParent = 3        // in the reference's place, with the reference as first child
};
