#include "CatalogueFile.h"

#include <utility>
#include <vector>

#include <storage/AtomicFileWriter.h>
#include <storage/File.h>
#include <storage/Node.h>

#include "ArchiveFormat.h"
#include "Catalogue.h"
#include "CatalogueFormat.h"
#include "JobTitle.h"

namespace {

status_t WriteNumber(BNode* node, const char* name, type_code type, uint64 value,
	size_t size)
{
	uint8 bytes[8];
	WriteLE64(bytes, value);
	ssize_t written = node->WriteAttr(name, type, 0, bytes, size);
	if (written == ssize_t(size))
		return B_OK;
	return written < 0 ? status_t(written) : B_IO_ERROR;
}

status_t WriteAttributes(BNode* node, const BMessage& catalogue)
{
	const char* title = "";
	if (catalogue.FindString(kLogTitleKey, &title) != B_OK)
		title = "";
	int32 date = 0;
	int16 version = 0;
	int64 size = 0;
	int32 jobId = 0;
	int32 mode = 0;
	int32 baseId = 0;
	const char* password = "";
	(void)catalogue.FindInt32(kLogDateKey, &date);
	(void)catalogue.FindInt16(kLogVersionKey, &version);
	(void)catalogue.FindInt64(kLogSizeKey, &size);
	(void)catalogue.FindInt32(kLogJobIdKey, &jobId);
	(void)catalogue.FindInt32(kLogModeKey, &mode);
	(void)catalogue.FindInt32(kLogBaseIdKey, &baseId);
	if (catalogue.FindString(kLogCryptKey, &password) != B_OK)
		password = "";

	const char* destination = "";
	if (catalogue.FindString(kLogDestinationKey, &destination) != B_OK)
		destination = "";

	// The content keeps the whole title; the attribute, read by listings,
	// takes as much as every file system can hold.
	for (auto [name, text] : {std::pair{kCatalogueTitleAttribute, CappedTitle(title)},
			std::pair{kCatalogueDestinationAttribute, CappedTitle(destination)}}) {
		ssize_t written = node->WriteAttr(name, B_STRING_TYPE, 0, text.c_str(), text.size() + 1);
		if (written != ssize_t(text.size() + 1))
			return written < 0 ? status_t(written) : B_IO_ERROR;
	}

	struct Number {
		const char* name;
		type_code type;
		uint64 value;
		size_t size;
	};
	const Number numbers[] = {
		{kCatalogueDateAttribute, B_TIME_TYPE, uint32(date), 4},
		{kCatalogueVersionAttribute, B_UINT16_TYPE, uint16(version), 2},
		{kCatalogueSizeAttribute, B_UINT64_TYPE, uint64(size), 8},
		{kCatalogueJobIdAttribute, B_INT32_TYPE, uint32(jobId), 4},
		{kCatalogueModeAttribute, B_INT32_TYPE, uint32(mode), 4},
		{kCatalogueBaseIdAttribute, B_INT32_TYPE, uint32(baseId), 4},
		{kCataloguePasswordAttribute, B_INT32_TYPE, password[0] != '\0' ? 1u : 0u, 4},
	};
	for (const Number& number : numbers) {
		status_t status = WriteNumber(node, number.name, number.type, number.value,
			number.size);
		if (status != B_OK)
			return status;
	}
	return B_OK;
}

uint64 ReadNumber(BNode* node, const char* name, size_t size)
{
	uint8 bytes[8] = {};
	ssize_t read = node->ReadAttr(name, 0, 0, bytes, size);
	if (read != ssize_t(size))
		return 0;
	return ReadLE64(bytes);
}

}

std::string CatalogueFile::PathFor(const std::string& serverFolder,
	const std::string& backupId)
{
	return serverFolder + "/" + kCatalogueFolder + "/" + backupId;
}

status_t CatalogueFile::Write(const char* path, const BMessage& catalogue)
{
	std::vector<char> flattened;
	status_t status = catalogue.Flatten(&flattened);
	if (status != B_OK)
		return status;

	AtomicFileWriter writer;
	status = writer.SetTo(path);
	if (status != B_OK)
		return status;
	BFile* file = writer.File();
	status = file->Lock();
	if (status != B_OK)
		return status;
	ssize_t written = file->Write(flattened.data(), flattened.size());
	if (written != ssize_t(flattened.size()))
		status = written < 0 ? status_t(written) : B_IO_ERROR;
	if (status == B_OK)
		status = WriteAttributes(file, catalogue);
	(void)file->Unlock();
	if (status != B_OK)
		return status;
	return writer.Commit();
}

status_t CatalogueFile::ReadContent(const char* path, BMessage* catalogue)
{
	catalogue->MakeEmpty();
	BFile file(path, B_READ_ONLY);
	status_t status = file.InitCheck();
	off_t size = 0;
	if (status == B_OK)
		status = file.GetSize(&size);
	if (status != B_OK)
		return status;
	if (size <= 0 || uint64(size) > B_MESSAGE_MAX_FLATTENED_SIZE)
		return B_BAD_DATA;

	std::vector<char> bytes(static_cast<size_t>(size));
	ssize_t read = file.ReadAt(0, bytes.data(), bytes.size());
	if (read != ssize_t(size))
		return read < 0 ? status_t(read) : B_BAD_DATA;
	if (catalogue->Unflatten(bytes.data(), bytes.size()) != B_OK) {
		catalogue->MakeEmpty();
		return B_BAD_DATA;
	}
	return B_OK;
}

status_t CatalogueFile::Read(const char* path, BMessage* catalogue, int16* version)
{
	status_t status = ReadContent(path, catalogue);
	if (status != B_OK)
		return status;

	int16 recorded = 0;
	if (catalogue->FindInt16(kLogVersionKey, &recorded) != B_OK)
		return B_BAD_DATA;
	if (version != nullptr)
		*version = recorded;
	if (Catalogue::NeedsNewerProgram(recorded))
		return kCatalogueNeedsNewerProgram;
	return B_OK;
}

status_t CatalogueFile::ReadAttributes(const char* path, CatalogueAttributes* attributes)
{
	BNode node(path);
	status_t status = node.InitCheck();
	if (status != B_OK)
		return status;
	std::string title;
	if (node.ReadAttrString(kCatalogueTitleAttribute, &title) != B_OK)
		title.clear();
	attributes->title = title.c_str();
	std::string destination;
	if (node.ReadAttrString(kCatalogueDestinationAttribute, &destination) != B_OK)
		destination.clear();
	attributes->destination = destination.c_str();
	attributes->date = int32(ReadNumber(&node, kCatalogueDateAttribute, 4));
	attributes->version = uint16(ReadNumber(&node, kCatalogueVersionAttribute, 2));
	attributes->size = ReadNumber(&node, kCatalogueSizeAttribute, 8);
	attributes->jobId = int32(ReadNumber(&node, kCatalogueJobIdAttribute, 4));
	attributes->mode = int32(ReadNumber(&node, kCatalogueModeAttribute, 4));
	attributes->baseId = int32(ReadNumber(&node, kCatalogueBaseIdAttribute, 4));
	attributes->hasPassword = ReadNumber(&node, kCataloguePasswordAttribute, 4) != 0;
	return B_OK;
}
