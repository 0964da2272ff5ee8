#pragma once

// BFilePanel: a window in which the user picks entries to open, or a folder
// and a name to save under. The result goes to the panel's target (the
// application unless one is set):
// - an open panel sends B_REFS_RECEIVED, or a copy of the panel's message,
//   with "refs": one entry_ref per chosen entry;
// - a save panel sends B_SAVE_REQUESTED with "directory" (entry_ref) and
//   "name" (string);
// - every time the panel goes away (cancelled, closed, hidden, or done
//   with a choice) it sends B_CANCEL with "old_what", the code of its
//   message.
// Paths are the system's ("/<volume>/..."); an entry outside every volume
// cannot be chosen. The node flavors (B_FILE_NODE, B_DIRECTORY_NODE,
// B_SYMLINK_NODE of StorageDefs.h) say what kinds of entry can be opened;
// none means files.
//
// A BRefFilter decides which entries the panel lists. The folders on the way
// to the one shown are listed whatever it says, so that the user can always
// go back up. The panel neither copies nor deletes its filter.
//
// The panel is a Qt file dialog of the kit's own (never the platform's), so
// that it works without a screen and buttons can be added to it. Every call
// is made on the display's thread.

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include <app/Messenger.h>
#include <interface/InterfaceDefs.h>
#include <storage/EntryRef.h>
#include <storage/StorageDefs.h>
#include <support/SupportDefs.h>

class BButton;
class BMessage;
class BNode;
class QBoxLayout;
class QObject;
class QWidget;

namespace MorvaneKit {
class FilePanelDialog;
class RefFilterModel;
}

enum file_panel_mode {
	B_OPEN_PANEL,
	B_SAVE_PANEL,
};

enum file_panel_button {
	B_CANCEL_BUTTON,
	B_DEFAULT_BUTTON,
};

// The MIME types a filter sees for folders and for the root of a volume.
constexpr const char* B_DIRECTORY_MIME_TYPE = "application/x-vnd.Be-directory";
constexpr const char* B_VOLUME_MIME_TYPE = "application/x-vnd.Be-volume";
constexpr const char* B_SYMLINK_MIME_TYPE = "application/x-vnd.Be-symlink";

class BRefFilter {
public:
	virtual ~BRefFilter() = default;
	// True to list the entry. node is open on it (check its InitCheck()),
	// st is its lstat.
	virtual bool Filter(const entry_ref* ref, BNode* node, struct stat* st,
		const char* mimeType) = 0;
};

class BFilePanel {
public:
	// target and message are copied; the filter stays the caller's.
	BFilePanel(file_panel_mode mode = B_OPEN_PANEL, BMessenger* target = nullptr,
		const entry_ref* directory = nullptr, uint32 nodeFlavors = 0,
		bool allowMultipleSelection = true, BMessage* message = nullptr,
		BRefFilter* filter = nullptr, bool modal = false, bool hideWhenDone = true);
	virtual ~BFilePanel();
	BFilePanel(const BFilePanel&) = delete;
	BFilePanel& operator=(const BFilePanel&) = delete;

	void Show();
	void Hide();
	bool IsShowing() const;

	// Called when the folder shown or the selection in it changed.
	virtual void SelectionChanged();
	// Sends a result of the panel; the default sends the message to target.
	virtual void SendMessage(const BMessenger* target, BMessage* message);

	// Added buttons send their messages to the target too.
	void SetTarget(BMessenger target);
	BMessenger Messenger() const { return fTarget; }
	// Takes a copy; null goes back to B_REFS_RECEIVED.
	void SetMessage(BMessage* message);
	void SetRefFilter(BRefFilter* filter);
	BRefFilter* RefFilter() const { return fFilter; }
	void SetHideWhenDone(bool hideWhenDone) { fHideWhenDone = hideWhenDone; }
	bool HidesWhenDone() const { return fHideWhenDone; }
	file_panel_mode PanelMode() const { return fMode; }

	// B_ENTRY_NOT_FOUND for a folder that does not exist or lies on no
	// volume; the panel stays where it was.
	status_t SetPanelDirectory(const entry_ref* directory);
	status_t SetPanelDirectory(const char* path);
	status_t GetPanelDirectory(entry_ref* directory) const;

	void SetTitle(const char* title);
	void SetButtonLabel(file_panel_button button, const char* label);
	// The name a save panel proposes.
	void SetSaveText(const char* text);
	// A floating or modal feel keeps the panel above the application's
	// other windows.
	void SetFeel(window_feel feel);

	// Puts a button into the panel's row of buttons, left of the others,
	// at least as wide and high as its frame. The panel owns it and points
	// it at the panel's target.
	void AddButton(BButton* button);

	// Chooses an entry as the user does in an open panel: the panel goes
	// to its folder, selects it and opens it. B_ENTRY_NOT_FOUND when it
	// does not exist or lies on no volume, B_BAD_VALUE for a save panel.
	status_t SelectAndOpen(const char* path);

	// The panel's top-level widget, for the kit and for tests.
	QWidget* Widget() const;

private:
	friend class MorvaneKit::FilePanelDialog;

	void _Chosen(const std::vector<std::string>& nativePaths);
	void _SendRefs(const std::vector<std::string>& nativePaths);
	void _SendSave(const std::string& nativePath);
	void _Closed();
	void _DirectoryChanged();
	bool _MayOpen(const std::string& nativePath) const;
	void _SetUpMode(bool allowMultipleSelection);
	void _SetUpButtons();
	uint32 _ResultCode() const;

	file_panel_mode fMode;
	BMessenger fTarget;
	std::unique_ptr<BMessage> fMessage;
	BRefFilter* fFilter;
	uint32 fNodeFlavors;
	bool fHideWhenDone;
	bool fModal;
	MorvaneKit::FilePanelDialog* fDialog;
	// The receiver of the dialog's signals; gone first, it takes them along.
	QObject* fConnections;
	MorvaneKit::RefFilterModel* fFilterModel;
	QBoxLayout* fButtonRow = nullptr;
	std::vector<BButton*> fButtons;
};
