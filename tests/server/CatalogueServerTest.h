#pragma once

// A server inside the test process with catalogue files in its "logdata"
// folder, written as the backup engine writes them, and a client that
// records what the server tells it.

#include <optional>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "CatalogueFile.h"
#include "InProcessServer.h"
#include "MessageRecorder.h"

class CatalogueServerTest : public InProcessServer {
protected:
	static constexpr team_id kClientTeam = 51;

	struct Backup {
		std::string title = "Weekly";
		int32 date = 1700000000;
		std::string password;
		int32 jobId = 7;
		int32 mode = 1;
		int32 baseId = 0;
		std::string destination;
		std::string destinationFolder;
	};

	void SetUp() override
	{
		InProcessServer::SetUp();
		fFolder.MakeFolder("Backup_Server/logdata");
	}

	static std::string CataloguePath(const std::string& name)
	{
		return std::string(kProgramFolder) + "/logdata/" + name;
	}

	std::string NativeCatalogue(const std::string& name) const
	{
		return NativePath("logdata/" + name);
	}

	// A backup of two volumes:
	//   0 /HD  1 /HD/home  2 /HD/home/a  3 /HD/home/sub  4 /HD/home/sub/b
	//   5 /HD/top.txt  6 /Other  7 /Other/c
	static BMessage MakeCatalogue(const std::string& name, const Backup& backup)
	{
		Catalogue catalogue;
		CatalogueInfo info;
		info.backupId = name;
		info.title = backup.title;
		info.date = backup.date;
		info.password = backup.password;
		info.jobId = backup.jobId;
		info.mode = backup.mode;
		info.baseId = backup.baseId;
		info.destination = backup.destination;
		if (!backup.destinationFolder.empty())
			info.destinationSettings.AddString("MVVOLNAME", backup.destinationFolder);
		EXPECT_EQ(catalogue.Begin(info), B_OK);
		struct Item {
			const char* path;
			EntryKind kind;
			int32 level;
		};
		const Item items[] = {
			{"/HD", EntryKind::VolumeRoot, 0},
			{"/HD/home", EntryKind::Directory, 1},
			{"/HD/home/a", EntryKind::File, 2},
			{"/HD/home/sub", EntryKind::Directory, 2},
			{"/HD/home/sub/b", EntryKind::File, 3},
			{"/HD/top.txt", EntryKind::File, 1},
			{"/Other", EntryKind::VolumeRoot, 0},
			{"/Other/c", EntryKind::File, 1},
		};
		int32 number = 0;
		for (const Item& item : items) {
			CatalogueEntry entry;
			entry.path = item.path;
			entry.kind = item.kind;
			entry.level = item.level;
			entry.size = 100 + number;
			entry.offset = 220 + 1000 * number;
			entry.modificationTime = 1600000000 + number;
			entry.entryNumber = number++;
			EXPECT_EQ(catalogue.AddEntry(entry), B_OK);
		}
		EXPECT_EQ(catalogue.SetSize(123456), B_OK);
		return catalogue.Message();
	}

	void WriteCatalogue(const std::string& name, const Backup& backup)
	{
		ASSERT_EQ(CatalogueFile::Write(CataloguePath(name).c_str(),
			MakeCatalogue(name, backup)), B_OK);
	}

	void WriteCatalogue(const std::string& name) { WriteCatalogue(name, Backup()); }

	void RegisterClient()
	{
		fLink.Add(kClientTeam, fClient.Messenger());
		BMessage registration;
		registration.AddInt32("client_id", kClientTeam);
		Handle(kMsgAddClient, registration);
	}

	// Everything the client was sent so far has arrived once this returns.
	void DrainClient()
	{
		int32 mark = ++fMarks;
		BMessage marker('mark');
		marker.AddInt32("mark", mark);
		ASSERT_EQ(fClient.Messenger().SendMessage(&marker), B_OK);
		ASSERT_TRUE(fClient.Inbox().Await('mark', kPatience, [mark](const BMessage& message) {
			return message.GetInt32("mark", 0) == mark;
		}).has_value());
	}

	std::optional<BMessage> AwaitNamed(uint32 what, const std::string& name)
	{
		return fClient.Inbox().Await(what, kPatience, [&](const BMessage& message) {
			return name == message.GetString("name", "");
		});
	}

	int32 CountNamed(uint32 what, const std::string& name)
	{
		return fClient.Inbox().Count(what, [&](const BMessage& message) {
			return name == message.GetString("name", "");
		});
	}

	const BMessage& List() { return fServer->Catalogues().List(); }

	static std::vector<std::string> Strings(const BMessage& message, const char* field)
	{
		std::vector<std::string> values;
		const char* value;
		for (int32 i = 0; message.FindString(field, i, &value) == B_OK; i++)
			values.emplace_back(value);
		return values;
	}

	BMessage ReadDir(const std::string& path, int32 index, int32 mode)
	{
		BMessage reply(kMsgLogData);
		fServer->Catalogues().LogReadDir(path.c_str(), &reply, index, mode);
		return reply;
	}

	MessageRecorder fClient{"catalogue client"};
	int32 fMarks = 0;
};
