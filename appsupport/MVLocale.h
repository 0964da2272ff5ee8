#pragma once

// MVLocale: the process-wide table that turns a text id into the words of
// the current language, falling back to the built-in English texts.
//
// Ownership and lifetime: GetInstance() creates the one instance on first
// use; the process owns it and may delete it, which clears the instance so
// that the next GetInstance() starts afresh. Strings returned by Text(),
// AppID() and Language() belong to the instance and stay valid until the
// next SetDefaultText(), SetLanguage() or SetAppID() call, or its deletion.
//
// Threads: GetInstance() may be called from any thread. The setters are meant
// for start-up on the main thread; once other threads read texts, nothing
// may change the instance any more (reads are not locked).
//
// Locale files: any file of the locale folder whose typed string attribute
// "mv:language" names the language (at most kMaxLanguageLength bytes are
// read, so a name has at most 63 characters and its terminator) and
// whose content is a flattened BMessage with the strings "mv:app_id" (equal
// to AppID()) and "mv:language", and the string array "mv:text" (index = text
// id). A file is untrusted input: it is read only up to kMaxLocaleFileSize
// bytes, and an empty or missing text of it counts as absent, so that the
// built-in text shows instead of nothing.

#include <atomic>
#include <string>

#include <app/Message.h>
#include <support/SupportDefs.h>

class BDirectory;
class BEntry;
class BPath;
struct entry_ref;

// Results of MVLocale::SetLanguage().
enum {
	kLocaleLoaded = 0,
	kLocaleUnreadable = 1,      // a matching file could not be read or unflattened
	kLocaleNoAppID = 2,         // a matching file without "mv:app_id"
	kLocaleOtherApp = 3,        // a matching file of another application
	kLocaleNoLanguage = 4,      // a matching file without "mv:language"
	kLocaleFolderError = 5,     // the folder or one of its entries cannot be read
	kLocaleNotFound = -1        // no file for the language
};

class MVLocale {
public:
	static constexpr const char* kEnglish = "English";
	static constexpr size_t kMaxLanguageLength = 64;
	static constexpr off_t kMaxLocaleFileSize = 16 * 1024 * 1024;

	static MVLocale* GetInstance();
	~MVLocale();
	MVLocale(const MVLocale&) = delete;
	MVLocale& operator=(const MVLocale&) = delete;

	// A null id is ignored.
	void SetAppID(const char* id);
	const char* AppID() const { return fAppID.c_str(); }
	// "" until a table or a language is set.
	const char* Language() const { return fLanguage.c_str(); }

	// Replaces the default texts by the first count entries of table (null
	// entries become absent texts) and, while no language is set, names the
	// language. Does nothing unless table, count > 0 and a non-empty
	// language are given.
	void SetDefaultText(const char* const* table, int32 count, const char* language);

	// Loads the first locale file of folder for language and returns one of
	// the kLocale results. When the folder cannot be opened the result is
	// kLocaleFolderError and nothing changes; on any other failure the
	// language becomes "English" with the default texts.
	[[nodiscard]] int32 SetLanguage(BDirectory* folder, const char* language);
	[[nodiscard]] int32 SetLanguage(const char* folder, const char* language);
	[[nodiscard]] int32 SetLanguage(const BPath* folder, const char* language);
	[[nodiscard]] int32 SetLanguage(const BEntry* folder, const char* language);
	[[nodiscard]] int32 SetLanguage(const entry_ref* folder, const char* language);

	// The current language's text of id, else the default text, else null.
	const char* Text(int32 id) const;
	// Copies Text(id) into buffer with at most length bytes, as strncpy
	// does: no terminator is added when the text fills the buffer. False when
	// there is no text or no buffer.
	bool GetText(int32 id, char* buffer, size_t length) const;

private:
	MVLocale() = default;

	enum class FileCheck { Skip, Candidate };

	FileCheck _CheckLanguageAttribute(const BEntry& entry, const char* language) const;
	int32 _LoadFile(const BEntry& entry, BMessage* texts) const;
	static const char* _TextOf(const BMessage& texts, int32 id);

	BMessage fCurrentTexts;
	BMessage fDefaultTexts;
	std::string fLanguage;
	std::string fAppID;

	static std::atomic<MVLocale*> sInstance;
};
