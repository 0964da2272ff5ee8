#include "BackupLoader.h"

#include <cstring>

#include "AddOnLoader.h"
#include "ArchiveReader.h"
#include "Catalogue.h"
#include "CatalogueFile.h"
#include "CatalogueFormat.h"
#include "MVCruncher.h"
#include "MVToolServer.h"
#include "MVVolume.h"
#include "MediumSource.h"
#include "JobTexts.h"

BackupLoader::BackupLoader(MVToolServer* worker, std::string serverFolder)
	:
	fWorker(worker),
	fServerFolder(std::move(serverFolder))
{
}

BackupLoader::~BackupLoader()
{
	Release();
}

bool BackupLoader::Load(const char* name, Failure* failure)
{
	Close();
	fCatalogueName = name;
	fHaveHeader = false;
	BMessage catalogue;
	int16 version = 0;
	status_t status = B_BAD_VALUE;
	if (AddOnLoader::IsPlainFileName(name)) {
		std::string path = CatalogueFile::PathFor(fServerFolder, name);
		status = CatalogueFile::Read(path.c_str(), &catalogue, &version);
	}
	if (status != B_OK && status != kCatalogueNeedsNewerProgram) {
		*failure = {kTextNoDatabase, {}};
		return false;
	}
	fRemovable = 0;
	(void)catalogue.FindInt16(kLogRemovableKey, &fRemovable);
	fTitle = catalogue.GetString(kLogTitleKey, "");
	fIncomplete = Catalogue::IncompleteEntries(catalogue);
	fMediumNames.clear();
	for (int32 medium = 1; catalogue.HasData(kLogMediumNamesKey, B_STRING_TYPE, medium - 1);
			medium++)
		fMediumNames.push_back(Catalogue::MediumName(catalogue, medium));
	if (!fWorker->VersionTest(&catalogue)) {
		*failure = {0, {}};
		return false;
	}
	fCatalogueVersion = uint16(version);
	fHasCatalogue = true;
	return _LoadAddOns(catalogue, failure);
}

bool BackupLoader::_LoadAddOns(const BMessage& catalogue, Failure* failure)
{
	Release();
	const char* destination = catalogue.GetString(kLogDestinationKey, "");
	BMessage destinationSettings;
	(void)catalogue.FindMessage(kLogDestinationSettingsKey, &destinationSettings);
	fDestination = fWorker->LoadDestinationAddOn(destination, &destinationSettings);
	if (fDestination == nullptr) {
		*failure = {fWorker->AddOnFailureText(), {destination}};
		return false;
	}

	const char* compressor = catalogue.GetString(kLogCompressionKey, "");
	const char* given = compressor;
	if (compressor[0] == '\0')
		compressor = kCatalogueDefaultCompressor;
	BMessage cruncherSettings;
	(void)catalogue.FindMessage(kLogCruncherSettingsKey, &cruncherSettings);
	fCruncher = fWorker->LoadCruncherAddOn(compressor, &cruncherSettings);
	if (fCruncher == nullptr) {
		*failure = {fWorker->AddOnFailureText(), {given}};
		return false;
	}
	// The pass-through compressor's blocks are read as they are stored.
	fPassThrough = strcmp(compressor, kCatalogueDefaultCompressor) == 0;
	return true;
}

bool BackupLoader::LoadDestination(const char* addOn, const BMessage& settings,
	Failure* failure)
{
	Release();
	fCatalogueName.clear();
	fTitle.clear();
	fRemovable = 0;
	fCatalogueVersion = kArchiveVersion;
	fHasCatalogue = false;
	fPassThrough = true;
	fDestination = fWorker->LoadDestinationAddOn(addOn, &settings);
	if (fDestination != nullptr)
		return true;
	*failure = {fWorker->AddOnFailureText(), {addOn}};
	return false;
}

BackupLoader::OpenResult BackupLoader::Open()
{
	return Open(fCatalogueName);
}

BackupLoader::OpenResult BackupLoader::Open(const std::string& backupName)
{
	Close();
	if (fDestination == nullptr
		|| fDestination->Start(backupName.c_str(), kVolumeModeRead) != 0)
		return OpenResult::NotThere;
	fOpen = true;
	fSource = std::make_unique<MediumSource>(fDestination);
	fReader = std::make_unique<ArchiveReader>(fSource.get(),
		fPassThrough ? nullptr : fCruncher, fCatalogueVersion);
	if (fReader->ReadBackupHeader(&fHeader) != BackupHeaderStatus::Ok)
		return OpenResult::NoHeader;
	fHaveHeader = true;
	// Without a catalogue the backup's own header says how its records are
	// laid out.
	fReader->SetVersion(fHasCatalogue ? fCatalogueVersion : fHeader.version);
	return OpenResult::Opened;
}

bool BackupLoader::HasMedium(int32 number) const
{
	return fOpen && fHaveHeader && number == int32(fHeader.mediumNumber);
}

void BackupLoader::Close()
{
	fReader.reset();
	fSource.reset();
	if (fDestination != nullptr && fOpen)
		(void)fDestination->Stop();
	fOpen = false;
	fHaveHeader = false;
}

void BackupLoader::CloseAndEject()
{
	Close();
	if (fDestination != nullptr)
		(void)fDestination->Eject();
}

void BackupLoader::Release()
{
	Close();
	if (fDestination != nullptr) {
		delete fDestination;
		fDestination = nullptr;
		fWorker->FreeDestinationAddOn();
	}
	if (fCruncher != nullptr) {
		delete fCruncher;
		fCruncher = nullptr;
		fWorker->FreeCruncherAddOn();
	}
}

bool BackupLoader::IsDestinationRemovable() const
{
	return fDestination != nullptr && fDestination->IsRemovable();
}

std::string BackupLoader::MediumName(int32 medium) const
{
	if (medium < 1 || size_t(medium) > fMediumNames.size())
		return std::string();
	return fMediumNames[size_t(medium - 1)];
}

std::string BackupLoader::DestinationName() const
{
	return fDestination != nullptr && fDestination->Name() != nullptr
		? fDestination->Name() : "";
}
