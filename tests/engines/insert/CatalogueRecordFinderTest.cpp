#include <gtest/gtest.h>

#include <string>

#include "ArchiveFormat.h"
#include "Catalogue.h"
#include "CatalogueRecordFinder.h"
#include "MemoryArchive.h"
#include "StreamEnd.h"

// The search for the catalogue record at the end of a backup, and the end
// of the stream it starts from.

namespace {

std::string RecordHead()
{
	uint8 head[kCatalogueRecordSize] = {};
	WriteLE32(head, kCatalogueMagic);
	WriteLE16(head + 4, kCatalogueRecordSize);
	return std::string(reinterpret_cast<const char*>(head), sizeof(head));
}

// A catalogue record whose title holds a record head without the field name
// that must follow one.
std::string Record(size_t titleLength)
{
	Catalogue catalogue;
	CatalogueInfo info;
	info.backupId = "20240102123";
	info.title = std::string(titleLength, 't');
	info.title.replace(titleLength - 1000, 8, RecordHead());
	EXPECT_EQ(catalogue.Begin(info), B_OK);
	std::vector<char> flattened;
	EXPECT_EQ(catalogue.Message().Flatten(&flattened), B_OK);
	return RecordHead() + std::string(flattened.begin(), flattened.end());
}

}	// namespace

// The record found is the one that ends the stream: a whole record inside
// the data before it, and a record head inside it that the field name does
// not follow, are passed over. The search widened until a stretch held the
// record's start.
TEST(CatalogueRecordFinderTest, FindsTheRecordThatEndsTheStream)
{
	std::string stream(kBackupHeaderSize, '\0');
	stream += std::string(5000, 'd') + Record(2000) + std::string(5000, 'd');
	int64 offset = int64(stream.size());
	stream += Record(300000);
	MemoryArchive archive(stream.data(), stream.size());
	CatalogueRecordFinder finder(&archive);
	int64 found = -1;
	ASSERT_EQ(finder.Find(kBackupHeaderSize, int64(stream.size()), &found), B_OK);
	EXPECT_EQ(found, offset);
	// 64, 128 and 256 KiB fall short of the record's 300 KB.
	EXPECT_EQ(finder.Attempts(), 4);
}

// Probing finds the length of streams of every size, the empty one too.
TEST(StreamEndTest, FindsTheLengthOfEveryStream)
{
	for (size_t size : {0, 1, 2, 7, 220, 65536, 65537, 1000003}) {
		std::string stream(size, 'x');
		MemoryArchive archive(stream.data(), stream.size());
		EXPECT_EQ(FindStreamEnd(&archive), int64(size)) << size;
	}
}
