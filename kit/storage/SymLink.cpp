#include <storage/SymLink.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include <storage/Directory.h>
#include <storage/Entry.h>
#include <storage/Path.h>

#include "StoragePrivate.h"

BSymLink::BSymLink(const char* path)
{
	(void)SetTo(path);
}


BSymLink::BSymLink(const entry_ref* ref)
{
	(void)SetTo(ref);
}


BSymLink::BSymLink(const BEntry* entry)
{
	(void)SetTo(entry);
}


BSymLink::BSymLink(const BDirectory* directory, const char* path)
{
	(void)SetTo(directory, path);
}


status_t BSymLink::SetTo(const char* path)
{
	status_t status = BNode::SetTo(path);
	return status == B_OK ? _CheckIsLink() : status;
}


status_t BSymLink::SetTo(const entry_ref* ref)
{
	status_t status = BNode::SetTo(ref);
	return status == B_OK ? _CheckIsLink() : status;
}


status_t BSymLink::SetTo(const BEntry* entry)
{
	status_t status = BNode::SetTo(entry);
	return status == B_OK ? _CheckIsLink() : status;
}


status_t BSymLink::SetTo(const BDirectory* directory, const char* path)
{
	status_t status = BNode::SetTo(directory, path);
	return status == B_OK ? _CheckIsLink() : status;
}


status_t BSymLink::_CheckIsLink()
{
	if (IsSymLink())
		return B_OK;
	_SetStatus(B_BAD_VALUE);
	return B_BAD_VALUE;
}


status_t BSymLink::ReadLink(std::string* text)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	if (text == nullptr)
		return B_BAD_VALUE;
	// The node was opened with O_PATH | O_NOFOLLOW: reading through the
	// descriptor reads this very link even if the name was reused since.
	char buffer[PATH_MAX + 1];
	ssize_t length = readlinkat(_Fd(), "", buffer, sizeof(buffer));
	if (length < 0)
		return StatusFromErrno();
	if (size_t(length) >= sizeof(buffer))
		return B_NAME_TOO_LONG;
	text->assign(buffer, size_t(length));
	return B_OK;
}


ssize_t BSymLink::ReadLink(char* buffer, size_t size)
{
	if (buffer == nullptr || size == 0)
		return B_BAD_VALUE;
	std::string text;
	status_t status = ReadLink(&text);
	if (status != B_OK)
		return status;
	size_t copied = std::min(text.size(), size - 1);
	memcpy(buffer, text.data(), copied);
	buffer[copied] = '\0';
	return ssize_t(text.size());
}


ssize_t BSymLink::MakeLinkedPath(const char* folderPath, BPath* path)
{
	if (path == nullptr || folderPath == nullptr)
		return B_BAD_VALUE;
	std::string text;
	status_t status = ReadLink(&text);
	if (status != B_OK)
		return status;
	if (text.empty())
		return B_BAD_DATA;
	if (text[0] == '/') {
		std::string system;
		status = VolumeTable::ToSystem(text.c_str(), &system);
		if (status != B_OK)
			return status;
		status = path->SetTo(system.c_str());
	} else
		status = path->SetTo(folderPath, text.c_str());
	return status == B_OK ? ssize_t(strlen(path->Path())) : status;
}


ssize_t BSymLink::MakeLinkedPath(const BDirectory* folder, BPath* path)
{
	if (folder == nullptr || folder->InitCheck() != B_OK)
		return B_BAD_VALUE;
	return MakeLinkedPath(folder->Path(), path);
}


ssize_t BSymLink::MakeLinkedPath(BPath* path)
{
	if (InitCheck() != B_OK)
		return InitCheck();
	BPath folder;
	status_t status = BPath(Path()).GetParent(&folder);
	if (status != B_OK)
		return status;
	return MakeLinkedPath(folder.Path(), path);
}


bool BSymLink::IsAbsolute()
{
	std::string text;
	return ReadLink(&text) == B_OK && !text.empty() && text[0] == '/';
}
