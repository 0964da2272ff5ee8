#pragma once

// MVStreamer: the destination add-on "MVSCSIStreamer". It keeps backups one
// after another on a SCSI tape, separated by filemarks:
//
//   media label block, filemark 1,
//   backup k: its BackupID block, then its archive data in blocks of the
//   backup's block size (the last one padded), filemark k + 1, ...
//
// (StreamerTapeRecords has the two 1024-byte blocks.) A list of the backups
// of each tape (StreamerMediaBase) lives in a file named by the tape's media
// ID in the streamer's data folder. The engines' byte stream is cut into
// tape blocks of the cache size; the drive's early warning makes the medium
// full (GetFreeSpace 0), and the engines then change the medium.
//
// The tape decides where the list and the tape disagree: before a backup is
// appended, the place after the last known backup is read, and backups found
// there are added to the list instead of being overwritten (unless the list
// says they were deleted there); a tape whose
// label cannot be read is labelled anew only when it is blank or the
// destination is in overwrite mode.
//
// Settings keys besides the base's: "streamerdevice" (the raw device path of
// the drive) and "MVVOLHWCOMPRESSION" (hardware compression wanted).
//
// Status codes: Start 0, 1 (device not ready, or started already), 2 (no
// name), 3 (device cannot be opened; no such backup to read), 4 (the tape
// could not be positioned, read or written, or already holds a backup of
// that name to write); Stop, FindFirst, FindNext,
// Delete and Eject 0 for success, 1 when the device is not ready or there is
// nothing (more), 2 when the tape cannot be labelled, 4 for Delete of an
// unknown backup. One thread at a time.

#include <string>
#include <vector>

#include <app/Handler.h>

#include "MVSCSI.h"
#include "MVSettingsSession.h"
#include "MVVolume.h"
#include "StreamerMediaBase.h"

class MVStreamer : public MVVolume, public BHandler {
public:
	static constexpr int32 kDefaultCacheSize = 65536;
	static constexpr const char* kDeviceKey = "streamerdevice";
	static constexpr const char* kCompressionKey = "MVVOLHWCOMPRESSION";
	static constexpr const char* kCacheSizeKey = "cachesize";

	MVStreamer();
	~MVStreamer() override;

	[[nodiscard]] status_t Archive(BMessage* into, bool deep = true) const override;
	int32 GetType() override;
	int64 GetCapacity() override;
	int64 GetFreeSpace() override;
	bool IsRemovable() override;
	bool IsReadOnly() override;
	bool IsShared() override;
	const char* MenuName() override;
	void Settings(BWindow* parent, BHandler* target, const char* language) override;
	void MessageReceived(BMessage* message) override;
	// The settings window while it is open.
	BMessenger SettingsWindow() const { return fSettingsWindow.Window(); }
	int32 Delete(const char* name) override;
	int32 Start(const char* name, int32 mode) override;
	int32 Stop() override;
	int64 Write(const void* buffer, int64 length) override;
	int64 Seek(int64 offset, int32 origin) override;
	int64 Read(void* buffer, int64 length) override;
	int32 FindFirst(mvvol_fib* info) override;
	int32 FindNext(mvvol_fib* info) override;
	int32 Eject() override;
	// The media ID of the tape of the backup started last.
	const char* MediumName() override;

	// A streamer from an archive of class "MVSCSIStreamer", with its block
	// size; null for any other message.
	static MVStreamer* Instantiate(BMessage* archive);
	// The folder of the media base files (default: the program folder's
	// "add-ons/destination/streamer_data").
	static void SetDataFolder(const std::string& folder);
	static std::string DataFolder();

private:
	// Opens the device of the settings when it is not open.
	bool _OpenDevice();
	// Opens the device when it is not open and asks whether it is ready.
	bool _Ready();
	int32 _GotoFilemark(int32 filemark);
	// 0 with the media ID, or the label's status (2 unreadable, 3 another
	// magic, 4 too long); *blank tells a tape with nothing on it.
	int32 _ReadLabel(std::string* mediaId, bool* blank);
	int32 _WriteLabel(const std::string& mediaId);
	bool _ReadBackupId(StreamerTapeRecords::BackupId* id);
	bool _WriteBackupId(const StreamerTapeRecords::BackupId& id);
	void _SetHardwareCompression(int32 value);
	uint8 _ModeSense(void* buffer, size_t length, uint8 page, bool dbd);
	// Reads the backup after the last known one into the list; false when
	// there is none.
	bool _ScanNextBackup();
	// Before a backup is appended: backups on tape the list lacks are added.
	void _CatchUpWithTape();
	bool _FlushCache();
	bool _ReadBlock();
	// The last read met the filemark after the backup or the end of data.
	bool _AtEndOfBackup() const;
	void _CloseDevice();

	MVSettingsSession fSettingsWindow;
	MVSCSI fDevice;
	std::vector<uint8> fCache;
	int32 fCacheSize = kDefaultCacheSize;
	// Offset of the next byte in the cache; -1 when it holds no block.
	int32 fCachePosition = -1;
	bool fCacheClean = true;
	int64 fPosition = 0;
	int32 fMode = 0;
	StreamerMediaBase fMediaBase;
	bool fStarted = false;
	int32 fHeadFilemark = 0;
	// Reading: the data block the cache holds (-1 none) and the one the
	// tape head stands before, counted from the backup's first.
	int64 fHeldBlock = -1;
	int64 fNextBlock = 0;
	std::string fMediumName;
	// Listing.
	std::string fWantedName;
	int32 fListIndex = 0;
};
