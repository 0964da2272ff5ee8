#include "MVStreamer.h"

#include <kernel/OS.h>

#include <algorithm>
#include <cstring>

#include "MVStreamerTexts.h"
#include "MVStreamerWindow.h"
#include "ProgramFolder.h"

namespace {

constexpr const char* kClassName = "MVSCSIStreamer";
constexpr const char* kMenuName = "SCSI Streamer";
constexpr int64 kFreeSpace = 12884901888LL;
constexpr uint8 kBusy = 8;
constexpr int kModeSenseTries = 10;
constexpr bigtime_t kModeSenseWait = 2000000;
constexpr int kLoadPolls = 1000;
constexpr bigtime_t kLoadPollWait = 20000;
// The device configuration mode page and its data compression byte, in
// the data of a MODE SENSE without block descriptors.
constexpr uint8 kDeviceConfigurationPage = 0x10;
constexpr size_t kCompressionByte = 18;

std::string& DataFolderSetting()
{
	static std::string folder;
	return folder;
}

}	// namespace

using StreamerTapeRecords::BackupId;

MVStreamer::MVStreamer()
	:
	BHandler(kClassName),
	fSettingsWindow(this, {kStreamerLocaleAppID, kStreamerTexts, kStreamerTextCount},
		kStreamerTextSettingsTitle)
{
}

void MVStreamer::Settings(BWindow* parent, BHandler* target, const char* language)
{
	fSettingsWindow.OpenFor<MVStreamerWindow>(this, parent, target, language);
}

void MVStreamer::MessageReceived(BMessage* message)
{
	if (!fSettingsWindow.TakeReply(message, kVolumeSettingsReply, this))
		BHandler::MessageReceived(message);
}

// A backup that was not stopped stays unfinished: its entry is dropped the
// next time the list is read, and the next backup goes in its place.
MVStreamer::~MVStreamer()
{
	_CloseDevice();
}

status_t MVStreamer::Archive(BMessage* into, bool deep) const
{
	status_t status = MVVolume::Archive(into, deep);
	if (status == B_OK)
		status = into->AddString(kArchiveClassKey, kClassName);
	if (status == B_OK)
		status = into->AddInt32(kCacheSizeKey, fCacheSize);
	return status;
}

MVStreamer* MVStreamer::Instantiate(BMessage* archive)
{
	if (!IsArchiveOf(archive, kClassName))
		return nullptr;
	auto* streamer = new MVStreamer;
	int32 cacheSize = archive->GetInt32(kCacheSizeKey, kDefaultCacheSize);
	if (cacheSize > 0 && cacheSize <= 0xffffff)
		streamer->fCacheSize = cacheSize;
	streamer->SetPref(*archive);
	return streamer;
}

void MVStreamer::SetDataFolder(const std::string& folder)
{
	DataFolderSetting() = folder;
}

std::string MVStreamer::DataFolder()
{
	if (!DataFolderSetting().empty())
		return DataFolderSetting();
	std::string program;
	if (GetProgramFolder(&program) != B_OK)
		return std::string();
	return program + "/add-ons/destination/streamer_data";
}

int32 MVStreamer::GetType()
{
	return kVolumeTypeStreamer;
}

int64 MVStreamer::GetCapacity()
{
	return -1;
}

int64 MVStreamer::GetFreeSpace()
{
	if (fDevice.InitCheck() != B_OK)
		return -1;
	return fDevice.IsFull() ? 0 : kFreeSpace;
}

bool MVStreamer::IsShared()
{
	return false;
}

const char* MVStreamer::MenuName()
{
	return kMenuName;
}

bool MVStreamer::IsRemovable()
{
	if (!_OpenDevice())
		return false;
	uint8 inquiry[36] = {};
	if (fDevice.Inquiry(inquiry, sizeof(inquiry), 0, false, false) != 0)
		return false;
	return (inquiry[1] & 0x80) != 0;
}

bool MVStreamer::IsReadOnly()
{
	if (!_OpenDevice())
		return true;
	(void)fDevice.LoadUnload(false, false, false, true);
	for (int poll = 0; poll < kLoadPolls && fDevice.TestUnitReady() == kBusy; poll++)
		(void)snooze(kLoadPollWait);
	if (fDevice.TestUnitReady() != 0)
		return true;
	uint8 data[20] = {};
	if (_ModeSense(data, sizeof(data), kDeviceConfigurationPage, true) != 0)
		return true;
	return (data[2] & 0x80) != 0;
}

// #pragma mark - the device and the tape

bool MVStreamer::_OpenDevice()
{
	return fDevice.InitCheck() == B_OK
		|| fDevice.SetTo(_Settings().GetString(kDeviceKey, nullptr)) == 0;
}

bool MVStreamer::_Ready()
{
	return _OpenDevice() && fDevice.TestUnitReady() == 0;
}

void MVStreamer::_CloseDevice()
{
	fDevice.Unset();
	fHeadFilemark = 0;
}

int32 MVStreamer::_GotoFilemark(int32 filemark)
{
	uint8 status;
	if (filemark < fHeadFilemark || filemark <= 1) {
		status = fDevice.Rewind();
		if (status == 0 && filemark > 0)
			status = fDevice.Space(filemark, 1);
	} else {
		status = filemark > fHeadFilemark ? fDevice.Space(filemark - fHeadFilemark, 1) : 0;
	}
	if (status != 0) {
		(void)fDevice.Rewind();
		fHeadFilemark = 0;
		return 1;
	}
	fHeadFilemark = filemark;
	return 0;
}

int32 MVStreamer::_ReadLabel(std::string* mediaId, bool* blank)
{
	*blank = false;
	if (_GotoFilemark(0) != 0)
		return 2;
	uint8 block[StreamerTapeRecords::kBlockSize];
	if (fDevice.Read(block, sizeof(block), false, true) != 0) {
		// BLANK CHECK: nothing was ever written here.
		*blank = fDevice.SenseKey() == 0x8;
		(void)_GotoFilemark(0);
		return 2;
	}
	(void)_GotoFilemark(0);
	return StreamerTapeRecords::DecodeLabel(block, mediaId);
}

int32 MVStreamer::_WriteLabel(const std::string& mediaId)
{
	if (_GotoFilemark(0) != 0)
		return 2;
	uint8 block[StreamerTapeRecords::kBlockSize];
	StreamerTapeRecords::EncodeLabel(mediaId, block);
	if (fDevice.Write(block, sizeof(block), false) != 0
		|| fDevice.WriteFilemarks(1, false, false) != 0) {
		(void)_GotoFilemark(0);
		return 2;
	}
	fHeadFilemark = 1;
	(void)_GotoFilemark(0);
	return 0;
}

bool MVStreamer::_ReadBackupId(BackupId* id)
{
	uint8 block[StreamerTapeRecords::kBlockSize];
	return fDevice.Read(block, sizeof(block), false, true) == 0
		&& StreamerTapeRecords::DecodeBackupId(block, id);
}

bool MVStreamer::_WriteBackupId(const BackupId& id)
{
	uint8 block[StreamerTapeRecords::kBlockSize];
	StreamerTapeRecords::EncodeBackupId(id, block);
	return fDevice.Write(block, sizeof(block), false) == 0;
}

uint8 MVStreamer::_ModeSense(void* buffer, size_t length, uint8 page, bool dbd)
{
	uint8 status = fDevice.ModeSense(buffer, length, page, 0, dbd);
	for (int attempt = 1; status != 0 && attempt < kModeSenseTries; attempt++) {
		(void)snooze(kModeSenseWait);
		status = fDevice.ModeSense(buffer, length, page, 0, dbd);
	}
	return status;
}

void MVStreamer::_SetHardwareCompression(int32 value)
{
	uint8 data[255] = {};
	if (_ModeSense(data, sizeof(data), kDeviceConfigurationPage, true) != 0)
		return;
	data[kCompressionByte] = uint8(value);
	// The mode data length is reserved in MODE SELECT.
	data[0] = 0;
	(void)fDevice.ModeSelect(data, sizeof(data), true, false);
}

// #pragma mark - listing

int32 MVStreamer::FindFirst(mvvol_fib* info)
{
	if (info == nullptr)
		return 1;
	info->index = 0;
	if (!fStarted) {
		if (!_Ready())
			return 1;
		std::string mediaId;
		bool blank = false;
		if (_ReadLabel(&mediaId, &blank) != 0) {
			// Only a blank tape, or one the user lets us overwrite, gets a
			// label: anything else may hold data of another program.
			if (!blank && !IsOverwrite())
				return 2;
			mediaId = StreamerTapeRecords::NewMediaId();
			if (_WriteLabel(mediaId) != 0)
				return 2;
			fMediaBase.Create(mediaId);
			(void)fMediaBase.Write(DataFolder());
		} else if (fMediaBase.Read(DataFolder(), mediaId) != 0) {
			fMediaBase.Create(mediaId);
			fMediaBase.SetListIncomplete(true);
			(void)fMediaBase.Write(DataFolder());
		}
	}
	fWantedName = info->name;
	if (fWantedName == "*")
		return FindNext(info) == 0 ? 0 : 1;
	int32 status;
	while ((status = FindNext(info)) == 0) {
		if (fWantedName == info->name)
			return 0;
	}
	return status;
}

int32 MVStreamer::FindNext(mvvol_fib* info)
{
	if (info == nullptr)
		return 1;
	while (true) {
		if (fMediaBase.IsListIncomplete() && info->index >= fMediaBase.CountBackups()) {
			if (!_ScanNextBackup())
				return 1;
		}
		BackupId id;
		int32 filemark;
		bool active;
		if (!fMediaBase.BackupAt(info->index, &id, &filemark, &active))
			return 1;
		info->index++;
		if (!active)
			continue;
		_CopyText(id.name.c_str(), info->name, sizeof(info->name));
		return 0;
	}
}

bool MVStreamer::_ScanNextBackup()
{
	// A backup read between two calls closed the device.
	if (!fStarted && !_Ready())
		return false;
	int32 filemark = fMediaBase.LastFilemark();
	BackupId id;
	if (_GotoFilemark(filemark) != 0 || !_ReadBackupId(&id)
		|| _GotoFilemark(filemark + 1) != 0) {
		(void)_GotoFilemark(0);
		fMediaBase.SetListIncomplete(false);
		(void)fMediaBase.Write(DataFolder());
		return false;
	}
	fMediaBase.Append(id, filemark);
	fMediaBase.SetLastFilemark(filemark + 1);
	(void)fMediaBase.Write(DataFolder());
	return true;
}

void MVStreamer::_CatchUpWithTape()
{
	// Backups the list lacks lie after its last filemark; the list is
	// completed from the tape before anything is written there.
	fMediaBase.SetListIncomplete(true);
	while (_ScanNextBackup()) {
	}
}

// #pragma mark - a backup

int32 MVStreamer::Start(const char* name, int32 mode)
{
	if (name == nullptr)
		return 2;
	if (!_OpenDevice())
		return 3;
	if (fStarted)
		return 1;
	fMode = mode;
	(void)fDevice.LoadUnload(false, false, false, true);
	if (fDevice.TestUnitReady() != 0)
		return 1;
	mvvol_fib info = {};
	_CopyText(name, info.name, sizeof(info.name));
	int32 found = FindFirst(&info);
	if (found == 2)
		return 4;

	fCachePosition = -1;
	fCacheClean = true;
	fPosition = 0;
	// A backup is written once: a tape that holds one of this name (the
	// medium it just filled, put in again) takes no more of it.
	if (found == 0 && mode == kVolumeModeWrite)
		return 4;
	if (found == 0) {
		int32 index = info.index - 1;
		BackupId id;
		int32 filemark = 0;
		bool active = false;
		if (!fMediaBase.BackupAt(index, &id, &filemark, &active) || _GotoFilemark(filemark) != 0
			|| !_ReadBackupId(&id))
			return 4;
		fCacheSize = id.cacheSize;
		_SetHardwareCompression(id.hardwareCompression);
		fHeldBlock = -1;
		fNextBlock = 0;
		fStarted = true;
		fMediumName = fMediaBase.MediaId();
		return 0;
	}
	if (mode != kVolumeModeWrite) {
		_CloseDevice();
		return 3;
	}
	if (IsOverwrite()) {
		std::string mediaId = fMediaBase.MediaId();
		fMediaBase.Create(mediaId);
	} else if (!fMediaBase.IsTailFree()) {
		_CatchUpWithTape();
	}
	BackupId id;
	id.name = name;
	id.cacheSize = fCacheSize;
	id.hardwareCompression = _Settings().GetBool(kCompressionKey, false) ? 1 : 0;
	int32 filemark = fMediaBase.LastFilemark();
	fMediaBase.Append(id, filemark);
	if (fMediaBase.Write(DataFolder()) != 0 || _GotoFilemark(filemark) != 0
		|| !_WriteBackupId(id))
		return 4;
	fStarted = true;
	fMediumName = fMediaBase.MediaId();
	return 0;
}

int32 MVStreamer::Stop()
{
	if (fDevice.InitCheck() != B_OK)
		return 1;
	int32 status = 0;
	if (!fCacheClean && !_FlushCache())
		status = 4;
	if (fMode == kVolumeModeWrite && fStarted) {
		if (fDevice.WriteFilemarks(1, false, false) != 0) {
			status = 4;
		} else {
			fMediaBase.SetLastFilemark(fMediaBase.LastFilemark() + 1);
			if (fMediaBase.Write(DataFolder()) != 0)
				status = 4;
		}
	}
	fMode = 0;
	(void)_GotoFilemark(0);
	_CloseDevice();
	fPosition = 0;
	fCachePosition = -1;
	fStarted = false;
	return status;
}

bool MVStreamer::_FlushCache()
{
	bool written = fDevice.Write(fCache.data(), size_t(fCacheSize), false) == 0;
	fCachePosition = -1;
	fCacheClean = true;
	return written;
}

int64 MVStreamer::Write(const void* buffer, int64 length)
{
	if (fDevice.InitCheck() != B_OK || length < 0)
		return -1;
	fCache.resize(size_t(fCacheSize));
	if (fCachePosition < 0)
		fCachePosition = 0;
	const uint8* bytes = static_cast<const uint8*>(buffer);
	int64 taken = 0;
	while (length - taken >= fCacheSize - fCachePosition) {
		// Whole blocks go to the tape straight from the caller's bytes.
		if (fCachePosition == 0) {
			if (fDevice.Write(bytes + taken, size_t(fCacheSize), false) != 0)
				return -taken;
			taken += fCacheSize;
			fPosition += fCacheSize;
			if (taken == length)
				return length;
			continue;
		}
		int32 part = fCacheSize - fCachePosition;
		memcpy(fCache.data() + fCachePosition, bytes + taken, size_t(part));
		taken += part;
		fPosition += part;
		fCachePosition = fCacheSize;
		fCacheClean = false;
		if (!_FlushCache())
			return -taken;
		fCachePosition = 0;
		if (taken == length)
			return length;
	}
	int64 rest = length - taken;
	memcpy(fCache.data() + fCachePosition, bytes + taken, size_t(rest));
	fCachePosition += int32(rest);
	fPosition += rest;
	if (rest > 0)
		fCacheClean = false;
	return length;
}

bool MVStreamer::_ReadBlock()
{
	fCache.resize(size_t(fCacheSize));
	if (fDevice.Read(fCache.data(), size_t(fCacheSize), false, true) != 0) {
		fHeldBlock = -1;
		fCachePosition = -1;
		return false;
	}
	fHeldBlock = fNextBlock++;
	fCachePosition = 0;
	return true;
}

int64 MVStreamer::Read(void* buffer, int64 length)
{
	if (fDevice.InitCheck() != B_OK || length < 0)
		return -1;
	uint8* bytes = static_cast<uint8*>(buffer);
	int64 delivered = 0;
	while (delivered < length) {
		if (fCachePosition < 0 || fCachePosition >= fCacheSize) {
			if (!_ReadBlock()) {
				// The filemark after the backup (or the end of data) ends
				// it: a read there is short, as at the end of a file. The
				// drive passed the filemark; it goes back before it, so
				// that the tape stands where the blocks say.
				if (_AtEndOfBackup()) {
					if ((fDevice.SenseData()[2] & 0x80) != 0)
						(void)fDevice.Space(-1, 1);
					return delivered;
				}
				return delivered == 0 ? -1 : -delivered;
			}
		}
		int64 part = std::min<int64>(length - delivered, fCacheSize - fCachePosition);
		memcpy(bytes + delivered, fCache.data() + fCachePosition, size_t(part));
		fCachePosition += int32(part);
		delivered += part;
		fPosition += part;
	}
	return length;
}

bool MVStreamer::_AtEndOfBackup() const
{
	const uint8* sense = fDevice.SenseData();
	bool filemark = (sense[2] & 0x80) != 0 && (sense[2] & 0x0f) == 0;
	return filemark || (sense[2] & 0x0f) == 0x8;
}

int64 MVStreamer::Seek(int64 offset, int32 origin)
{
	if (fDevice.InitCheck() != B_OK
		|| (origin != kVolumeSeekFromStart && origin != kVolumeSeekFromCurrent))
		return -1;
	int64 target = origin == kVolumeSeekFromStart ? offset : fPosition + offset;
	if (target < 0)
		return -1;
	int64 before = fPosition;
	int64 targetBlock = target / fCacheSize;
	int32 targetOffset = int32(target % fCacheSize);
	// The tape moves from the block it stands before, whatever the cache
	// holds, so that no byte of a wrong block is handed out.
	if (targetBlock != fHeldBlock) {
		// SPACE counts in 24 bits, with its sign.
		constexpr int64 kMaxSpace = (1 << 23) - 1;
		int64 move = targetBlock - fNextBlock;
		if (move > kMaxSpace || move < -kMaxSpace)
			return -1;
		if (move != 0 && fDevice.Space(int32(move), 0) != 0)
			return -1;
		fNextBlock = targetBlock;
		if (!_ReadBlock())
			return -1;
	}
	fCachePosition = targetOffset;
	fPosition = target;
	return before;
}

int32 MVStreamer::Delete(const char* name)
{
	if (name == nullptr)
		return 1;
	if (!_Ready())
		return 2;
	mvvol_fib info = {};
	_CopyText(name, info.name, sizeof(info.name));
	if (FindFirst(&info) != 0)
		return 4;
	fMediaBase.Delete(info.index - 1);
	(void)fMediaBase.Write(DataFolder());
	return 0;
}

const char* MVStreamer::MediumName()
{
	return fMediumName.empty() ? nullptr : fMediumName.c_str();
}

int32 MVStreamer::Eject()
{
	if (!_Ready())
		return 1;
	uint8 status = fDevice.LoadUnload(false, false, false, false);
	_CloseDevice();
	return status == 0 ? 0 : 1;
}
