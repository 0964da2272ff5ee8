#pragma once

// MVLogDataModel: the data side of the catalogue view, with no drawing in
// it. It shows every backup of the catalogue as a level 1 item with its
// entries below, in catalogue order: level 2 the volume roots, deeper
// levels the folders, files and links. Items are loaded through the
// catalogue registry's browse requests ('MVLR'), so the same model serves a
// worker inside the server and a client in another process: the backups
// first (LoadBackups), a folder's children as it is opened (LoadChildren),
// a whole subtree at once when it is selected with everything below it.
//
// Every item carries its columns (name, size, type, date, media number,
// offset, index, redirection) and a selection mark. SetSelection() applies
// a job's selection lines ("INCLUDE /<backup>/<path>", "/*" for a folder
// with its contents, "EXCLUDE ..."), SelectionLines() gives them back. The
// current-selection walk addresses the selected items by their position in
// the full list (pre-order of every loaded item), from 1.
//
// The registry's answers come from catalogue files and are untrusted: an
// answer whose levels jump never builds a child deeper than one level below
// its parent, and arrays of unequal length end at the shortest.
//
// Ownership: the model owns its items. Threads: one thread; the registry
// queries block it, so it must never be used on the registry's own thread.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

#include "CatalogueBrowse.h"
#include "MVLogFullList.h"
#include "MVTreeEntryLog.h"

// The columns of an item, in the view's order.
enum class MVLogColumn : int32 {
	Name = 0,
	Size,
	Type,
	Date,
	MediaNumber,
	Offset,
	Index,
	Redirection,
};

struct MVLogDataItem {
	// The registry's fields; for a backup: its catalogue name, type -1, its
	// size and date, medium 1, offset 0, its title as path, index -1.
	MVLogEntryData data;
	// 1 for a backup, 2 for a volume root, one more for each folder below.
	int32 level = 1;
	std::string redirection;
	// Changed through the model (Select, SetSelection, DeselectAll), which
	// keeps its current-selection walk in step with the marks.
	bool selected = false;
	// The children are known (a file's or link's always are).
	bool childrenLoaded = false;
	MVLogDataItem* parent = nullptr;
	std::vector<std::unique_ptr<MVLogDataItem>> children;

	bool IsBackup() const { return level == 1; }
	// Backups, volume roots and folders.
	bool IsContainer() const;
	// "/<backup>" for a backup, "/<backup><full path>" for an entry: the
	// path the registry and the selection lines use. It is made of the
	// names on the way down, so FindPath() finds the item by it.
	std::string CataloguePath() const;
	// The level 1 item this item belongs to (itself for a backup).
	const MVLogDataItem* Backup() const;
};

class MVLogDataModel {
public:
	explicit MVLogDataModel(const BMessenger& registry);
	~MVLogDataModel();
	// The registry asked from now on, and how long to wait for each answer
	// (a client's registry is a server that may have been started again).
	void SetRegistry(const BMessenger& registry, bigtime_t timeout = B_INFINITE_TIMEOUT);
	MVLogDataModel(const MVLogDataModel&) = delete;
	MVLogDataModel& operator=(const MVLogDataModel&) = delete;

	// Replaces every item with the backups of the catalogue list, unloaded
	// and unselected. The registry's error when it cannot be reached.
	[[nodiscard]] status_t LoadBackups();
	// The direct children of item, once; later calls keep what is loaded.
	[[nodiscard]] status_t LoadChildren(MVLogDataItem* item);
	// Everything below item, replacing what was loaded below it; items
	// that come back under the same path keep their marks.
	[[nodiscard]] status_t LoadSubtree(MVLogDataItem* item);

	// Whether everything below the item is loaded.
	bool IsLoadedThroughout(MVLogDataItem* item) const { return _IsLoadedThroughout(item); }

	int32 CountBackups() const { return int32(fBackups.size()); }
	MVLogDataItem* BackupAt(int32 index) const;
	MVLogDataItem* FindBackup(const std::string& name) const;
	// The item of a catalogue path, loading the folders on the way; null
	// when the catalogue has no such entry.
	MVLogDataItem* FindPath(const std::string& cataloguePath);

	// A column as the view shows it: sizes and numbers in decimal, the date
	// as "YYYY-MM-DD HH:MM" local time, the type as "file", "folder",
	// "link", "volume" or "backup".
	static std::string ColumnText(const MVLogDataItem& item, MVLogColumn column);
	// A numeric column as a number (name and redirection give 0).
	static double ColumnValue(const MVLogDataItem& item, MVLogColumn column);

	// Marks. With subtree, every item below gets the same mark; a subtree
	// that is selected is loaded first, one that is deselected is not (what
	// is not loaded is unselected). A failed load changes no mark.
	void DeselectAll();
	[[nodiscard]] status_t Select(MVLogDataItem* item, bool selected, bool withSubtree);
	// Applies the "SELECTION" lines of a selection message in order: an
	// include line selects its item (with "/*" its subtree too), an exclude
	// line deselects its item and its subtree. Lines naming nothing the
	// catalogue holds change nothing; their count is returned, with the
	// lines that are no selection line and those whose subtree could not
	// be loaded. Loads the backups first when none are loaded.
	int32 SetSelection(const BMessage* selection);
	// The lines that select exactly what is marked: "INCLUDE <path>/*" for a
	// container whose loaded subtree is marked throughout and fully loaded,
	// "INCLUDE <path>" for any other marked item.
	std::vector<std::string> SelectionLines() const;
	// The same lines as the "SELECTION" field of selection.
	void GetSelection(BMessage* selection) const;

	// The current-selection walk: the selected items in full-list order.
	int32 CountSelected() const;
	// The selected item at position (from 1); null outside.
	MVLogDataItem* FullListCurrentSelection(int32 position) const;
	// The backup (level 1 item) of the selected item at position; null
	// outside.
	MVLogDataItem* SuperItemFromCurrentSelection(int32 position) const;

	// The full list: every loaded item in pre-order, indexed from 0.
	int32 CountItems() const;
	MVLogDataItem* ItemAt(int32 index) const;

private:
	using Items = std::vector<std::unique_ptr<MVLogDataItem>>;
	using Visit = std::function<void(MVLogDataItem* item, const std::string& relativePath)>;

	[[nodiscard]] status_t _Query(const std::string& path, LogReadMode mode, BMessage* reply) const;
	void _Attach(MVLogDataItem* parent, const BMessage& reply, LogReadMode mode);
	static MVLogDataItem* _FindChild(const MVLogDataItem* parent, std::string_view name);
	static bool _IsLoadedThroughout(MVLogDataItem* item);
	static void _ForEachBelow(MVLogDataItem* top, const Visit& visit);
	static void _Release(Items* items);
	void _StructureChanged();
	void _MarksChanged();

	BMessenger fRegistry;
	bigtime_t fTimeout = B_INFINITE_TIMEOUT;
	Items fBackups;
	MVLogFullList fFullList;
};
