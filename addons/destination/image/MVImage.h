#pragma once

// MVImage: the destination that keeps every backup as one file ("image")
// named after the backup, directly in a target folder on any volume. The
// target folder is the system path "/<volume>/..." in "MVVOLNAME"; with
// "createpath" set, Start makes it and its missing parents. Capacity and the
// media flags are those of the volume that holds the folder; the free space
// is the volume's less one block (on a volume that counts in blocks), which
// a file system may need beyond the bytes written: so a writer that counts
// bytes never meets a full medium it was told had room.
//
// Contract: that of MVVolume; the caller owns the object, uses it from one
// thread at a time and deletes it before it unloads the add-on. The object
// is also a BHandler that receives its settings window's reply on the
// window's parent looper (see MVSettingsSession); the destructor quits a
// settings window still open and takes the handler off any looper.
//
// An open image is locked (flock), so that no other destination, in this
// process or another, opens or deletes it while a job uses it. Backup names
// are single leaf names: a name with "/", "." or ".." never reaches outside
// the target folder. A Write that would grow the image beyond what the
// volume's free blocks and the rest of the image's last block hold writes
// nothing and returns B_DEVICE_FULL, so a full medium never holds half a
// record.

#include <memory>

#include <app/Handler.h>
#include <storage/Directory.h>
#include <storage/File.h>
#include <storage/Volume.h>

#include "MVSettingsSession.h"
#include "MVVolume.h"

constexpr const char* kImageCreatePathKey = "createpath";

// Status codes of MVImage.
enum : int32 {
	kImageOK = 0,

	// Start
	kImageAlreadyOpen = 1,
	kImageNoName = 2,           // no name, or one that is not a leaf name
	kImageCannotOpen = 3,       // the file cannot be created, opened or locked

	// Stop
	kImageNotOpen = 1,
	kImageNotSynced = 2,        // closed, but the data may not be on the medium

	// Delete
	kImageDeleteNoName = 1,
	kImageDeleteBadEntry = 2,   // the name or the target folder is unusable
	kImageDeleteFailed = 3,     // missing, in use, or the removal failed

	// FindFirst, FindNext
	kImageFindBadRecord = 1,    // no record, or an empty or unterminated name
	kImageFindNoFolder = 2,     // the folder cannot be read, or a bad name
	kImageFindNoEntry = 3,
	kImageFindEnd = 1,

	// Eject
	kImageEjectBusy = 1,        // a backup is open
	kImageEjectNotRemovable = 2,
	kImageEjectFailed = 3,
};

class MVImage : public MVVolume, public BHandler {
public:
	MVImage();
	~MVImage() override;

	using MVVolume::Name;
	using MVVolume::SetName;

	// The base's entries, then "class" = "MVImage".
	[[nodiscard]] status_t Archive(BMessage* into, bool deep = true) const override;
	int32 GetType() override;
	int64 GetCapacity() override;
	int64 GetFreeSpace() override;
	bool IsRemovable() override;
	bool IsReadOnly() override;
	bool IsShared() override;
	// Opens the settings window (MVImageWindow), or brings it up when it is
	// open; does nothing without a display.
	void Settings(BWindow* parent, BHandler* target, const char* language) override;
	int32 Delete(const char* name) override;
	// Mode kVolumeModeWrite creates a new image (an existing one is left
	// alone: kImageCannotOpen); any other mode opens one for reading.
	int32 Start(const char* name, int32 mode) override;
	// Syncs an image written to, unlocks and closes it.
	int32 Stop() override;
	int64 Write(const void* buffer, int64 length) override;
	// Origins kVolumeSeekFromStart and kVolumeSeekFromCurrent; the new
	// position.
	int64 Seek(int64 offset, int32 origin) override;
	int64 Read(void* buffer, int64 length) override;
	const char* MenuName() override;
	// "*" lists every entry of the folder, files and folders alike; another
	// name is looked up and left in the record when found.
	int32 FindFirst(mvvol_fib* info) override;
	int32 FindNext(mvvol_fib* info) override;
	// Takes the medium out of the target's volume (VolumeTable::Eject).
	int32 Eject() override;

	// On kVolumeSettingsReply: a confirmed result becomes the settings and
	// goes on to the result target; either way the handler leaves the
	// looper.
	void MessageReceived(BMessage* message) override;
	// The settings window while it is open.
	BMessenger SettingsWindow() const { return fSettingsWindow.Window(); }

	// A new image destination for an archive of class "MVImage", or null.
	// Nothing of the archive is restored.
	static MVImage* Instantiate(BMessage* archive);
	// Whether a backup name is one leaf name of a folder.
	static bool IsUsableBackupName(const char* name);

private:
	// The volume of the target folder; false without one.
	bool _GetVolume(BVolume* volume) const;
	status_t _CheckRoomFor(int64 length);
	void _CloseListing();
	void _CloseImage();

	std::unique_ptr<BFile> fImage;
	bool fWriting = false;
	std::unique_ptr<BDirectory> fListing;
	MVSettingsSession fSettingsWindow;
};
