#include <storage/Path.h>

#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/VolumeTable.h>

BPath::BPath(const char* path, const char* leaf, bool normalize)
{
	(void)SetTo(path, leaf, normalize);
}


BPath::BPath(const BDirectory* directory, const char* leaf, bool normalize)
{
	(void)SetTo(directory, leaf, normalize);
}


BPath::BPath(const entry_ref* ref)
{
	(void)SetTo(ref);
}


BPath::BPath(const BEntry* entry)
{
	(void)SetTo(entry);
}


status_t BPath::SetTo(const char* path, const char* leaf, bool normalize)
{
	Unset();
	if (path == nullptr || (leaf != nullptr && leaf[0] == '/'))
		return fStatus = B_BAD_VALUE;
	std::string joined(path);
	if (leaf != nullptr && leaf[0] != '\0') {
		joined += '/';
		joined += leaf;
	}
	std::string normalized;
	status_t status = VolumeTable::Normalize(joined.c_str(), &normalized);
	if (status == B_OK && normalize) {
		VolumeTable::Location location;
		status = VolumeTable::Locate(normalized.c_str(), &location);
		normalized = std::move(location.canonicalPath);
	}
	if (status != B_OK)
		return fStatus = status;
	fPath = std::move(normalized);
	return fStatus = B_OK;
}


status_t BPath::SetTo(const BDirectory* directory, const char* leaf, bool normalize)
{
	if (directory == nullptr || directory->InitCheck() != B_OK) {
		Unset();
		return fStatus = B_BAD_VALUE;
	}
	return SetTo(directory->Path(), leaf, normalize);
}


status_t BPath::SetTo(const entry_ref* ref)
{
	if (ref == nullptr) {
		Unset();
		return fStatus = B_BAD_VALUE;
	}
	return SetTo(ref->path.c_str());
}


status_t BPath::SetTo(const BEntry* entry)
{
	if (entry == nullptr || entry->InitCheck() != B_OK) {
		Unset();
		return fStatus = B_BAD_VALUE;
	}
	return SetTo(entry->Path());
}


void BPath::Unset()
{
	fPath.clear();
	fStatus = B_NO_INIT;
}


const char* BPath::Path() const
{
	return fStatus == B_OK ? fPath.c_str() : nullptr;
}


const char* BPath::Leaf() const
{
	if (fStatus != B_OK)
		return nullptr;
	return fPath.c_str() + fPath.rfind('/') + 1;
}


status_t BPath::GetParent(BPath* parent) const
{
	if (fStatus != B_OK)
		return fStatus;
	if (parent == nullptr)
		return B_BAD_VALUE;
	if (fPath == "/")
		return B_ENTRY_NOT_FOUND;
	size_t slash = fPath.rfind('/');
	return parent->SetTo(slash == 0 ? "/" : fPath.substr(0, slash).c_str());
}


status_t BPath::Append(const char* path, bool normalize)
{
	if (fStatus != B_OK)
		return fStatus;
	if (path == nullptr || path[0] == '/')
		return B_BAD_VALUE;
	// On failure the path stays as it was.
	BPath appended;
	status_t status = appended.SetTo(fPath.c_str(), path, normalize);
	if (status == B_OK)
		*this = std::move(appended);
	return status;
}


bool BPath::operator==(const BPath& other) const
{
	if (fStatus != B_OK || other.fStatus != B_OK)
		return fStatus != B_OK && other.fStatus != B_OK;
	return fPath == other.fPath;
}


bool BPath::operator==(const char* path) const
{
	if (fStatus != B_OK || path == nullptr)
		return fStatus != B_OK && path == nullptr;
	return fPath == path;
}
