#pragma once

// MVLogDataView: the catalogue as a tree: every backup with its volumes,
// folders and files, loaded through the server as the user opens them. The
// user marks backups, folders and files (a mark takes everything below)
// and gives entries a folder to be restored to. Marks and redirections are
// the selection message of a restore or compare job. A change of the marks
// is told to the parent view as kMsgCatalogueMarksChanged.

#include <map>
#include <set>
#include <string>
#include <vector>

#include <app/Message.h>
#include <interface/View.h>

#include <interface/Picture.h>

#include "MVLogDataModel.h"
#include "ToolIcons.h"

constexpr uint32 kMsgCatalogueMarksChanged = 'slch';

class BColumnListView;
class BTextControl;
class BRow;
class CatalogueTreeList;

class MVLogDataView : public BView {
public:
	// widthKeys: the settings keys of the seven columns' widths.
	MVLogDataView(BRect frame, const char* const* widthKeys);

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;

	// Asks this registry instead of the program's server (benchmarks).
	void UseRegistry(const BMessenger& registry);

	// Shows the backups of the catalogue again, keeping the marks of the
	// entries that are still there.
	void Reload();
	// "SELECTION" lines of the marks, and "source"/"redirect" pairs of the
	// redirections.
	void GetSelection(BMessage* selection) const;
	void SetSelection(const BMessage& selection);
	// Marks every backup, or takes every mark away.
	void SelectAll(bool select);
	// Marks or unmarks the rows selected in the list, with all below them.
	void MarkSelected(bool marked);
	// The entries selected in the list go to this folder on restore; an
	// empty folder takes their redirection away.
	void RedirectSelected(const std::string& folder);
	bool HasMarks() const { return fModel.CountSelected() > 0; }
	// The catalogue names of the backups that hold a mark.
	std::vector<std::string> MarkedBackups() const;
	// The catalogue names of every backup shown.
	std::set<std::string> BackupNames() const;
	// The title of a backup of the catalogue, or its name when it has none.
	std::string TitleOf(const std::string& backup) const;
	// Opens "Get Info" for the focus row; the window, or null.
	BWindow* ShowInfo();
	// Selects and shows the next entry after the focus row, within its
	// backup, whose name holds the text in any case; false when there is
	// none. The backup is loaded whole the first time.
	bool FindNext(const std::string& text);
	// The row of a catalogue path ("/<backup>/<volume>/..."), opening the
	// rows on the way; null when the catalogue has no such entry.
	BRow* RowOfPath(const std::string& cataloguePath);

	void StoreColumnWidths(BMessage* settings) const;
	void RestoreColumnWidths(const BMessage& settings);

private:
	friend class CatalogueTreeList;

	void _UseServer();
	void _Rebuild();
	BRow* _AddRow(MVLogDataItem* item, BRow* parent);
	void _AddChildRows(BRow* row);
	// The picture of a kind of entry, drawn once.
	const BPicture& _Icon(const MVLogDataItem& item);
	void _RemoveChildRows(BRow* row);
	void _Opened(BRow* row);
	void _ShowRow(BRow* row);
	void _ShowBelow(BRow* row);
	void _ShowAll();
	// Where the column of a field shows.
	static int32 _ShownColumn(int32 field);
	void _MarksChanged();

	MVLogDataModel fModel;
	BMessenger fRegistry;
	CatalogueTreeList* fList;
	BTextControl* fFindText;
	const char* const* fWidthKeys;
	std::map<const BRow*, MVLogDataItem*> fItems;
	std::map<std::pair<EntryIcon, bool>, BPicture> fIcons;
	struct Redirection {
		std::string folder;
		bool directory;
	};

	// Redirections are kept by catalogue path, so they outlive a reload.
	std::map<std::string, Redirection> fRedirections;
};
