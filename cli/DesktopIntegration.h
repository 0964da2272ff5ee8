#pragma once

// The desktop integration of an installed tree: the GUI's menu entry, its
// icons and the MIME types of the job-settings files, copied from the
// tree's desktop/ folder into the user's data folder ($XDG_DATA_HOME, else
// ~/.local/share), where desktops look for them. The menu entry's Exec line
// names the tree's GUI program by its absolute path. After a change the
// programs of Refreshers() rebuild the desktop's caches of the data folder.
//
// Paths are native. Not thread-safe.

#include <span>
#include <string>

class DesktopIntegration {
public:
	// One file: its path inside desktop/ and inside the data folder.
	struct File {
		const char* source;
		const char* target;
	};
	// A program that rebuilds a cache from a folder of the data folder.
	struct Refresher {
		const char* program;
		const char* folder;
		const char* package;       // the Debian package that has it
		const char* cache;         // what it brings up to date
	};

	static std::span<const File> Files();
	static std::span<const Refresher> Refreshers();

	// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share;
	// empty when neither is set.
	static std::string DefaultDataHome();

	DesktopIntegration(std::string desktopFolder, std::string guiProgram,
		std::string dataHome);

	const std::string& DataHome() const { return fDataHome; }
	const std::string& GuiProgram() const { return fGuiProgram; }

	// Copies every file, replacing older copies. Nothing is written when the
	// GUI program or a file of desktop/ is missing. False with *error set.
	bool Install(std::string* error) const;
	// Removes the files; *removed: how many were there. False with *error
	// set.
	bool Uninstall(int* removed, std::string* error) const;

	// The menu entry's text with its Exec line running program, the field
	// codes after the program kept. False with *error set.
	static bool EntryForProgram(const std::string& entry, const std::string& program,
		std::string* text, std::string* error);
	// A word of an Exec line in double quotes, escaped as a desktop entry
	// file stores it. False for a word with control characters.
	static bool QuoteExecWord(const std::string& word, std::string* quoted);

private:
	bool _ReadSources(std::string* texts, std::string* error) const;

	std::string fDesktopFolder;
	std::string fGuiProgram;
	std::string fDataHome;
};
