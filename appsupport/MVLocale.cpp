#include "MVLocale.h"

#include <cstring>
#include <mutex>
#include <vector>

#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/EntryRef.h>
#include <storage/File.h>
#include <storage/Node.h>
#include <storage/Path.h>
#include <support/TypeConstants.h>

namespace {

constexpr const char* kAppIDField = "mv:app_id";
constexpr const char* kLanguageField = "mv:language";
constexpr const char* kTextField = "mv:text";
constexpr const char* kLanguageAttribute = "mv:language";

std::mutex sCreateLock;

}	// namespace


std::atomic<MVLocale*> MVLocale::sInstance{nullptr};


MVLocale* MVLocale::GetInstance()
{
	MVLocale* instance = sInstance.load(std::memory_order_acquire);
	if (instance != nullptr)
		return instance;

	// Creation is locked so that two threads racing here cannot each make
	// an instance; afterwards the fast path above needs no lock.
	std::lock_guard<std::mutex> lock(sCreateLock);
	instance = sInstance.load(std::memory_order_relaxed);
	if (instance == nullptr) {
		instance = new MVLocale;
		sInstance.store(instance, std::memory_order_release);
	}
	return instance;
}


MVLocale::~MVLocale()
{
	MVLocale* self = this;
	sInstance.compare_exchange_strong(self, nullptr);
}


void MVLocale::SetAppID(const char* id)
{
	if (id != nullptr)
		fAppID = id;
}


void MVLocale::SetDefaultText(const char* const* table, int32 count, const char* language)
{
	if (table == nullptr || count <= 0 || language == nullptr || language[0] == '\0')
		return;

	// The array is indexed by text id, so an id without a text keeps its
	// place as an empty string, which the lookups treat as absent.
	BMessage texts;
	for (int32 id = 0; id < count; id++) {
		if (texts.AddString(kTextField, table[id] != nullptr ? table[id] : "") != B_OK)
			return;
	}
	fDefaultTexts = std::move(texts);
	if (fLanguage.empty())
		fLanguage = language;
}


int32 MVLocale::SetLanguage(BDirectory* folder, const char* language)
{
	if (folder == nullptr || folder->InitCheck() != B_OK || folder->Rewind() != B_OK)
		return kLocaleFolderError;

	if (language == nullptr)
		language = "";

	int32 result = kLocaleNotFound;
	BMessage texts;
	while (true) {
		BEntry entry;
		status_t status = folder->GetNextEntry(&entry, false);
		if (status == B_ENTRY_NOT_FOUND)
			break;
		if (status != B_OK) {
			result = kLocaleFolderError;
			break;
		}
		if (_CheckLanguageAttribute(entry, language) == FileCheck::Skip)
			continue;
		result = _LoadFile(entry, &texts);
		if (result == kLocaleLoaded)
			break;
	}

	if (result != kLocaleLoaded) {
		fLanguage = kEnglish;
		fCurrentTexts = fDefaultTexts;
		return result;
	}

	const char* loadedLanguage = nullptr;
	(void)texts.FindString(kLanguageField, &loadedLanguage);
	fLanguage = loadedLanguage;
	fCurrentTexts = std::move(texts);
	return kLocaleLoaded;
}


int32 MVLocale::SetLanguage(const char* folder, const char* language)
{
	if (folder == nullptr)
		return kLocaleFolderError;
	BDirectory directory(folder);
	return SetLanguage(&directory, language);
}


int32 MVLocale::SetLanguage(const BPath* folder, const char* language)
{
	if (folder == nullptr)
		return kLocaleFolderError;
	return SetLanguage(folder->Path(), language);
}


int32 MVLocale::SetLanguage(const BEntry* folder, const char* language)
{
	if (folder == nullptr)
		return kLocaleFolderError;
	BDirectory directory(folder);
	return SetLanguage(&directory, language);
}


int32 MVLocale::SetLanguage(const entry_ref* folder, const char* language)
{
	if (folder == nullptr)
		return kLocaleFolderError;
	BDirectory directory(folder);
	return SetLanguage(&directory, language);
}


const char* MVLocale::Text(int32 id) const
{
	const char* text = _TextOf(fCurrentTexts, id);
	if (text != nullptr)
		return text;
	return _TextOf(fDefaultTexts, id);
}


bool MVLocale::GetText(int32 id, char* buffer, size_t length) const
{
	const char* text = Text(id);
	if (text == nullptr)
		return false;
	if (length == 0)
		return true;
	if (buffer == nullptr)
		return false;
	strncpy(buffer, text, length);
	return true;
}


// A file is a candidate when its "mv:language" attribute is a string equal
// to the language. At most kMaxLanguageLength bytes are read; a longer value
// is not cut to fit, since its prefix could match another name.
MVLocale::FileCheck MVLocale::_CheckLanguageAttribute(const BEntry& entry,
	const char* language) const
{
	// Locale files may be installed as links; a link that leads nowhere is
	// skipped like any other file without the attribute.
	BEntry target;
	if (entry.Path() == nullptr || target.SetTo(entry.Path(), true) != B_OK)
		return FileCheck::Skip;
	BNode node(&target);
	attr_info info;
	if (node.InitCheck() != B_OK || node.GetAttrInfo(kLanguageAttribute, &info) != B_OK
		|| info.type != B_STRING_TYPE) {
		return FileCheck::Skip;
	}

	char name[kMaxLanguageLength + 1] = {};
	ssize_t size = node.ReadAttr(kLanguageAttribute, B_STRING_TYPE, 0, name,
		kMaxLanguageLength);
	if (size <= 0)
		return FileCheck::Skip;
	size_t nameLength = strnlen(name, size_t(size));
	bool terminated = nameLength < size_t(size);
	if (!terminated && info.size > off_t(kMaxLanguageLength))
		return FileCheck::Skip;
	if (nameLength == 0 || strcmp(name, language) != 0)
		return FileCheck::Skip;
	return FileCheck::Candidate;
}


int32 MVLocale::_LoadFile(const BEntry& entry, BMessage* texts) const
{
	BFile file(&entry, B_READ_ONLY);
	off_t size = 0;
	if (file.InitCheck() != B_OK || file.GetSize(&size) != B_OK || size <= 0
		|| size > kMaxLocaleFileSize) {
		return kLocaleUnreadable;
	}

	std::vector<char> data(static_cast<size_t>(size));
	if (file.ReadAt(0, data.data(), data.size()) != ssize_t(data.size()))
		return kLocaleUnreadable;
	texts->MakeEmpty();
	if (texts->Unflatten(data.data(), data.size()) != B_OK)
		return kLocaleUnreadable;

	const char* appID = nullptr;
	if (texts->FindString(kAppIDField, &appID) != B_OK)
		return kLocaleNoAppID;
	if (fAppID != appID)
		return kLocaleOtherApp;
	const char* language = nullptr;
	if (texts->FindString(kLanguageField, &language) != B_OK)
		return kLocaleNoLanguage;
	return kLocaleLoaded;
}


const char* MVLocale::_TextOf(const BMessage& texts, int32 id)
{
	const char* text = nullptr;
	if (id < 0 || texts.FindString(kTextField, id, &text) != B_OK)
		return nullptr;
	return text[0] != '\0' ? text : nullptr;
}
