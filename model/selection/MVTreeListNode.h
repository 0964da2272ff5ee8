#pragma once

class MVTreeEntry;

// One node of an MVTreeList. The list allocates nodes and owns them with
// their entries; the links are null at the ends of a level and on the top
// level's parent.
struct mvtreelistnode {
	MVTreeEntry* entry = nullptr;
	mvtreelistnode* previous = nullptr;
	mvtreelistnode* next = nullptr;
	mvtreelistnode* parent = nullptr;
	mvtreelistnode* firstChild = nullptr;
};
