#include "InsertTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include <storage/Entry.h>

#include "ArchiveReader.h"
#include "CatalogueFile.h"
#include "MVInsertServer.h"
#include "MVVolume.h"
#include "MemoryArchive.h"
#include "ServerProtocol.h"

namespace {

BMessage Volume(const char* destination)
{
	BMessage volume;
	volume.AddString(kVolumeNameKey, destination);
	volume.AddBool("createpath", true);
	return volume;
}

}	// namespace

InsertTestBed::InsertTestBed(off_t mediumSize)
	:
	fBed(mediumSize)
{
}

BMessage InsertTestBed::RunInsert(const std::vector<std::string>& ids, const char* destination,
	const RestoreTestBed::MediaAnswer& answer, const char* addOn)
{
	BMessenger messenger = fBed.StartWorker(new MVInsertServer(kServerFolder,
		AddOnLoader(DistServerFolder())));

	BMessage job(kMsgJobStart);
	job.AddInt32("job_id", 9);
	job.AddInt32("report_id", 5);
	BMessage startInfo;
	startInfo.AddString("title", "insert test");
	for (const std::string& id : ids)
		startInfo.AddString("ID", id.c_str());
	startInfo.AddString("addon", addOn);
	BMessage volume = Volume(destination);
	startInfo.AddMessage("volume", &volume);
	job.AddMessage("start_info", &startInfo);
	EXPECT_EQ(messenger.SendMessage(&job), B_OK);
	return fBed.FinishJob(messenger, answer);
}

BMessage InsertTestBed::ReadCatalogue(const std::string& id) const
{
	BMessage catalogue;
	(void)CatalogueFile::Read(CatalogueFile::PathFor(kServerFolder, id).c_str(), &catalogue);
	return catalogue;
}

void InsertTestBed::RemoveCatalogue(const std::string& id) const
{
	EXPECT_EQ(BEntry(CatalogueFile::PathFor(kServerFolder, id).c_str()).Remove(), B_OK);
}

BMessage InsertTestBed::RunRestore(const std::string& id, const std::string& source,
	const std::string& target)
{
	fBed.AddCatalogue(id, ReadCatalogue(id));
	std::string path = "/" + id + source;
	BMessage selection;
	selection.AddString("SELECTION", ("INCLUDE " + path + "/*").c_str());
	selection.AddString("source", ("REDIREC " + path + "/*").c_str());
	selection.AddString("redirect", target.c_str());
	return fBed.RunRestore(selection, 0);
}

std::vector<ImageRecord> WalkImage(const std::vector<uint8>& image)
{
	MemoryArchive archive(image.data(), image.size());
	ArchiveReader reader(&archive);
	std::vector<ImageRecord> records;
	ArchiveRecordKind kind;
	int64 before = 0;
	while (reader.NextRecord(&kind) == B_OK) {
		ImageRecord record{kind, before, archive.Position() - before, ""};
		if (kind == ArchiveRecordKind::FileHeader)
			record.name = reader.Header().Name();
		records.push_back(record);
		before = archive.Position();
	}
	return records;
}

std::vector<uint8> ReadImage(const std::string& native)
{
	std::ifstream file(native, std::ios::binary);
	return std::vector<uint8>((std::istreambuf_iterator<char>(file)),
		std::istreambuf_iterator<char>());
}

void WriteImage(const std::string& native, const std::vector<uint8>& bytes)
{
	std::ofstream file(native, std::ios::binary | std::ios::trunc);
	file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string Flattened(const BMessage& message)
{
	std::vector<char> bytes;
	EXPECT_EQ(message.Flatten(&bytes), B_OK);
	return std::string(bytes.begin(), bytes.end());
}
