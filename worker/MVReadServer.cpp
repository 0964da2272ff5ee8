#include "MVReadServer.h"

#include <app/Application.h>
#include <interface/Alert.h>

#include "ArchiveFormat.h"
#include "JobTexts.h"
#include "MediumSource.h"
#include "ReportLineType.h"

MVReadServer::MVReadServer(const char* name, std::string serverFolder, uint32 loadStep,
	uint32 endStep, const AddOnLoader& loader)
	:
	MVToolServer(name, 10, 100, loader),
	fServerFolder(serverFolder),
	fBackup(this, std::move(serverFolder)),
	fLoadStep(loadStep),
	fEndStep(endStep)
{
}

void MVReadServer::SetCatalogueRegistry(const BMessenger& registry)
{
	fRegistry = registry;
	fHasRegistry = true;
}

BMessenger MVReadServer::CatalogueRegistry() const
{
	return fHasRegistry ? fRegistry : be_app_messenger;
}

void MVReadServer::Fatal(int32 textID, const MVTextArguments& arguments)
{
	if (textID != 0)
		LogInsert(kLineError, textID, arguments);
	fFatal = true;
	NextStep(fEndStep);
}

void MVReadServer::EndReading()
{
	if (fEnded)
		return;
	fEnded = true;
	int32 elapsed = int32(CurrentTime() - GetStartTime());
	BMessage end = EndMessage();
	for (const JobReportLine& line : CloseJob(IsAborted() || fFatal, elapsed, GetPause(), &end))
		LogInsert(line.lineType, line.textID, line.arguments);
	fBackup.Release();
	FinishJob(&end);
}

void MVReadServer::LoadBackup(const char* catalogueName)
{
	BackupLoader::Failure failure;
	if (fBackup.CatalogueName() != catalogueName && !fBackup.Load(catalogueName, &failure)) {
		// Without a text: a backup of a newer program, reported already.
		if (failure.textID == 0)
			CountReadError();
		Fatal(failure.textID, failure.arguments);
		return;
	}
	if (!_OpenBackup())
		return;
	LogInsert(kLineInfo, kTextBackupLoaded, {fBackup.Title(), fBackup.DestinationName(),
		int32(fBackup.Header().mediumNumber)});
	NextStep(fResumeStep);
	fResumeStep = 0;
}

bool MVReadServer::_OpenBackup()
{
	switch (fBackup.Open()) {
		case BackupLoader::OpenResult::Opened:
			return true;
		case BackupLoader::OpenResult::NotThere:
			if (fBackup.IsRemovable())
				StartMediaChange(fResumeStep);
			else
				Fatal(kTextNoSuchBackup, {fBackup.Title()});
			return false;
		case BackupLoader::OpenResult::NoHeader:
			LogInsert(kLineError, kTextNoBackupHeader, {fBackup.Title()});
			CountReadError();
			StartMediaChange(fResumeStep);
			return false;
	}
	return false;
}

// A medium with a name (a tape's media ID) is asked for by that name.
void MVReadServer::StartMediaChange(uint32 resumeStep)
{
	std::string medium = fBackup.MediumName(fWantedMedia);
	ChangeMedium(resumeStep, kTextInsertMedia,
		{medium.empty() ? fBackup.DestinationName() : medium, fWantedMedia});
}

void MVReadServer::ChangeMedium(uint32 resumeStep, int32 textID,
	const MVTextArguments& arguments)
{
	fResumeStep = resumeStep;
	fBackup.CloseAndEject();
	AskForMedium(fLoadStep, textID, arguments, B_INFO_ALERT);
}

void MVReadServer::MediumEnded(uint32 resumeStep)
{
	fWantedMedia++;
	StartMediaChange(resumeStep);
}

bool MVReadServer::HaveBlockOnMedium(uint32 step)
{
	if (!fBackup.HasMedium(fWantedMedia)) {
		StartMediaChange(step);
		return false;
	}
	uint32 magic = 0;
	if (!fBackup.Source()->PeekMagic(&magic) || magic == kEndOfMediumMagic) {
		MediumEnded(step);
		return false;
	}
	return true;
}

MVReadServer::BlockResult MVReadServer::ReadNextBlock(uint32 step, DataBlock* block,
	DataBlockStatus* failure)
{
	if (!HaveBlockOnMedium(step))
		return BlockResult::MediumAsked;
	*failure = fBackup.Reader()->ReadDataBlock(block);
	switch (*failure) {
		case DataBlockStatus::Ok:
			fBlockNumber++;
			return BlockResult::Read;
		case DataBlockStatus::EndOfMedium:
			// The same block, first on the next medium.
			MediumEnded(step);
			return BlockResult::MediumAsked;
		default:
			fBlockNumber++;
			return BlockResult::Failed;
	}
}
