// The catalogue records every entry of a backup where the stream holds it,
// with the boot volume's own name in its paths, and its file keeps the
// eight listing attributes; readers refuse catalogues of newer programs and
// damaged files.

#include <gtest/gtest.h>

#include <optional>

#include <storage/File.h>
#include <storage/Node.h>
#include <storage/VolumeTable.h>

#include "ArchiveWriter.h"
#include "Catalogue.h"
#include "CatalogueFile.h"
#include "FileHeader.h"
#include "MemoryArchive.h"
#include "TestFolder.h"

namespace {

class CatalogueTest : public ::testing::Test {
protected:
	void SetUp() override
	{
		fFolder.MakeFolder("disk/home");
		fFolder.WriteFile("disk/home/a", "abc");
		fFolder.MakeFolder("server/logdata");
		fEnvironment.emplace("MORVANE_VOLUMES", "Disk=" + fFolder / "disk" + ";Server="
			+ fFolder / "server");
		ASSERT_EQ(VolumeTable::Reload(), B_OK);
	}

	void TearDown() override
	{
		fEnvironment.reset();
		(void)VolumeTable::Reload();
	}

	CatalogueInfo Info(const char* title, const char* password) const
	{
		CatalogueInfo info;
		info.backupId = "2026120800001234";
		info.title = title;
		info.date = 1765000000;
		info.password = password;
		info.destination = "MVImage";
		info.jobId = 4;
		info.mode = 2;
		info.baseId = 3;
		return info;
	}

	// Writes a backup of the given system paths with their levels, adding
	// each entry to the catalogue at the offset its header went to.
	void Backup(ArchiveWriter* writer, Catalogue* catalogue,
		const std::vector<std::pair<std::string, int32>>& paths, int32 medium = 1)
	{
		FileHeader header;
		for (const auto& [path, level] : paths) {
			ASSERT_EQ(header.BuildFromEntry(path.c_str(), uint32(level),
				catalogue->CountEntries(), nullptr), B_OK);
			CatalogueEntry entry;
			entry.path = path;
			entry.kind = header.Kind();
			entry.size = header.Stat().size;
			entry.level = level;
			entry.mediumNumber = medium;
			entry.offset = writer->Position();
			entry.modificationTime = header.Stat().modificationTime;
			entry.entryNumber = int32(header.EntryNumber());
			ASSERT_EQ(catalogue->AddEntry(entry), B_OK);
			ASSERT_EQ(writer->WriteFileHeader(header), B_OK);
		}
	}

	TestFolder fFolder;
	std::optional<ScopedEnv> fEnvironment;
};

}

// Only "/boot" and what lies below it take the boot volume's name.
TEST_F(CatalogueTest, CataloguePathsNameTheBootVolume)
{
	const std::pair<const char*, const char*> cases[] = {
		{"/boot", "/Disk"},
		{"/boot/home/a", "/Disk/home/a"},
		{"/bootstrap/a", "/bootstrap/a"},
		{"/Server/logdata", "/Server/logdata"},
		{"/Disk/home", "/Disk/home"},
	};
	for (const auto& [path, catalogued] : cases)
		EXPECT_EQ(Catalogue::CataloguePath(path), catalogued) << path;
}

TEST_F(CatalogueTest, OneFileOnTheBootVolume)
{
	MemoryArchive archive;
	ArchiveWriter writer(&archive, nullptr, "");
	Catalogue catalogue;
	ASSERT_EQ(catalogue.Begin(Info("Home", "")), B_OK);
	ASSERT_EQ(writer.WriteBackupHeader(BackupHeader()), B_OK);
	Backup(&writer, &catalogue, {{"/boot", 0}, {"/boot/home", 1}, {"/boot/home/a", 2}});
	ASSERT_EQ(catalogue.SetSize(3), B_OK);

	ASSERT_EQ(catalogue.CountEntries(), 3);
	// The boot volume is named by its name, its root too.
	const char* paths[] = {"/Disk", "/Disk/home", "/Disk/home/a"};
	const EntryKind kinds[] = {EntryKind::VolumeRoot, EntryKind::Directory, EntryKind::File};
	for (int32 i = 0; i < 3; i++) {
		CatalogueEntry entry;
		ASSERT_EQ(catalogue.EntryAt(i, &entry), B_OK);
		EXPECT_EQ(entry.path, paths[i]);
		EXPECT_EQ(entry.kind, kinds[i]);
		EXPECT_EQ(entry.level, i);
		EXPECT_EQ(entry.mediumNumber, 1);
		EXPECT_EQ(entry.entryNumber, i);
	}
	CatalogueEntry root;
	ASSERT_EQ(catalogue.EntryAt(0, &root), B_OK);
	EXPECT_EQ(root.offset, 220);
	CatalogueEntry file;
	ASSERT_EQ(catalogue.EntryAt(2, &file), B_OK);
	EXPECT_EQ(file.size, 3);
	EXPECT_EQ(catalogue.EntryAt(3, &file), B_BAD_INDEX);
	EXPECT_EQ(catalogue.Compressor(), "MVNone");
}

// An entry whose header starts a new medium is recorded there, at 220.
TEST_F(CatalogueTest, EntryOnANewMedium)
{
	MemoryArchive archive;
	ArchiveWriter writer(&archive, nullptr, "");
	Catalogue catalogue;
	ASSERT_EQ(catalogue.Begin(Info("Home", "")), B_OK);
	ASSERT_EQ(writer.WriteBackupHeader(BackupHeader()), B_OK);
	Backup(&writer, &catalogue, {{"/boot", 0}, {"/boot/home", 1}});
	ASSERT_EQ(writer.WriteEndOfMedium(), B_OK);
	BackupHeader second;
	second.mediumNumber = 2;
	ASSERT_EQ(writer.WriteBackupHeader(second), B_OK);
	Backup(&writer, &catalogue, {{"/boot/home/a", 2}}, 2);

	CatalogueEntry entry;
	ASSERT_EQ(catalogue.EntryAt(2, &entry), B_OK);
	EXPECT_EQ(entry.mediumNumber, 2);
	EXPECT_EQ(entry.offset, 220);
}

TEST_F(CatalogueTest, FileRoundTripAndAttributes)
{
	Catalogue catalogue;
	ASSERT_EQ(catalogue.Begin(Info("", "")), B_OK);
	CatalogueEntry entry;
	entry.path = "/boot/home/a";
	ASSERT_EQ(catalogue.AddEntry(entry), B_OK);
	ASSERT_EQ(catalogue.SetSize(1234), B_OK);

	std::string path = CatalogueFile::PathFor("/Server", "2026120800001234");
	EXPECT_EQ(path, "/Server/logdata/2026120800001234");
	ASSERT_EQ(CatalogueFile::Write(path.c_str(), catalogue.Message()), B_OK);

	BMessage read;
	int16 version = 0;
	ASSERT_EQ(CatalogueFile::Read(path.c_str(), &read, &version), B_OK);
	EXPECT_EQ(version, int16(kArchiveVersion));
	std::vector<char> written;
	std::vector<char> readBack;
	ASSERT_EQ(catalogue.Message().Flatten(&written), B_OK);
	ASSERT_EQ(read.Flatten(&readBack), B_OK);
	EXPECT_EQ(written, readBack);

	CatalogueAttributes attributes;
	ASSERT_EQ(CatalogueFile::ReadAttributes(path.c_str(), &attributes), B_OK);
	EXPECT_EQ(attributes.title, "");
	EXPECT_EQ(attributes.date, 1765000000);
	EXPECT_EQ(attributes.version, kArchiveVersion);
	EXPECT_EQ(attributes.size, 1234u);
	EXPECT_EQ(attributes.jobId, 4);
	EXPECT_EQ(attributes.mode, 2);
	EXPECT_EQ(attributes.baseId, 3);
	EXPECT_FALSE(attributes.hasPassword);
	EXPECT_EQ(attributes.destination, "MVImage");

	// The title of an empty title is one zero byte.
	BNode node(path.c_str());
	attr_info info;
	ASSERT_EQ(node.GetAttrInfo("MVBACKUP:title", &info), B_OK);
	EXPECT_EQ(info.type, B_STRING_TYPE);
	EXPECT_EQ(info.size, 1);
	ASSERT_EQ(node.GetAttrInfo("MVBACKUP:prgver", &info), B_OK);
	EXPECT_EQ(info.type, B_UINT16_TYPE);
	EXPECT_EQ(info.size, 2);

	// Written again with a password, the old file is replaced.
	ASSERT_EQ(catalogue.Begin(Info("Second", "pw")), B_OK);
	ASSERT_EQ(CatalogueFile::Write(path.c_str(), catalogue.Message()), B_OK);
	ASSERT_EQ(CatalogueFile::ReadAttributes(path.c_str(), &attributes), B_OK);
	EXPECT_EQ(attributes.title, "Second");
	EXPECT_TRUE(attributes.hasPassword);

	// A title of 4,000 bytes stays whole in the content; its attribute takes
	// the first 255, so that the attributes fit every file system.
	std::string longTitle(4000, 'T');
	ASSERT_EQ(catalogue.Begin(Info(longTitle.c_str(), "")), B_OK);
	ASSERT_EQ(CatalogueFile::Write(path.c_str(), catalogue.Message()), B_OK);
	ASSERT_EQ(CatalogueFile::ReadAttributes(path.c_str(), &attributes), B_OK);
	EXPECT_EQ(attributes.title, longTitle.substr(0, 255));
	ASSERT_EQ(CatalogueFile::Read(path.c_str(), &read), B_OK);
	EXPECT_EQ(std::string(read.GetString("MV_LOGTITLE", "")), longTitle);
}

TEST_F(CatalogueTest, ReadRefusesNewerAndDamagedCatalogues)
{
	std::string path = CatalogueFile::PathFor("/Server", "x");
	BMessage newer;
	newer.AddString("MV_LOGTITLE", "t");
	newer.AddInt16("MV_PRGVERSION", 0x101);
	ASSERT_EQ(CatalogueFile::Write(path.c_str(), newer), B_OK);
	BMessage read;
	int16 version = 0;
	EXPECT_EQ(CatalogueFile::Read(path.c_str(), &read, &version), kCatalogueNeedsNewerProgram);
	EXPECT_EQ(version, 0x101);
	EXPECT_TRUE(Catalogue::NeedsNewerProgram(0x101));
	EXPECT_FALSE(Catalogue::NeedsNewerProgram(0x100));

	BMessage unversioned;
	unversioned.AddString("MV_LOGTITLE", "t");
	ASSERT_EQ(CatalogueFile::Write(path.c_str(), unversioned), B_OK);
	EXPECT_EQ(CatalogueFile::Read(path.c_str(), &read), B_BAD_DATA);

	fFolder.WriteFile("server/logdata/x", "not a message at all");
	EXPECT_EQ(CatalogueFile::Read(path.c_str(), &read), B_BAD_DATA);
	fFolder.WriteFile("server/logdata/x", "");
	EXPECT_EQ(CatalogueFile::Read(path.c_str(), &read), B_BAD_DATA);
	EXPECT_NE(CatalogueFile::Read("/Server/logdata/missing", &read), B_OK);
}

// A catalogue whose parallel arrays disagree is damaged, not read past.
TEST_F(CatalogueTest, MismatchedEntryArrays)
{
	Catalogue catalogue;
	ASSERT_EQ(catalogue.Begin(Info("t", "")), B_OK);
	CatalogueEntry entry;
	entry.path = "/Disk/x";
	ASSERT_EQ(catalogue.AddEntry(entry), B_OK);
	ASSERT_EQ(catalogue.Message().AddString("MV_LOGNAME", "/Disk/y"), B_OK);
	EXPECT_EQ(catalogue.CountEntries(), 2);
	EXPECT_EQ(catalogue.EntryAt(1, &entry), B_BAD_DATA);
}

// Medium names are kept by medium number; media without one read as "".
TEST(CatalogueMediumNamesTest, KeptByMediumNumber)
{
	Catalogue catalogue;
	ASSERT_EQ(catalogue.SetMediumName(2, "two.media"), B_OK);
	ASSERT_EQ(catalogue.SetMediumName(1, "one.media"), B_OK);
	ASSERT_EQ(catalogue.SetMediumName(4, "four.media"), B_OK);
	EXPECT_EQ(catalogue.SetMediumName(0, "none"), B_BAD_VALUE);
	const char* expected[] = {"", "one.media", "two.media", "", "four.media", ""};
	for (int32 medium = 0; medium <= 5; medium++)
		EXPECT_EQ(Catalogue::MediumName(catalogue.Message(), medium), expected[medium]) << medium;
}
