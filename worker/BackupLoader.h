#pragma once

// BackupLoader: the backup a reading engine (restore, compare, insert)
// works on. It loads a backup's catalogue from "logdata" and the add-ons it
// names through the worker - or, for backups without a catalogue, only a
// destination add-on - opens a backup on the destination with a buffered
// medium source and an archive reader, and closes and releases all of it
// again. The engine decides what a failure means for its job; every
// failure says which report line it calls for.
//
// Ownership: owns the add-on objects (freed through the worker before it
// loads others), the source and the reader. The worker must outlive it.
// Used on the worker's thread only.

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include <app/Message.h>

#include "BackupHeader.h"
#include "MVTextArgument.h"

class ArchiveReader;
class MVCruncher;
class MVToolServer;
class MVVolume;
class MediumSource;

class BackupLoader {
public:
	// A failure: the report line (type 3) it calls for; textID 0 when the
	// worker has written it already (a backup of a newer program).
	struct Failure {
		int32 textID = 0;
		MVTextArguments arguments;
	};

	enum class OpenResult {
		Opened,
		// The destination has no such backup (a medium of a removable
		// destination that is not in the drive).
		NotThere,
		// The backup's header cannot be read.
		NoHeader,
	};

	BackupLoader(MVToolServer* worker, std::string serverFolder);
	~BackupLoader();
	BackupLoader(const BackupLoader&) = delete;
	BackupLoader& operator=(const BackupLoader&) = delete;

	// The catalogue name loaded last ("" before the first).
	const std::string& CatalogueName() const { return fCatalogueName; }
	// Loads the catalogue of that name and its add-ons, closing the backup
	// open before. False with *failure set.
	bool Load(const char* catalogueName, Failure* failure);
	// Loads only a destination add-on, for backups that have no catalogue:
	// their data blocks can be passed over, not unpacked.
	bool LoadDestination(const char* addOn, const BMessage& settings, Failure* failure);

	// Opens the loaded catalogue's backup on its destination and reads its
	// header.
	OpenResult Open();
	// The same for the backup of that name.
	OpenResult Open(const std::string& backupName);
	// Stops the destination; the add-ons stay loaded.
	void Close();
	// Closes and ejects the medium, so that a media question never meets
	// the old medium still in the drive.
	void CloseAndEject();
	// Closes and frees the add-ons.
	void Release();

	bool IsOpen() const { return fOpen; }
	// The medium in the drive holds the backup's medium number.
	bool HasMedium(int32 number) const;
	const BackupHeader& Header() const { return fHeader; }
	ArchiveReader* Reader() const { return fReader.get(); }
	MediumSource* Source() const { return fSource.get(); }
	const std::string& Title() const { return fTitle; }
	// The catalogue says the backup's destination is removable.
	bool IsRemovable() const { return fRemovable != 0; }
	// The loaded destination's media can be changed.
	bool IsDestinationRemovable() const;
	uint16 CatalogueVersion() const { return fCatalogueVersion; }
	// The name the catalogue records for medium number (a tape's media ID);
	// "" when none.
	std::string MediumName(int32 medium) const;
	// The catalogue marks the file of that entry number incomplete: it
	// shrank or could not be read while it was backed up.
	bool IsIncomplete(int32 entryNumber) const { return fIncomplete.count(entryNumber) != 0; }
	// The destination's name, "" without one.
	std::string DestinationName() const;

private:
	bool _LoadAddOns(const BMessage& catalogue, Failure* failure);

	MVToolServer* fWorker;
	std::string fServerFolder;
	std::string fCatalogueName;
	std::string fTitle;
	int16 fRemovable = 0;
	uint16 fCatalogueVersion = 0;
	bool fHasCatalogue = false;
	std::unordered_set<int32> fIncomplete;
	std::vector<std::string> fMediumNames;
	MVVolume* fDestination = nullptr;
	MVCruncher* fCruncher = nullptr;
	bool fPassThrough = false;
	bool fOpen = false;
	bool fHaveHeader = false;
	std::unique_ptr<MediumSource> fSource;
	std::unique_ptr<ArchiveReader> fReader;
	BackupHeader fHeader;
};
