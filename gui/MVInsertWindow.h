#pragma once

// MVInsertWindow: the "Insert Backup" window of the restore tool. The user
// picks a destination and its settings, the server scans it ('mvvs', its
// answer 'mvvd' comes back through the tool), and the backups found are
// listed, those already in the catalogue marked so. On close it sends
// kMsgInsertWindowReply with "result" and "settings" ("addon", "volume" and
// the "ID" of the backup chosen).

#include <memory>
#include <set>
#include <string>

#include <app/Message.h>
#include <app/Messenger.h>

#include "AddOnShelf.h"
#include "MVDialogWindow.h"

class BColumnListView;
class BMenuField;

constexpr uint32 kMsgInsertWindowReply = 'reiq';

class MVInsertWindow : public MVDialogWindow {
public:
	// catalogued: the names (backup ids) the catalogue holds.
	MVInsertWindow(BPoint where, const BMessage& settings, std::set<std::string> catalogued,
		BMessenger target);

	void MessageReceived(BMessage* message) override;
	// The id the scan requests of this window carry.
	int32 ScanID() const { return fScanID; }

private:
	void _Chosen(BMessage* message);
	void _MarkChosen();
	void _Scan();
	void _ShowFound(const BMessage& found);
	void _Confirm();

	AddOnShelf fShelf;
	BMenuField* fDestination;
	BColumnListView* fFound;
	std::set<std::string> fCatalogued;
	int32 fScanID;
};
