#pragma once

// AddOnShelf: the destination and compressor add-ons of the installed tree as
// the GUI uses them: their menu names for the destination and compression
// menus, and their settings windows. An add-on whose settings window is open
// stays loaded until the shelf goes; the shelf deletes the objects (which
// closes their windows) before it unloads them.
//
// Used on the main thread only.

#include <map>
#include <string>
#include <vector>

#include <app/Message.h>
#include <kernel/image.h>

class BHandler;
class BMenu;
class BWindow;
class MVCruncher;
class MVVolume;

class AddOnShelf {
public:
	enum Kind { kDestination, kCompressor };

	struct Entry {
		std::string fileName;   // what a job stores
		std::string menuName;   // what the menu shows
	};

	// serverFolder: the native folder of the server program, whose
	// "add-ons" folder holds the add-ons.
	explicit AddOnShelf(std::string serverFolder);
	~AddOnShelf();
	AddOnShelf(const AddOnShelf&) = delete;
	AddOnShelf& operator=(const AddOnShelf&) = delete;

	// The add-ons of that kind in file-name order; files that are no add-on
	// of the kind are left out.
	std::vector<Entry> List(Kind kind) const;
	// One item per add-on of the kind, each sending the command with
	// "menuname" and "filename".
	void FillMenu(BMenu* menu, Kind kind, uint32 command) const;
	// The native folder of the server beside the GUI, for the shelf.
	static std::string ServerFolder();
	// Opens the add-on's settings window over parent with the settings; a
	// confirmed result reaches target (in parent) as the add-on's reply
	// message with "result" and "settings". B_OK, or why it could not.
	status_t OpenSettings(Kind kind, const char* fileName, const BMessage& settings,
		BWindow* parent, BHandler* target);
	// The settings a new object of the add-on starts with. B_OK, or why
	// the add-on could not be loaded.
	status_t DefaultSettings(Kind kind, const char* fileName, BMessage* settings);

private:
	struct Loaded {
		MVVolume* volume = nullptr;
		MVCruncher* cruncher = nullptr;
		image_id image = -1;
	};

	Loaded* _Load(Kind kind, const char* fileName, const BMessage& settings, status_t* failure);
	std::string _Folder(Kind kind) const;
	static std::string _Key(Kind kind, const char* fileName);

	std::string fServerFolder;
	std::map<std::string, Loaded> fLoaded;
};
