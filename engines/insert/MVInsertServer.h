#pragma once

// MVInsertServer: the worker of an insert job (job type 6). It reads backups
// that lie on a destination without a catalogue file back into the server's
// "logdata" folder, one backup identifier of the job after the other, as a
// chain of steps: 'ibhd' opens the backup on the job's destination and
// reads the backup header of the medium in the drive, then runs the step it
// was to resume. The quick way takes the catalogue record that ends every
// backup: 'iclm' asks for the last medium until it is in, 'isld' finds the
// record (CatalogueRecordFinder), 'irld' reads it. When that fails, the
// backup is scanned from its first medium record by record (InsertScanner):
// 'ihea' reads a file header, 'idat' and 'isym' pass over the blocks of a
// file or a link; the catalogue built so carries "MV_LOGSCANNED". 'isto'
// writes the statistics and ends the job with 'MVJf', which names every
// backup whose catalogue was written.
//
// Job fields and media are untrusted: an identifier is used only as a plain
// file name, a catalogue record is taken only when it ends the backup
// exactly and passes IsSoundCatalogueRecord, and the scan keeps damaged
// entries out. A backup that ends inside a record ends the job.
//
// Ownership: the worker owns the catalogue being built, and through its
// base the destination, the medium's source and reader; the server runs it and it
// deletes itself when it quits. All members are used on the worker's
// thread only.

#include <memory>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "InsertScanner.h"
#include "InsertStatistics.h"
#include "MVReadServer.h"
#include "ProgressThrottle.h"


class MVInsertServer : public MVReadServer {
public:
	static constexpr uint32 kStepBackupHeader = 'ibhd';
	static constexpr uint32 kStepCheckLastMedium = 'iclm';
	static constexpr uint32 kStepFindCatalogue = 'isld';
	static constexpr uint32 kStepReadCatalogue = 'irld';
	static constexpr uint32 kStepFileHeader = 'ihea';
	static constexpr uint32 kStepFileData = 'idat';
	static constexpr uint32 kStepLinkData = 'isym';
	static constexpr uint32 kStepEnd = 'isto';

	// serverFolder is the server program's folder in system form; the
	// catalogues go to its "logdata".
	MVInsertServer(std::string serverFolder, const AddOnLoader& loader = AddOnLoader());
	~MVInsertServer() override;

protected:
	void StartJob(const BMessage* job) override;
	void RunStep(uint32 step) override;
	std::vector<JobReportLine> CloseJob(bool aborted, int32 elapsed, int32 paused,
		BMessage* end) override;
	void CountReadError() override;

private:
	void BackupHeaderRead();
	void CheckLastMedium();
	void FindCatalogue();
	void ReadCatalogue();
	void FileHeaderRead();
	void FileDataRead(uint32 step);

	void _ReadJob(const BMessage* job);
	void _WriteOpeningLines();
	bool _OpenBackup(const std::string& id);
	bool _AskAgain();
	bool _BeginCatalogue(const std::string& id);
	bool _HaveWantedMedium(const std::string& id);
	void _StartScan();
	void _EntryRead(InsertScanEvent event);
	void _BlockFailed(InsertScanEvent event);
	void _MediumEnded(uint32 resumeStep);
	void _BackupRead(int32 files, int64 bytes);
	bool _WriteCatalogue(const std::string& id);
	void _NextBackup();
	void _Error(int32 textID, const MVTextArguments& arguments = {});
	void _Fatal(int32 textID, const MVTextArguments& arguments = {});
	void _Progress(const std::string& path);

	// The job.
	std::string fTitle;
	std::vector<std::string> fIds;
	std::string fAddOn;
	BMessage fVolume;

	// The backup being read: its index in fIds and whether its catalogue was
	// begun from a header.
	size_t fCurrent = 0;
	bool fBegun = false;
	// Where the records of the medium begin and its stream ends.
	int64 fRecordsStart = 0;
	int64 fStreamEnd = 0;
	Catalogue fCatalogue;
	std::unique_ptr<InsertScanner> fScanner;

	std::vector<std::string> fInserted;
	InsertStatistics fStatistics;
	ProgressThrottle fProgressThrottle;
};
