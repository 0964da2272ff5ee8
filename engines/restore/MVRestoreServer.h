#pragma once

// MVRestoreServer: the worker of a restore job. It builds the catalogue tree
// of the job's selection (asking the catalogue registry), then restores the
// items in pre-order as a chain of steps: 'rbhd' loads a backup's catalogue
// and add-ons and opens it on the destination, 'rhea' moves to the next
// item and recreates it from its file header ('rcur' recreates the current
// one, after a media change), 'rdat' writes one data block of the current
// file, 'rlnk' makes a link from its block, 'rsto' writes the statistics and
// ends the job with 'MVJf'. Media that must be changed are asked for through
// the worker base's media question; a file's data and a link's block may
// each begin on the next medium. Progress is sent a few times a second at
// most, and once more at the end.
//
// Backups are untrusted input, and the target may be writable by others:
// paths and names are checked, every entry is made through handles of the
// folders above it without following a link (RestoreTargetFolders), so
// redirected items stay inside their target folder, and damaged records
// become error lines for their item.
//
// Ownership: the worker owns its catalogue tree, its add-on objects and
// buffers; the server runs it and it deletes itself when it quits. All
// members are used on the worker's thread only.

#include <memory>
#include <optional>
#include <string>

#include <storage/File.h>

#include "FileHeader.h"
#include "MVReadServer.h"
#include "ProgressThrottle.h"
#include "RestoreFolderFinisher.h"
#include "RestoreOverwrite.h"
#include "RestoreStatistics.h"
#include "RestoreTargetFolders.h"

class MVLogBaseList;
class MVTreeEntryLog;

class MVRestoreServer : public MVReadServer {
public:
	static constexpr uint32 kStepLoadBackup = 'rbhd';
	static constexpr uint32 kStepNextItem = 'rhea';
	static constexpr uint32 kStepCurrentItem = 'rcur';
	static constexpr uint32 kStepData = 'rdat';
	static constexpr uint32 kStepLink = 'rlnk';
	static constexpr uint32 kStepEnd = 'rsto';

	// serverFolder is the server program's folder in system form; the
	// catalogues are read from its "logdata".
	MVRestoreServer(std::string serverFolder, const AddOnLoader& loader = AddOnLoader());
	~MVRestoreServer() override;

protected:
	void StartJob(const BMessage* job) override;
	void RunStep(uint32 step) override;
	std::vector<JobReportLine> CloseJob(bool aborted, int32 elapsed, int32 paused,
		BMessage* end) override;
	void CountReadError() override;

private:
	void BackupHeaderRead();
	void FileHeaderRead();
	void ReadFile();

	void _WriteOpeningLines(const char* title);
	void _CountItems();
	void _ItemError(int32 textID, const MVTextArguments& arguments);
	void _HandleCurrentItem();
	void _HandleItem(const MVTreeEntryLog* entry);
	std::string _TargetFor(const char* redirection) const;
	void _CreateTarget();
	const char* _Redirection() const;
	void _CreateFolder();
	void _CreateLink();
	void _CreateFile();
	BDirectory* _OpenParent(std::string* leaf);
	bool _ResolveExisting(BDirectory* folder, const std::string& leaf, bool isLink);
	void _FileCreated();
	void _FinishFile();
	void _AbandonFile();
	void _BlockFailed(DataBlockStatus failure);
	void _ReadLink();
	void _Progress(bool force);

	std::unique_ptr<MVLogBaseList> fTree;
	BFile fTargetFile;
	FileHeader fHeader;
	std::string fPath;
	// Where the current item goes, and the redirection it follows.
	std::string fTarget;
	std::optional<std::string> fRedirection;
	int64 fEntrySize = 0;

	OverwriteMode fOverwrite = OverwriteMode::No;
	int32 fCreateEmptyFolders = 0;
	int32 fCreateRoot = 0;
	RestoreStatistics fStatistics;
	int32 fItemNumber = 1;

	ProgressThrottle fProgressThrottle;

	RestoreTargetFolders fTargets;
	RestoreFolderFinisher fFolders;
};
