#pragma once

// The catalogue commands of `morvane`: list the backups (backups), browse
// one backup's tree (ls) and delete backups (delete), through the server's
// catalogue registry.

#include <memory>
#include <string>

#include <app/Message.h>

#include "CatalogueBrowse.h"
#include "Command.h"

class ServerConnection;

namespace CatalogueCommands {

// "backups", "ls" or "delete"; null for other names.
std::unique_ptr<Command> Make(const std::string& name);

// The catalogue list ('MVLR' of "/"); B_OK or the request's error.
[[nodiscard]] status_t FetchBackups(ServerConnection& server, BMessage* list);
// The slot of a backup (its catalogue name) in the list, or -1.
int32 FindBackup(const BMessage& list, const std::string& name);
// Entries of a catalogue path "/<backup>[/path]": its children or the
// entry itself.
[[nodiscard]] status_t Browse(ServerConnection& server, const std::string& path, LogReadMode mode,
	BMessage* entries);
// "/<backup>" + path, with a "/" put before a path that lacks it.
std::string CataloguePath(const std::string& backup, const std::string& path);

const char* ModeName(int32 mode);
const char* EntryTypeName(int32 type);
bool IsFolderType(int32 type);

}	// namespace CatalogueCommands
