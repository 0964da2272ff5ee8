#include "ArchiveTestData.h"

#include <support/DataIO.h>

std::vector<uint8> PatternBytes(size_t size, uint32 seed)
{
	std::vector<uint8> bytes(size);
	uint32 state = seed * 2654435761u + 1;
	for (size_t i = 0; i < size; i++) {
		if (i % 64 == 0)
			state = state * 1103515245u + 12345u;
		bytes[i] = uint8((state >> 16) + i % 7);
	}
	return bytes;
}

std::vector<uint8> NoiseBytes(size_t size, uint32 seed)
{
	std::vector<uint8> bytes(size);
	uint64 state = seed * 0x9E3779B97F4A7C15ull + 7;
	for (size_t i = 0; i < size; i++) {
		state ^= state << 13;
		state ^= state >> 7;
		state ^= state << 17;
		bytes[i] = uint8(state);
	}
	return bytes;
}

BackupHeader SampleBackupHeader(const char* password)
{
	BackupHeader header;
	header.backupId = "2026120812345678";
	header.title = "Home folder";
	header.creationTime = 1765000000;
	header.destinationType = 1;
	header.compressor = "MVLZRW1";
	header.password = password;
	header.totalSize = 123456;
	header.entryCount = 4;
	header.jobId = 17;
	header.mode = 2;
	header.baseId = 9;
	return header;
}

void MakeHeader(const TestEntry& entry, int64 entryNumber, FileHeader* header)
{
	FileHeaderStat stat;
	stat.size = entry.kind == EntryKind::SymLink ? int64(entry.linkTarget.size())
		: int64(entry.data.size());
	stat.accessTime = 1000;
	stat.modificationTime = 2000;
	stat.changeTime = 3000;
	stat.group = 100;
	stat.user = 1000;
	stat.permissions = 0644;
	header->Begin(entry.kind, entry.name.c_str(), stat, entry.level);
	for (const TestAttribute& attribute : entry.attributes) {
		if (header->AddAttribute(attribute.name.c_str(), attribute.type, 0, 0,
				attribute.value.data(), uint32(attribute.value.size())) != B_OK)
			abort();
	}
	header->Finish(entryNumber);
}

status_t WriteStream(ArchiveWriter* writer, const BackupHeader& header,
	const std::vector<TestEntry>& entries, const BMessage& catalogue)
{
	status_t status = writer->WriteBackupHeader(header);
	FileHeader fileHeader;
	for (size_t i = 0; i < entries.size() && status == B_OK; i++) {
		const TestEntry& entry = entries[i];
		MakeHeader(entry, int64(i), &fileHeader);
		status = writer->WriteFileHeader(fileHeader);
		if (status != B_OK)
			break;
		if (entry.kind == EntryKind::SymLink) {
			status = writer->WriteSymLink(entry.linkTarget.c_str());
		} else if (entry.kind == EntryKind::File) {
			BMemoryIO file(entry.data.data(), entry.data.size());
			int64 written = 0;
			status = writer->WriteFileData(&file, int64(entry.data.size()), &written);
			if (status == B_OK && written != int64(entry.data.size()))
				status = B_ERROR;
		}
	}
	if (status == B_OK)
		status = writer->WriteCatalogue(catalogue);
	return status;
}

namespace {

// Joins the parts of each attribute back into one value.
void CollectAttributes(const FileHeader& header, uint16 version, TestEntry* entry)
{
	uint32 cursor = 0;
	FileHeaderAttribute attribute;
	while (header.NextAttribute(&cursor, &attribute, version) == B_OK) {
		if (entry->attributes.empty() || entry->attributes.back().name != attribute.name
			|| attribute.position == 0) {
			entry->attributes.push_back({attribute.name, attribute.type, {}});
		}
		std::vector<uint8>& value = entry->attributes.back().value;
		value.resize(size_t(attribute.position));
		value.insert(value.end(), attribute.data, attribute.data + attribute.length);
	}
}

}

status_t ReadStream(ArchiveReader* reader, ReadBack* readBack)
{
	ArchiveRecordKind kind;
	status_t status;
	uint32 expectedBlock = 1;
	while ((status = reader->NextRecord(&kind)) == B_OK) {
		switch (kind) {
			case ArchiveRecordKind::BackupHeader:
				readBack->header = reader->LastBackupHeader();
				break;
			case ArchiveRecordKind::FileHeader: {
				const FileHeader& header = reader->Header();
				TestEntry entry;
				entry.name = header.Name();
				entry.kind = header.Kind();
				entry.level = header.Level();
				CollectAttributes(header, reader->Version(), &entry);
				readBack->entries.push_back(entry);
				expectedBlock = 1;
				break;
			}
			case ArchiveRecordKind::DataBlock: {
				if (readBack->entries.empty())
					return B_BAD_DATA;
				const DataBlock& block = reader->Block();
				if (block.number != expectedBlock++)
					return B_BAD_INDEX;
				TestEntry& entry = readBack->entries.back();
				if (entry.kind == EntryKind::SymLink) {
					entry.linkTarget.assign(reinterpret_cast<const char*>(block.data),
						strnlen(reinterpret_cast<const char*>(block.data), block.length));
				} else {
					entry.data.insert(entry.data.end(), block.data, block.data + block.length);
				}
				break;
			}
			case ArchiveRecordKind::EndOfMedium:
				break;
			case ArchiveRecordKind::Catalogue:
				readBack->catalogue = reader->Catalogue();
				readBack->sawCatalogue = true;
				break;
		}
	}
	return status == B_ENTRY_NOT_FOUND ? B_OK : status;
}
