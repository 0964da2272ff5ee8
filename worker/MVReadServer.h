#pragma once

// MVReadServer: the base of the workers that read backups (restore,
// compare, insert). Besides the worker base it holds what reading a
// catalogued backup takes: the backup loaded for reading (BackupLoader),
// the load step that opens the backup of an item on its destination and
// reports it, the media question that ends in that load step again, and
// the check that a block lies on the medium in the drive. The engine names
// its own load and end steps and counts read errors its own way.
//
// Threads: the worker's thread only, like the worker base.

#include <string>
#include <vector>

#include <app/Messenger.h>

#include "ArchiveReader.h"
#include "BackupLoader.h"
#include "JobReportLine.h"
#include "MVToolServer.h"

class MVReadServer : public MVToolServer {
public:
	// serverFolder is the server program's folder in system form; the
	// catalogues are read from its "logdata". loadStep is the engine's step
	// that calls LoadBackup(), endStep the one that ends the job.
	MVReadServer(const char* name, std::string serverFolder, uint32 loadStep, uint32 endStep,
		const AddOnLoader& loader = AddOnLoader());

	// Where the engine asks for catalogue entries; the server application
	// unless set.
	void SetCatalogueRegistry(const BMessenger& registry);
	// Waits this long in an abort before ending; tests shorten it.
	void SetAbortWait(bigtime_t wait) { SetAbortDelay(wait); }

protected:
	// The end step only reports and releases.
	bool RunsWhilePaused(uint32 step) const override { return step == fEndStep; }

	BMessenger CatalogueRegistry() const;
	BackupLoader& Backup() { return fBackup; }
	const std::string& ServerFolder() const { return fServerFolder; }

	// The load step: loads the named backup unless it is loaded, opens it on
	// its destination and reports it, then names the resume step. A backup
	// that cannot be read ends the job; a medium that is not in is asked for.
	void LoadBackup(const char* catalogueName);
	// The step that follows the next load step.
	void SetResumeStep(uint32 step) { fResumeStep = step; }
	uint32 ResumeStep() const { return fResumeStep; }

	// The medium number the next item or block needs.
	int32 WantedMedia() const { return fWantedMedia; }
	void SetWantedMedia(int32 number) { fWantedMedia = number; }
	// Asks for the wanted medium; once it is in, the load step runs and then
	// resumeStep.
	void StartMediaChange(uint32 resumeStep);
	// The same with the question's own text: the medium is taken out first,
	// so that an answer never meets the old medium still in the drive.
	void ChangeMedium(uint32 resumeStep, int32 textID, const MVTextArguments& arguments);
	// The current medium is done: asks for the next one.
	void MediumEnded(uint32 resumeStep);
	// True when the next record on the medium in the drive is a block of the
	// wanted medium; otherwise asks for the medium, to go on at step.
	bool HaveBlockOnMedium(uint32 step);

	// Reading the data blocks of the current file, numbered from 1.
	enum class BlockResult {
		Read,
		// The block lies on a medium that is not in; step runs once it is.
		MediumAsked,
		// The block cannot be read; *failure says why.
		Failed,
	};
	void StartFileBlocks() { fBlockNumber = 0; }
	BlockResult ReadNextBlock(uint32 step, DataBlock* block, DataBlockStatus* failure);
	// The number of the block read last.
	int32 BlockNumber() const { return int32(fBlockNumber); }

	// Ends the job with an error line (none for text id 0).
	void Fatal(int32 textID, const MVTextArguments& arguments);
	// The end, once, whether the end step or an abort comes first: the
	// engine's closing lines, the backup released, the end message sent.
	void EndReading();
	// An abort ends here too.
	void EndJob() final { EndReading(); }
	// The engine closes what it holds, adds its fields ("status" at least)
	// to the end message, and returns the statistics lines that end the
	// report. elapsed and paused are whole seconds.
	virtual std::vector<JobReportLine> CloseJob(bool aborted, int32 elapsed, int32 paused,
		BMessage* end) = 0;
	bool IsFatal() const { return fFatal; }
	// One more read error in the engine's statistics.
	virtual void CountReadError() = 0;

private:
	bool _OpenBackup();

	std::string fServerFolder;
	BackupLoader fBackup;
	BMessenger fRegistry;
	bool fHasRegistry = false;
	uint32 fLoadStep;
	uint32 fEndStep;
	uint32 fResumeStep = 0;
	int32 fWantedMedia = 1;
	bool fFatal = false;
	bool fEnded = false;
	uint32 fBlockNumber = 0;
};
