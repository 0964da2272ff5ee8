#pragma once

// MVVolume: a destination that holds backups, each addressed by its name.
//
// Contract: a destination add-on exports instantiate_mvvolume and
// instantiate2_mvvolume with C linkage; each returns a new object that the
// caller owns and deletes through the virtual destructor before it unloads
// the add-on's image. The object is used by one thread at a time. It keeps
// one backup open at most (Start ... Stop) and a listing (FindFirst ...
// FindNext) independent of it.
//
// The object's settings are a message that it owns; the base keeps the keys
// below in it and add-ons add their own. Strings handed out (Name,
// MenuName) stay valid until the settings change or the object goes.
//
// The order of the virtual operations is the calling contract between the
// programs and every destination add-on (Seek comes before Read); new
// operations go after Eject only.
//
// Status codes: Start, Stop, Delete, FindFirst, FindNext and Eject return 0
// for success and small positive codes that each add-on documents; Write and
// Read return the length on success and anything else (-1 or a negative
// error) on failure; Seek returns a negative value on failure.

#include <app/Message.h>
#include <interface/Rect.h>
#include <support/SupportDefs.h>

class BHandler;
class BWindow;

// The record FindFirst and FindNext fill. On entry to FindFirst, name holds
// "*" (every backup) or the name of one backup. index belongs to the
// destination between the calls; callers hand the record back unchanged.
struct mvvol_fib {
	char name[256];
	int32 index;
};

// Settings keys of the base.
constexpr const char* kVolumeNameKey = "MVVOLNAME";
constexpr const char* kVolumeOverwriteKey = "MVVOLOVERWRITE";
constexpr const char* kVolumeRemovableKey = "MVVOLREMOVABLE";
constexpr const char* kVolumeWindowFrameKey = "winpos";
// The archive's class field.
constexpr const char* kArchiveClassKey = "class";

// Start modes: a new backup for writing, an existing one for reading.
constexpr int32 kVolumeModeWrite = 1;
constexpr int32 kVolumeModeRead = 2;

// Seek origins.
constexpr int32 kVolumeSeekFromStart = 0;
constexpr int32 kVolumeSeekFromCurrent = 1;

// GetType results.
constexpr int32 kVolumeTypeBase = 0;
constexpr int32 kVolumeTypeImage = 1;
constexpr int32 kVolumeTypeStreamer = 2;

// The reply code of an add-on's settings window.
constexpr uint32 kVolumeSettingsReply = 'news';

class MVVolume {
public:
	MVVolume();
	MVVolume(const MVVolume&) = delete;
	MVVolume& operator=(const MVVolume&) = delete;

	virtual ~MVVolume();
	// Adds "class" = "MVVolume" and the base keys: the name ("" when
	// absent), both flags (false when absent) and the window frame (an
	// invalid rectangle when absent). Subclasses add their own class after.
	[[nodiscard]] virtual status_t Archive(BMessage* into, bool deep = true) const;
	virtual int32 GetType();
	virtual bool IsOverwrite() const;
	// Bytes; -1 when unknown.
	virtual int64 GetCapacity();
	virtual int64 GetFreeSpace();
	// The base answers the "MVVOLREMOVABLE" flag.
	virtual bool IsRemovable();
	virtual bool IsReadOnly();
	virtual bool IsShared();
	virtual void SetOverwrite(bool overwrite);
	virtual void SetRemovable(bool removable);
	// The "MVVOLNAME" string, or null.
	virtual const char* Name() const;
	// Copies Name() into buffer, cut to size - 1 bytes and terminated; an
	// empty string when there is no name.
	virtual void GetName(char* buffer, size_t size);
	virtual void SetName(const char* name);
	// Opens the add-on's settings window; the result comes back to target
	// as a kVolumeSettingsReply message when the user confirms.
	virtual void Settings(BWindow* parent, BHandler* target, const char* language);
	virtual void SetWinPos(BRect frame);
	virtual void SetPref(BMessage settings);
	virtual void GetPref(BMessage* settings);
	virtual int32 Delete(const char* name);
	virtual int32 Start(const char* name, int32 mode);
	virtual int32 Stop();
	virtual int64 Write(const void* buffer, int64 length);
	virtual int64 Seek(int64 offset, int32 origin);
	virtual int64 Read(void* buffer, int64 length);
	// The text of the destination menus, or null.
	virtual const char* MenuName();
	// Copies MenuName() into buffer like GetName; leaves it alone when
	// there is no menu name.
	virtual void GetMenuName(char* buffer, size_t size);
	virtual int32 FindFirst(mvvol_fib* info);
	virtual int32 FindNext(mvvol_fib* info);
	virtual int32 Eject();
	// The name of the medium in use since Start (a tape's media ID), by
	// which it can be asked for again; null when the medium has none.
	virtual const char* MediumName();

	// A destination with the base keys of an archive of class "MVVolume",
	// or null for any other message. The caller owns it.
	static MVVolume* Instantiate(BMessage* archive);
	// Whether an archive names className among its "class" entries.
	static bool IsArchiveOf(const BMessage* archive, const char* className);

protected:
	const BMessage& _Settings() const { return fSettings; }
	// Sets a key of the settings to one value, whatever it held before.
	void _SetBool(const char* key, bool value);
	void _SetString(const char* key, const char* value);
	void _SetRect(const char* key, BRect value);
	// Copies text into buffer, cut and terminated.
	static void _CopyText(const char* text, char* buffer, size_t size);

private:
	BMessage fSettings;
};

// The factories every destination add-on exports.
extern "C" {
typedef MVVolume* (*instantiate_mvvolume_func)();
typedef MVVolume* (*instantiate2_mvvolume_func)(BMessage* archive);
}
constexpr const char* kInstantiateVolumeSymbol = "instantiate_mvvolume";
constexpr const char* kInstantiateVolumeFromArchiveSymbol = "instantiate2_mvvolume";
