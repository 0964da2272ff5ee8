#pragma once

// MVCruncher: the compressor object of a compressor add-on. An add-on creates
// it with its factory (CruncherAddOn.h); the caller owns it and deletes it
// through the virtual destructor before it unloads the add-on image, whose
// code the object runs. One thread at a time uses an object; Compress() and
// Decompress() keep no state between calls, so every block stands alone.
//
// The object owns its settings message: "MVCRUNAME" (string, the display name
// set with SetName(), absent until set) and "winpos" (BRect, the frame of the
// settings window). Pointers returned by Name() and MenuName() stay valid
// until the settings change or the object is deleted.
//
// The base class is the pass-through compressor: its output is its input.
// The order of the virtual operations is the add-on interface and must not
// change; new operations go after SetWinPos().

#include <app/Message.h>
#include <interface/Rect.h>
#include <support/Errors.h>
#include <support/SupportDefs.h>

class BHandler;
class BWindow;

// A data block holds at most this many bytes (a 64 KiB block less its 24-byte
// header); Compress() is never given more.
constexpr uint32 kCruncherMaxBlockLength = 65512;
// Decompress() writes into a destination of this many bytes and never past it.
constexpr uint32 kCruncherDestinationSize = 65536;
// What Decompress() returns for input it cannot restore within the
// destination: a corrupt block, never a length.
constexpr uint32 kCruncherBadData = 0xFFFFFFFF;

class MVCruncher {
public:
	MVCruncher();
	virtual ~MVCruncher();
	MVCruncher(const MVCruncher&) = delete;
	MVCruncher& operator=(const MVCruncher&) = delete;

	// Adds "class" = "MVCruncher" and "winpos" (an invalid rectangle when no
	// frame is stored); a derived class then adds its own "class" entry.
	[[nodiscard]] virtual status_t Archive(BMessage* into, bool deep = true) const;
	virtual bool HasSettings() const;
	// Opens the settings window of the add-on; the base has none.
	virtual void Settings(BWindow* parent, BHandler* target, const char* language);
	// Replaces the settings by a copy of the given ones.
	virtual void SetPref(BMessage settings);
	// Empties the message and copies the settings into it.
	virtual void GetPref(BMessage* settings) const;
	// The name of the compression menu item, or null (the base has none).
	virtual const char* MenuName() const;
	// Writes the menu name, cut to fit bufferSize bytes with its terminator;
	// writes nothing when there is no menu name.
	virtual void GetMenuName(char* buffer, size_t bufferSize) const;
	// "MVCRUNAME", or null when no name was set.
	virtual const char* Name() const;
	// Writes the name cut to fit bufferSize bytes, or "" when none was set.
	virtual void GetName(char* buffer, size_t bufferSize) const;
	virtual void SetName(const char* name);
	// Compresses length bytes (at most kCruncherMaxBlockLength) from source
	// into destination, which has room for length + 1 bytes, and returns the
	// number of bytes written. Always succeeds.
	virtual uint32 Compress(const uint8* source, uint8* destination, uint32 length);
	// Restores a block that Compress() made from exactly its length bytes into
	// destination (kCruncherDestinationSize bytes) and returns the restored
	// length, or kCruncherBadData for a block that cannot be restored.
	virtual uint32 Decompress(const uint8* source, uint8* destination, uint32 length);
	virtual void SetWinPos(BRect frame);

	// A new MVCruncher when the archive names the class "MVCruncher", else
	// null. Settings are not restored from the archive.
	static MVCruncher* Instantiate(const BMessage* archive);

protected:
	// True when one of the archive's "class" entries is className.
	static bool _ArchiveNamesClass(const BMessage* archive, const char* className);
	// Copies text into buffer, cut to bufferSize bytes with its terminator.
	static void _CopyText(const char* text, char* buffer, size_t bufferSize);

private:
	BMessage fSettings;
};
