#pragma once

// BackupItems: the backup and the catalogue paths a restore or a compare
// names on the command line ("BACKUP [PATH...]", paths as 'morvane ls'
// prints them), with the backup's password. Check() validates them without
// a server; Resolve() finds the backup and each path in the catalogue and
// checks the password of a protected backup with the server, before a job
// is made. A value owned by its command.

#include <string>
#include <vector>

#include <app/Message.h>

class ServerConnection;

class BackupItems {
public:
	// A catalogue path inside the backup ("" for the whole backup) and
	// whether it names a folder or volume.
	struct Item {
		std::string path;
		bool isFolder;
	};

	// Reads BACKUP and PATH... from the operands and the --password value.
	bool Check(const std::vector<std::string>& operands, const std::string& command,
		bool hasPassword, const std::string& password, std::string* error);

	// Finds the backup and the items; prints why not and returns the exit
	// status otherwise (0 when found). *title gets the backup's title.
	int Resolve(ServerConnection& server, std::string* title);

	const std::string& Backup() const { return fBackup; }
	const std::vector<Item>& Items() const { return fItems; }
	bool HasPassword() const { return fHasPassword; }
	const std::string& Password() const { return fPassword; }

	// "SELECTION" lines "INCLUDE /<backup><path>" ("/*" for folders) and,
	// with a target folder (a system path), the redirection pairs
	// "source" = "REDIREC " + the same path, "redirect" = target.
	static void BuildSelection(const std::string& backup, const std::vector<Item>& items,
		const std::string& target, BMessage* selection);

private:
	int _CheckPassword(ServerConnection& server, const BMessage& list, int32 slot);
	int _FindItems(ServerConnection& server);

	std::string fBackup;
	std::vector<std::string> fPaths;
	std::vector<Item> fItems;
	std::string fPassword;
	bool fHasPassword = false;
};
