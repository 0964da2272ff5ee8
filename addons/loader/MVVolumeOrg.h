#pragma once

// MVVolumeOrg loads a destination add-on by file name and forwards to the
// destination object it makes, so that the server can scan destinations and
// delete backups without a worker. Without a destination every operation
// answers as if the medium were absent. The wrapper owns the object and the
// image; it deletes the object before it unloads the image. Used on one
// thread at a time.

#include "AddOnLoader.h"

class MVVolumeOrg {
public:
	// Both null: an empty wrapper; otherwise SetTo(name, settings).
	MVVolumeOrg(const char* name = nullptr, const BMessage* settings = nullptr,
		const AddOnLoader& loader = AddOnLoader());
	virtual ~MVVolumeOrg();
	MVVolumeOrg(const MVVolumeOrg&) = delete;
	MVVolumeOrg& operator=(const MVVolumeOrg&) = delete;

	virtual int32 GetType();
	virtual bool IsOverwrite();
	virtual int64 GetCapacity();
	virtual int64 GetFreeSpace();
	virtual bool IsRemovable();
	virtual bool IsReadOnly();
	virtual bool IsShared();
	virtual void SetOverwrite(bool overwrite);
	virtual void SetRemovable(bool removable);
	virtual const char* Name();
	virtual void GetName(char* buffer, size_t size);
	virtual void SetName(const char* name);
	virtual void Settings(BWindow* parent, BHandler* target);
	virtual void SetWinPos(BRect frame);
	virtual void SetPref(const BMessage* settings);
	virtual void GetPref(BMessage* settings);
	virtual int32 Delete(const char* name);
	virtual int32 Start(const char* name, int32 mode);
	virtual int32 Stop();
	virtual int64 Write(const void* buffer, int64 length);
	virtual int64 Seek(int64 offset, int32 origin);
	virtual int64 Read(void* buffer, int64 length);
	virtual const char* MenuName();
	virtual void GetMenuName(char* buffer, size_t size);
	virtual int32 FindFirst(mvvol_fib* info);
	virtual int32 FindNext(mvvol_fib* info);

	// 0 loaded; 1 no name given; 2 the add-on could not be loaded or made no
	// destination object.
	int32 SetTo(const char* name, const BMessage* settings);
	void Unset();
	// True while no destination is loaded.
	bool InitCheck() const { return fVolume == nullptr; }

private:
	AddOnLoader fLoader;
	MVVolume* fVolume = nullptr;
	image_id fImage = 0;
};
