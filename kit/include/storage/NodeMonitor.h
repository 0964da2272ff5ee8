#pragma once

// Node monitoring: messages about changes to watched nodes.
//
// watch_node() asks for B_NODE_MONITOR messages about one node to be sent to
// a target. The node_ref must have come from this process's storage kit
// (BStatable::GetNodeRef, or a node monitor message), which is how the kit
// finds the node's place; otherwise B_ENTRY_NOT_FOUND. Watching the same
// node again for the same target adds the flags; B_STOP_WATCHING as the
// flags ends that watch, stop_watching() ends all of a target's watches.
//
// Every message has int32 "opcode", int32 "device" (the volume id) and
// int64 "node" (the inode of the entry concerned):
// - B_ENTRY_CREATED, B_ENTRY_REMOVED (B_WATCH_DIRECTORY): int64 "directory"
//   and string "name" of the entry. For a watched node itself that is
//   removed (B_WATCH_NAME), B_ENTRY_REMOVED names the node.
// - B_ENTRY_MOVED: int64 "directory" (also as "from directory"), int64
//   "to directory", string "from name" and string "name" (the new one). A
//   move between watched folders is one such message, sent to the watchers
//   of both; a move out of the watched folders arrives as B_ENTRY_REMOVED,
//   one into them as B_ENTRY_CREATED.
// - B_STAT_CHANGED (B_WATCH_STAT): the node's stat information changed.
// - B_ATTR_CHANGED (B_WATCH_ATTR): the node's attributes may have changed;
//   Linux reports attribute and stat changes alike, so it also comes after
//   a stat change, and it names no attribute.
//
// Messages come from one thread per process and are sent asynchronously;
// a target whose queue stays full loses the message, and a target that is
// gone is dropped. Events are read from inotify: a watched folder that is
// moved keeps being watched, but the names in its later messages are looked
// up under its old place; a watched node that is moved is not reported by
// itself (inotify does not say where it went), only by its folder's watch.
// A create, move or removal whose entry is gone again before the monitor
// looks at it carries node 0.

#include <app/AppDefs.h>
#include <app/Messenger.h>
#include <storage/NodeRef.h>
#include <support/Errors.h>

enum : uint32 {
	B_STOP_WATCHING = 0x0000,
	B_WATCH_NAME = 0x0001,
	B_WATCH_STAT = 0x0002,
	B_WATCH_ATTR = 0x0004,
	B_WATCH_DIRECTORY = 0x0008,
	B_WATCH_ALL = 0x000f,
};

enum : int32 {
	B_ENTRY_CREATED = 1,
	B_ENTRY_REMOVED = 2,
	B_ENTRY_MOVED = 3,
	B_STAT_CHANGED = 4,
	B_ATTR_CHANGED = 5,
};

// B_BAD_VALUE for a null node, unknown flags or an invalid target;
// B_ENTRY_NOT_FOUND when the node's place is unknown or it is gone; with
// B_STOP_WATCHING, B_BAD_VALUE when the target was not watching the node.
[[nodiscard]] status_t watch_node(const node_ref* node, uint32 flags, BMessenger target);
// B_BAD_VALUE when the target watched nothing.
[[nodiscard]] status_t stop_watching(BMessenger target);
