#include "RestoreTestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <sstream>

#include <app/Messenger.h>
#include <storage/File.h>
#include <storage/SymLink.h>
#include <storage/VolumeTable.h>

#include "ArchiveWriter.h"
#include "Catalogue.h"
#include "CatalogueFile.h"
#include "FileHeader.h"
#include "AwaitCondition.h"
#include "MVBackupServer.h"
#include "MVDefaultTexts.h"
#include "MVLocale.h"
#include "MVRestoreServer.h"
#include "MVVolume.h"
#include "MemoryArchive.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"

namespace {

constexpr bigtime_t kJobTimeout = 20000000;

void ListEntries(const std::string& native, std::vector<std::string>* names)
{
	DIR* folder = opendir(native.c_str());
	if (folder == nullptr)
		return;
	while (dirent* entry = readdir(folder)) {
		std::string name = entry->d_name;
		if (name != "." && name != "..")
			names->push_back(name);
	}
	closedir(folder);
	std::sort(names->begin(), names->end());
}

}	// namespace

std::string DistServerFolder()
{
	return std::string(MORVANE_DIST_DIR) + "/Backup_Server";
}

RestoreTestBed::RestoreTestBed(off_t mediumSize)
{
	// The English texts, as the server has them, so that questions carry
	// their text.
	InstallDefaultTexts(MVLocale::GetInstance());
	fFolder.MakeFolder("sys/server/logdata");
	fFolder.MakeFolder("dest");
	fFolder.MakeFolder("media");
	fVolumes = std::make_unique<ScopedEnv>("MORVANE_VOLUMES",
		"sys=" + (fFolder / "sys") + ";dest=" + (fFolder / "dest") + ";media="
		+ (fFolder / "media") + ",removable,size=" + std::to_string(mediumSize));
	(void)VolumeTable::Reload();
	fRegistry.SetHook([this](BMessage* message) { fInbox.Add(*message); });
	fLooper = new BLooper("restore test server");
	fLooper->AddHandler(&fRegistry);
	fLooper->Run();
}

RestoreTestBed::~RestoreTestBed()
{
	fLooper->Lock();
	fLooper->RemoveHandler(&fRegistry);
	fLooper->Quit();
	// Restored read-only folders must not keep the test folder.
	std::string command = "chmod -R u+rwx '" + fFolder.Path() + "'";
	(void)system(command.c_str());
	fVolumes.reset();
	(void)VolumeTable::Reload();
}

std::string RestoreTestBed::Native(const std::string& systemPath) const
{
	std::string native;
	(void)VolumeTable::ToNative(systemPath.c_str(), &native);
	return native;
}

std::string RestoreTestBed::WriteBackup(const std::string& id, const std::string& source,
	const Damage& damage)
{
	MemoryArchive archive;
	ArchiveWriter writer(&archive, nullptr, "");
	BackupHeader header;
	header.backupId = id;
	header.title = "Title " + id;
	EXPECT_EQ(writer.WriteBackupHeader(header), B_OK);

	Catalogue catalogue;
	CatalogueInfo info;
	info.backupId = id;
	info.title = header.title;
	info.destination = "MVImage";
	info.destinationSettings.AddString("MVVOLNAME", "/dest");
	EXPECT_EQ(catalogue.Begin(info), B_OK);

	// The volume root, the folders leading to source, then source's tree.
	std::vector<std::pair<std::string, int32>> paths{{"/sys", 0}};
	std::string walk;
	int32 level = 0;
	size_t start = 1;
	std::string relative = source.substr(std::string("/sys").size());
	while (start < relative.size()) {
		size_t slash = relative.find('/', start);
		walk = relative.substr(0, slash);
		paths.push_back({"/sys" + walk, ++level});
		if (slash == std::string::npos)
			break;
		start = slash + 1;
	}
	paths.resize(level + 1);
	std::function<void(const std::string&, int32)> add = [&](const std::string& path,
			int32 depth) {
		std::vector<std::string> names;
		ListEntries(Native(path), &names);
		for (const std::string& name : names) {
			std::string child = path + "/" + name;
			paths.push_back({child, depth + 1});
			struct stat status;
			if (lstat(Native(child).c_str(), &status) == 0 && S_ISDIR(status.st_mode))
				add(child, depth + 1);
		}
	};
	add(source, level);

	int32 number = 0;
	for (const auto& [path, depth] : paths) {
		FileHeader fileHeader;
		EXPECT_EQ(fileHeader.BuildFromEntry(path.c_str(), uint32(depth), number, nullptr), B_OK);
		CatalogueEntry entry;
		entry.path = path;
		entry.kind = fileHeader.Kind();
		entry.size = fileHeader.Stat().size;
		entry.level = depth;
		entry.offset = writer.Position();
		entry.modificationTime = fileHeader.Stat().modificationTime;
		entry.entryNumber = number++;
		EXPECT_EQ(writer.WriteFileHeader(fileHeader), B_OK);
		if (entry.kind == EntryKind::File && entry.size > 0) {
			BFile file(path.c_str(), B_READ_ONLY);
			int64 written = 0;
			EXPECT_EQ(writer.WriteFileData(&file, entry.size, &written), B_OK);
		} else if (entry.kind == EntryKind::SymLink) {
			BSymLink link(path.c_str());
			std::string text;
			EXPECT_EQ(link.ReadLink(&text), B_OK);
			EXPECT_EQ(writer.WriteSymLink(text.c_str()), B_OK);
		}
		EXPECT_EQ(catalogue.AddEntry(entry), B_OK);
	}
	EXPECT_EQ(catalogue.SetSize(0), B_OK);
	EXPECT_EQ(writer.WriteCatalogue(catalogue.Message()), B_OK);

	std::vector<uint8> bytes = archive.Bytes();
	BMessage message = catalogue.Message();
	if (damage)
		damage(&bytes, &message);
	std::ofstream image(fFolder / ("dest/" + id), std::ios::binary);
	image.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
	image.close();
	EXPECT_EQ(CatalogueFile::Write(CatalogueFile::PathFor(kServerFolder, id).c_str(), message),
		B_OK);
	fRegistry.AddCatalogue(id, message);
	return id;
}

BMessage RestoreTestBed::RunRestore(const BMessage& selection, int32 overwrite)
{
	return FinishJob(StartRestore(selection, overwrite));
}

void RestoreTestBed::AddCatalogue(const std::string& id, const BMessage& catalogue)
{
	fLooper->Lock();
	fRegistry.AddCatalogue(id, catalogue);
	fLooper->Unlock();
}

BMessenger RestoreTestBed::StartWorker(MVReadServer* worker, const std::vector<BMessage>& early)
{
	fInbox.Clear();
	BMessenger server(&fRegistry, fLooper);
	worker->SetServer(server);
	worker->SetCatalogueRegistry(server);
	worker->SetAbortWait(0);
	worker->Run();
	BMessenger workerMessenger(worker);
	for (const BMessage& message : early)
		EXPECT_EQ(workerMessenger.SendMessage(&message), B_OK);
	BMessage subscribe(kMsgSubscribe);
	subscribe.AddMessenger("user", server);
	EXPECT_EQ(workerMessenger.SendMessage(&subscribe), B_OK);
	return workerMessenger;
}

BMessenger RestoreTestBed::StartRestore(const BMessage& selection, int32 overwrite,
	const std::vector<BMessage>& early, bool startTwice)
{
	BMessenger workerMessenger = StartWorker(new MVRestoreServer(kServerFolder,
		AddOnLoader(DistServerFolder())), early);
	BMessage job(kMsgJobStart);
	job.AddInt32("job_id", 7);
	job.AddInt32("report_id", 3);
	BMessage startInfo;
	startInfo.AddString("title", "restore test");
	job.AddMessage("start_info", &startInfo);
	BMessage options;
	options.AddInt32("overwrite", overwrite);
	job.AddMessage("restore", &options);
	job.AddMessage("selection", &selection);
	EXPECT_EQ(workerMessenger.SendMessage(&job), B_OK);
	if (startTwice) {
		EXPECT_EQ(workerMessenger.SendMessage(&job), B_OK);
	}
	return workerMessenger;
}

BMessage RestoreTestBed::FinishJob(const BMessenger& worker, const MediaAnswer& answer)
{
	// The end goes to the server and to the subscriber, both this handler.
	int32 answered = 0;
	bool ended = false;
	while (!ended) {
		bool woke = AwaitCondition([&] {
			return fInbox.Count(kMsgJobFinished) >= 2 || fInbox.Count(kMsgQuestion) > answered;
		}, kJobTimeout);
		if (!woke)
			break;
		ended = fInbox.Count(kMsgJobFinished) >= 2;
		if (ended || fInbox.Count(kMsgQuestion) <= answered)
			continue;
		std::vector<BMessage> questions;
		for (const BMessage& message : fInbox.Messages()) {
			if (message.what == kMsgQuestion)
				questions.push_back(message);
		}
		const BMessage& question = questions[size_t(answered)];
		int32 continues = fInbox.Count(kMsgJobContinue);
		answered++;
		if (!answer) {
			ADD_FAILURE() << "unexpected question " << question.GetString("text", "");
			BMessage abort(kMsgJobDelete);
			(void)BMessenger(worker).SendMessage(&abort);
			continue;
		}
		answer(question);
		BMessage reply;
		EXPECT_EQ(question.FindMessage("reply", &reply), B_OK);
		reply.AddInt32("which", 0);
		(void)BMessenger(worker).SendMessage(&reply);
		EXPECT_TRUE(AwaitCondition([&] { return fInbox.Count(kMsgJobContinue) > continues; },
			kJobTimeout));
		BMessage resume(kMsgJobContinue);
		resume.AddInt32("job_id", question.GetInt32("job_id", 0));
		(void)BMessenger(worker).SendMessage(&resume);
	}
	std::optional<BMessage> end = fInbox.Await(kMsgJobFinished, 0);
	fLines.clear();
	for (const BMessage& message : fInbox.Messages()) {
		if (message.what == kMsgJobProgress && message.GetInt32("linetype", 0) != kLineProgress)
			fLines.push_back(message);
	}
	EXPECT_TRUE(end.has_value());
	// The worker quits itself after 'MVJf'; wait until it is gone.
	EXPECT_TRUE(AwaitCondition([&] { return !worker.IsValid(); }, kJobTimeout));
	return end.value_or(BMessage());
}

std::string RestoreTestBed::RunBackup(const std::vector<std::string>& lines,
	const char* compressor, const char* destination, const MediaAnswer& answer)
{
	fInbox.Clear();
	MVBackupServer* worker = new MVBackupServer(kServerFolder, AddOnLoader(DistServerFolder()));
	BMessenger server(&fRegistry, fLooper);
	worker->SetServer(server);
	worker->Run();
	BMessenger workerMessenger(worker);
	BMessage subscribe(kMsgSubscribe);
	subscribe.AddMessenger("user", server);
	EXPECT_EQ(workerMessenger.SendMessage(&subscribe), B_OK);

	BMessage job(kMsgJobStart);
	job.AddInt32("job_id", 8);
	job.AddInt32("report_id", 4);
	job.AddInt32("job_type", kJobFullBackup);
	BMessage startInfo;
	startInfo.AddString("title", "round trip");
	job.AddMessage("start_info", &startInfo);
	job.AddString("addon", "MVImage");
	BMessage volume;
	volume.AddString(kVolumeNameKey, destination);
	volume.AddBool("createpath", true);
	job.AddMessage("volume", &volume);
	job.AddString("bak_addonpacker", compressor);
	BMessage packer;
	job.AddMessage("bak_packer", &packer);
	BMessage selection;
	for (const std::string& line : lines)
		selection.AddString("SELECTION", line.c_str());
	job.AddMessage("selection", &selection);
	(void)workerMessenger.SendMessage(&job);

	BMessage end = FinishJob(workerMessenger, answer);
	EXPECT_EQ(end.GetInt32("status", -1), 0);
	std::string id = end.GetString("backup_id", "");
	BMessage catalogue;
	int16 version = 0;
	if (id.empty() || CatalogueFile::Read(CatalogueFile::PathFor(kServerFolder, id).c_str(),
			&catalogue, &version) != B_OK) {
		ADD_FAILURE() << "no catalogue for backup '" << id << "'";
		return std::string();
	}
	fRegistry.AddCatalogue(id, catalogue);
	return id;
}

int32 RestoreTestBed::CountLines(int32 textID) const
{
	return int32(std::count_if(fLines.begin(), fLines.end(), [textID](const BMessage& line) {
		return line.GetInt32("text_id", -1) == textID;
	}));
}

std::vector<std::string> DescribeTree(const std::string& native)
{
	std::vector<std::string> lines;
	std::function<void(const std::string&, const std::string&)> walk =
		[&](const std::string& folder, const std::string& prefix) {
		std::vector<std::string> names;
		ListEntries(folder, &names);
		for (const std::string& name : names) {
			std::string path = folder + "/" + name;
			struct stat status;
			if (lstat(path.c_str(), &status) != 0)
				continue;
			std::ostringstream line;
			line << prefix << name << " mode=" << std::oct << (status.st_mode & 0177777)
				<< std::dec << " mtime=" << status.st_mtime;
			if (S_ISREG(status.st_mode)) {
				std::ifstream file(path, std::ios::binary);
				std::string content((std::istreambuf_iterator<char>(file)),
					std::istreambuf_iterator<char>());
				line << " size=" << status.st_size << " hash=" << std::hash<std::string>()(content);
			} else if (S_ISLNK(status.st_mode)) {
				char text[PATH_MAX];
				ssize_t length = readlink(path.c_str(), text, sizeof(text));
				line << " link=" << std::string(text, length > 0 ? size_t(length) : 0);
			}
			char list[4096];
			ssize_t listLength = llistxattr(path.c_str(), list, sizeof(list));
			for (ssize_t at = 0; at < listLength; at += strlen(list + at) + 1) {
				char value[4096];
				ssize_t valueLength = lgetxattr(path.c_str(), list + at, value, sizeof(value));
				line << " attr:" << (list + at) << "="
					<< std::string(value, valueLength > 0 ? size_t(valueLength) : 0);
			}
			lines.push_back(line.str());
			if (S_ISDIR(status.st_mode))
				walk(path, prefix + name + "/");
		}
	};
	walk(native, "");
	return lines;
}
