#include "MVImage.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include <kernel/fs_info.h>
#include <storage/Entry.h>
#include <storage/VolumeTable.h>

#include "MVImageTexts.h"
#include "MVImageWindow.h"

namespace {

constexpr const char* kClassName = "MVImage";
constexpr const char* kMenuName = "Image";
constexpr mode_t kFolderMode = 0777;


// True when a record's name is terminated within its buffer and not empty.
bool HasUsableName(const mvvol_fib* info)
{
	return info != nullptr && info->name[0] != '\0'
		&& memchr(info->name, '\0', sizeof(info->name)) != nullptr;
}


void CopyName(const char* name, mvvol_fib* info)
{
	size_t length = strnlen(name, sizeof(info->name) - 1);
	memcpy(info->name, name, length);
	info->name[length] = '\0';
}

}	// namespace


MVImage::MVImage()
	:
	BHandler(kClassName),
	fSettingsWindow(this, {kImageLocaleAppID, kImageTexts, kImageTextCount},
		kImageTextSettingsTitle)
{
}


MVImage::~MVImage()
{
	_CloseListing();
	_CloseImage();
}


status_t MVImage::Archive(BMessage* into, bool deep) const
{
	status_t status = MVVolume::Archive(into, deep);
	if (status != B_OK)
		return status;
	return into->AddString(kArchiveClassKey, kClassName);
}


int32 MVImage::GetType()
{
	return kVolumeTypeImage;
}


int64 MVImage::GetCapacity()
{
	BVolume volume;
	if (!_GetVolume(&volume))
		return -1;
	off_t capacity = volume.Capacity();
	return capacity >= 0 ? capacity : -1;
}


int64 MVImage::GetFreeSpace()
{
	BVolume volume;
	if (!_GetVolume(&volume))
		return -1;
	off_t freeBytes = volume.FreeBytes();
	if (freeBytes < 0)
		return -1;
	// A volume that counts in bytes needs nothing held back.
	off_t blockSize = volume.BlockSize();
	return std::max<off_t>(0, freeBytes - (blockSize > 1 ? blockSize : 0));
}


bool MVImage::IsRemovable()
{
	if (MVVolume::IsRemovable())
		return true;
	BVolume volume;
	return _GetVolume(&volume) && volume.IsRemovable();
}


bool MVImage::IsReadOnly()
{
	BVolume volume;
	return !_GetVolume(&volume) || volume.IsReadOnly();
}


bool MVImage::IsShared()
{
	BVolume volume;
	return _GetVolume(&volume) && volume.IsShared();
}


void MVImage::Settings(BWindow* parent, BHandler* target, const char* language)
{
	fSettingsWindow.OpenFor<MVImageWindow>(this, parent, target, language);
}


int32 MVImage::Delete(const char* name)
{
	if (name == nullptr)
		return kImageDeleteNoName;
	const char* folder = Name();
	if (folder == nullptr || !IsUsableBackupName(name))
		return kImageDeleteBadEntry;
	BDirectory directory(folder);
	BEntry entry(&directory, name);
	if (directory.InitCheck() != B_OK || entry.InitCheck() != B_OK)
		return kImageDeleteBadEntry;
	if (!entry.Exists())
		return kImageDeleteFailed;
	// An image that a job holds open stays; the lock goes with the node.
	BNode node(&entry);
	if (node.InitCheck() == B_OK && node.Lock() == B_BUSY)
		return kImageDeleteFailed;
	return entry.Remove() == B_OK ? kImageOK : kImageDeleteFailed;
}


int32 MVImage::Start(const char* name, int32 mode)
{
	if (fImage)
		return kImageAlreadyOpen;
	if (name == nullptr || !IsUsableBackupName(name))
		return kImageNoName;
	const char* folder = Name();
	if (folder == nullptr)
		return kImageCannotOpen;
	if (_Settings().GetBool(kImageCreatePathKey))
		(void)create_directory(folder, kFolderMode);

	bool writing = mode == kVolumeModeWrite;
	// Reading needs no write access, so backups on read-only media can be
	// restored.
	uint32 openMode = writing ? B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS : B_READ_ONLY;
	BDirectory directory(folder);
	auto image = std::make_unique<BFile>();
	if (directory.InitCheck() != B_OK || image->SetTo(&directory, name, openMode) != B_OK)
		return kImageCannotOpen;
	if (image->Lock() != B_OK)
		return kImageCannotOpen;
	fImage = std::move(image);
	fWriting = writing;
	return kImageOK;
}


int32 MVImage::Stop()
{
	if (!fImage)
		return kImageNotOpen;
	// A medium may be taken out right after Stop; what was written must be
	// on it, or the caller must learn that it may not be.
	bool synced = !fWriting || fImage->Sync() == B_OK;
	_CloseImage();
	return synced ? kImageOK : kImageNotSynced;
}


int64 MVImage::Write(const void* buffer, int64 length)
{
	if (!fImage)
		return -1;
	if (length < 0 || uint64(length) > uint64(SSIZE_MAX) || (buffer == nullptr && length > 0))
		return B_BAD_VALUE;
	status_t status = _CheckRoomFor(length);
	if (status != B_OK)
		return status;
	return int64(fImage->Write(buffer, size_t(length)));
}


int64 MVImage::Seek(int64 offset, int32 origin)
{
	if (!fImage)
		return -1;
	if (origin != kVolumeSeekFromStart && origin != kVolumeSeekFromCurrent)
		return B_BAD_VALUE;
	return fImage->Seek(offset, origin == kVolumeSeekFromStart ? SEEK_SET : SEEK_CUR);
}


int64 MVImage::Read(void* buffer, int64 length)
{
	if (!fImage)
		return -1;
	if (length < 0 || uint64(length) > uint64(SSIZE_MAX) || (buffer == nullptr && length > 0))
		return B_BAD_VALUE;
	return int64(fImage->Read(buffer, size_t(length)));
}


const char* MVImage::MenuName()
{
	return kMenuName;
}


int32 MVImage::FindFirst(mvvol_fib* info)
{
	if (!HasUsableName(info))
		return kImageFindBadRecord;
	_CloseListing();
	const char* folder = Name();
	if (folder == nullptr)
		return kImageFindNoFolder;
	auto listing = std::make_unique<BDirectory>(folder);
	if (listing->InitCheck() != B_OK)
		return kImageFindNoFolder;

	if (strcmp(info->name, "*") != 0) {
		if (!IsUsableBackupName(info->name))
			return kImageFindNoFolder;
		return listing->Contains(info->name) ? kImageOK : kImageFindNoEntry;
	}
	if (listing->Rewind() != B_OK)
		return kImageFindNoFolder;
	fListing = std::move(listing);
	if (FindNext(info) != kImageOK)
		return kImageFindNoEntry;
	return kImageOK;
}


int32 MVImage::FindNext(mvvol_fib* info)
{
	if (!fListing || info == nullptr) {
		_CloseListing();
		return kImageFindEnd;
	}
	BEntry entry;
	char name[B_FILE_NAME_LENGTH];
	if (fListing->GetNextEntry(&entry) != B_OK || entry.GetName(name) != B_OK) {
		_CloseListing();
		return kImageFindEnd;
	}
	CopyName(name, info);
	return kImageOK;
}


int32 MVImage::Eject()
{
	if (fImage)
		return kImageEjectBusy;
	if (!IsRemovable())
		return kImageEjectNotRemovable;
	// An open listing would keep a real volume busy.
	_CloseListing();
	BVolume volume;
	if (!_GetVolume(&volume))
		return kImageEjectFailed;
	status_t status = VolumeTable::Eject(volume.Device());
	if (status != B_OK) {
		fprintf(stderr, "MVImage: cannot eject \"%s\": %s\n", Name(), strerror_status(status));
		return kImageEjectFailed;
	}
	return kImageOK;
}


void MVImage::MessageReceived(BMessage* message)
{
	if (!fSettingsWindow.TakeReply(message, kVolumeSettingsReply, this))
		BHandler::MessageReceived(message);
}


MVImage* MVImage::Instantiate(BMessage* archive)
{
	if (!IsArchiveOf(archive, kClassName))
		return nullptr;
	return new (std::nothrow) MVImage;
}


bool MVImage::IsUsableBackupName(const char* name)
{
	if (name == nullptr)
		return false;
	size_t length = strnlen(name, B_FILE_NAME_LENGTH);
	return length > 0 && length < B_FILE_NAME_LENGTH && strchr(name, '/') == nullptr
		&& strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}


bool MVImage::_GetVolume(BVolume* volume) const
{
	const char* folder = Name();
	if (folder == nullptr)
		return false;
	int32 device = dev_for_path(folder);
	return device > 0 && volume->SetTo(dev_t(device)) == B_OK;
}


// The file system has the last word; this only stops a write that the
// volume's own count says cannot fit, before any of it lands. The image
// grows into the rest of its last block first, then into free blocks.
status_t MVImage::_CheckRoomFor(int64 length)
{
	off_t size;
	off_t position = fImage->Position();
	if (position < 0 || fImage->GetSize(&size) != B_OK)
		return B_OK;
	if (length <= size - position)
		return B_OK;
	off_t growth = length - (size - position);
	BVolume volume;
	if (!_GetVolume(&volume))
		return B_OK;
	off_t freeBytes = volume.FreeBytes();
	off_t blockSize = std::max<off_t>(volume.BlockSize(), 1);
	off_t lastBlockRest = (blockSize - size % blockSize) % blockSize;
	return freeBytes >= 0 && growth > freeBytes + lastBlockRest ? B_DEVICE_FULL : B_OK;
}


void MVImage::_CloseListing()
{
	fListing.reset();
}


void MVImage::_CloseImage()
{
	if (!fImage)
		return;
	(void)fImage->Unlock();
	fImage.reset();
	fWriting = false;
}
