#pragma once

// A stand-in for the server's catalogue registry: a handler that answers
// 'MVLR' browse requests from catalogue messages the test hands it, as the
// registry does ("subdir" 2: the path's own entry, 1: everything below it
// in pre-order). Other messages go to an optional hook. Header-only, so
// that the restore tests share it. Used on its looper's thread; the
// catalogues are set before requests arrive.

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
		BMessage reply('MVLd');
		_Answer(message->GetString("path", ""), message->GetInt32("subdir", 0), &reply);
		(void)message->SendReply(&reply);
	}

private:
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
			_AddRange(catalogue, 0, -1, reply);
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
				_AddRange(catalogue, i + 1, level, reply);
			return;
		}
	}

	// Every entry from start on whose level is above minimum, up to the
	// first that is not.
	void _AddRange(const BMessage& catalogue, int32 start, int32 minimum, BMessage* reply) const
	{
		for (int32 i = start; catalogue.GetString(kLogNameKey, i, nullptr) != nullptr; i++) {
			if (catalogue.GetInt32(kLogLevelKey, i, 0) <= minimum)
				return;
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
	Hook fHook;
	int32 fQueries = 0;
};
