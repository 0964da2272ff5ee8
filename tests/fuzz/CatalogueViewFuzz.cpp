// Feeds arbitrary registry answers to the catalogue view's model: the
// bytes, as a flattened message, answer every browse request below the one
// backup of the catalogue list. Whatever the answer holds, the model stays
// a tree whose levels rise by one from parent to child, its walks stay in
// bounds, and the lines of a whole backup selected select it again.

#include <cstdlib>
#include <cstring>
#include <mutex>

#include <app/Handler.h>
#include <app/Looper.h>
#include <app/Message.h>

#include "MVLogDataModel.h"

namespace {

constexpr const char* kBackup = "bk";

// Answers the catalogue list with one backup and everything else with the
// message under test.
class AnsweringRegistry : public BHandler {
public:
	AnsweringRegistry() : BHandler("fuzzed registry") {}

	void SetAnswer(const BMessage& answer)
	{
		std::lock_guard<std::mutex> lock(fLock);
		fAnswer = answer;
		fAnswer.what = 'MVLd';
	}

	void MessageReceived(BMessage* message) override
	{
		BMessage reply('MVLd');
		if (strcmp(message->GetString("path", ""), "/") == 0) {
			reply.AddString("name", kBackup);
			reply.AddString("title", "fuzzed");
			reply.AddTime("date", 0);
			reply.AddInt32("type", -1);
			reply.AddInt64("size", 0);
			reply.AddString("path", " ");
			reply.AddInt32("medianr", 1);
			reply.AddInt64("offset", 0);
		} else {
			std::lock_guard<std::mutex> lock(fLock);
			reply = fAnswer;
		}
		(void)message->SendReply(&reply);
	}

private:
	std::mutex fLock;
	BMessage fAnswer;
};

BMessenger Registry(AnsweringRegistry** registry)
{
	static AnsweringRegistry* handler = nullptr;
	static BLooper* looper = nullptr;
	if (looper == nullptr) {
		handler = new AnsweringRegistry;
		looper = new BLooper("fuzzed registry");
		looper->AddHandler(handler);
		looper->Run();
	}
	*registry = handler;
	return BMessenger(handler, looper);
}

void CheckTree(const MVLogDataModel& model)
{
	int32 count = model.CountItems();
	for (int32 index = 0; index < count; index++) {
		const MVLogDataItem* item = model.ItemAt(index);
		if (item == nullptr)
			abort();
		if (item->parent != nullptr && item->level != item->parent->level + 1)
			abort();
		for (int32 column = 0; column <= int32(MVLogColumn::Redirection); column++)
			(void)MVLogDataModel::ColumnText(*item, MVLogColumn(column));
	}
	if (model.ItemAt(count) != nullptr || model.CountSelected() > count)
		abort();
	for (int32 position = 1; position <= model.CountSelected(); position++) {
		if (model.FullListCurrentSelection(position) == nullptr
			|| model.SuperItemFromCurrentSelection(position) == nullptr)
			abort();
	}
}

}	// namespace

// Whether the model takes at least one entry below the backup from the
// bytes; the replay's judge.
bool CatalogueViewAttaches(const uint8_t* data, size_t size)
{
	BMessage answer;
	if (answer.Unflatten(reinterpret_cast<const char*>(data), size) != B_OK)
		return false;
	AnsweringRegistry* registry;
	BMessenger messenger = Registry(&registry);
	registry->SetAnswer(answer);

	MVLogDataModel model(messenger);
	if (model.LoadBackups() != B_OK || model.CountBackups() != 1)
		abort();
	MVLogDataItem* backup = model.BackupAt(0);
	(void)model.Select(backup, true, true);
	CheckTree(model);
	bool attached = !backup->children.empty();

	// The whole backup was selected: the lines say so, and select the same
	// items of the same answer again.
	BMessage selection;
	model.GetSelection(&selection);
	MVLogDataModel again(messenger);
	if (again.SetSelection(&selection) != 0 || again.CountSelected() != model.CountSelected())
		abort();
	CheckTree(again);
	return attached;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	(void)CatalogueViewAttaches(data, size);
	return 0;
}
