#pragma once

// A stand-in for the server's catalogue registry: a handler that answers
// 'MVLR' browse requests from catalogue messages the test hands it, as the
// registry does (path "/": the catalogue list; "subdir" 2: the path's own
// entry, 1: everything below it in pre-order, 0: its direct children).
// A test may fix the answer for a path instead. Other messages go to an
// optional hook. Header-only, so that the restore tests share it. Used on
// its looper's thread; catalogues and answers are set before requests
// arrive.

#include <functional>
#include <map>
#include <string>

#include <app/Handler.h>
#include <app/Message.h>

#include "CatalogueFormat.h"

class FakeCatalogueRegistry : public BHandler {
public:
	using Hook = std::function<void(BMessage*)>;

	FakeCatalogueRegistry() : BHandler("fake registry") {}

	void AddCatalogue(const std::string& name, const BMessage& catalogue)
	{
		fCatalogues[name] = catalogue;
	}
	// Every request for path gets answer, whatever its "subdir".
	void SetAnswer(const std::string& path, const BMessage& answer) { fAnswers[path] = answer; }
	void SetHook(Hook hook) { fHook = std::move(hook); }
	int32 CountQueries() const { return fQueries; }

	void MessageReceived(BMessage* message) override
	{
		if (message->what != 'MVLR') {
			if (fHook)
				fHook(message);
			return;
		}
		fQueries++;
		std::string path = message->GetString("path", "");
		auto fixed = fAnswers.find(path);
		if (fixed != fAnswers.end()) {
			(void)message->SendReply(&fixed->second);
			return;
		}
		BMessage reply('MVLd');
		if (path == "/")
			_AddList(&reply);
		else
			_Answer(path, message->GetInt32("subdir", 0), &reply);
		(void)message->SendReply(&reply);
	}

private:
	// The catalogue list as the registry gives it to clients.
	void _AddList(BMessage* reply) const
	{
		for (const auto& [name, catalogue] : fCatalogues) {
			reply->AddString("name", name.c_str());
			reply->AddString("title", catalogue.GetString(kLogTitleKey, "- no title -"));
			reply->AddTime("date", catalogue.GetInt32(kLogDateKey, 0));
			reply->AddInt32("type", -1);
			reply->AddInt64("size", catalogue.GetInt64(kLogSizeKey, -1));
			reply->AddString("path", " ");
			reply->AddInt32("medianr", 1);
			reply->AddInt64("offset", 0);
			reply->AddInt32("job_id", catalogue.GetInt32(kLogJobIdKey, 0));
			reply->AddInt32("mode", catalogue.GetInt32(kLogModeKey, 1));
			reply->AddInt32("base_id", catalogue.GetInt32(kLogBaseIdKey, 0));
			reply->AddInt32("pw", catalogue.GetString(kLogCryptKey, "")[0] != '\0' ? 1 : 0);
			reply->AddString("dest", catalogue.GetString(kLogDestinationKey, ""));
		}
	}

	void _Answer(const std::string& path, int32 subdir, BMessage* reply) const
	{
		size_t slash = path.find('/', 1);
		std::string name = path.substr(1, slash == std::string::npos ? std::string::npos
			: slash - 1);
		auto found = fCatalogues.find(name);
		if (found == fCatalogues.end())
			return;
		const BMessage& catalogue = found->second;
		std::string rest = slash == std::string::npos ? std::string() : path.substr(slash);
		if (rest.empty()) {
			if (subdir == 2) {
				_AddEntry(reply, -1, name, -1, 0, 0, 1, 0, catalogue.GetString(kLogTitleKey, ""), -1);
				return;
			}
			_AddRange(catalogue, 0, -1, subdir == 0, reply);
			return;
		}
		for (int32 i = 0; ; i++) {
			const char* entryPath = catalogue.GetString(kLogNameKey, i, nullptr);
			if (entryPath == nullptr)
				return;
			if (rest != entryPath)
				continue;
			int32 level = catalogue.GetInt32(kLogLevelKey, i, 0);
			if (subdir == 2)
				_AddIndex(catalogue, i, reply);
			else
				_AddRange(catalogue, i + 1, level, subdir == 0, reply);
			return;
		}
	}

	// Every entry from start on whose level is above minimum (with
	// childrenOnly: just above), up to the first that is not.
	void _AddRange(const BMessage& catalogue, int32 start, int32 minimum, bool childrenOnly,
		BMessage* reply) const
	{
		for (int32 i = start; catalogue.GetString(kLogNameKey, i, nullptr) != nullptr; i++) {
			int32 level = catalogue.GetInt32(kLogLevelKey, i, 0);
			if (level <= minimum)
				return;
			if (!childrenOnly || level == minimum + 1)
				_AddIndex(catalogue, i, reply);
		}
	}

	void _AddIndex(const BMessage& catalogue, int32 i, BMessage* reply) const
	{
		std::string path = catalogue.GetString(kLogNameKey, i, "");
		int64 size = 0;
		int64 offset = 0;
		(void)catalogue.FindInt64(kLogRealSizeKey, i, &size);
		(void)catalogue.FindInt64(kLogOffsetKey, i, &offset);
		int32 date = 0;
		(void)catalogue.FindTime(kLogModifiedKey, i, &date);
		_AddEntry(reply, catalogue.GetInt32(kLogLevelKey, i, 0), path.substr(path.rfind('/') + 1),
			catalogue.GetInt32(kLogTypeKey, i, 0), size, offset,
			catalogue.GetInt32(kLogMediumKey, i, 1), date, path,
			catalogue.GetInt32(kLogEntryNumberKey, i, 0));
	}

	static void _AddEntry(BMessage* reply, int32 level, const std::string& name, int32 type,
		int64 size, int64 offset, int32 medium, int32 date, const std::string& path, int32 index)
	{
		reply->AddInt32("level", level);
		reply->AddString("name", name.c_str());
		reply->AddInt32("type", type);
		reply->AddInt64("size", size);
		reply->AddTime("date", date);
		reply->AddInt32("medianr", medium);
		reply->AddInt64("offset", offset);
		reply->AddString("path", path.c_str());
		reply->AddInt32("aktfilenr", index);
	}

	std::map<std::string, BMessage> fCatalogues;
	std::map<std::string, BMessage> fAnswers;
	Hook fHook;
	int32 fQueries = 0;
};
