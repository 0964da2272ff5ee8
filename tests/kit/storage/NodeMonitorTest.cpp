#include <storage/NodeMonitor.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

#include <app/Looper.h>
#include <app/Message.h>
#include <storage/Directory.h>
#include <storage/Entry.h>

#include "StorageTestSupport.h"

namespace {

constexpr auto kPatience = std::chrono::seconds(20);

struct Event {
	int32 opcode;
	int32 device;
	int64 directory;
	int64 toDirectory;
	int64 node;
	std::string name;
	std::string fromName;
};

// Keeps the node monitor messages it receives.
class RecordingLooper : public BLooper {
public:
	RecordingLooper() : BLooper("node monitor test") {}

	void MessageReceived(BMessage* message) override
	{
		if (message->what != B_NODE_MONITOR) {
			BLooper::MessageReceived(message);
			return;
		}
		Event event;
		event.opcode = message->GetInt32("opcode", -1);
		event.device = message->GetInt32("device", -1);
		event.directory = message->GetInt64("directory", -1);
		event.toDirectory = message->GetInt64("to directory", -1);
		event.node = message->GetInt64("node", -1);
		event.name = message->GetString("name", "");
		event.fromName = message->GetString("from name", "");
		std::lock_guard<std::mutex> guard(fLock);
		fEvents.push_back(event);
		fCondition.notify_all();
	}

	// Waits until count events have come; returns them.
	std::vector<Event> WaitForEvents(size_t count)
	{
		std::unique_lock<std::mutex> guard(fLock);
		fCondition.wait_for(guard, kPatience, [&] { return fEvents.size() >= count; });
		return fEvents;
	}

private:
	std::mutex fLock;
	std::condition_variable fCondition;
	std::vector<Event> fEvents;
};


// A running looper, quit when the test ends. It is asked to quit by a
// message and waited for, so that it ends on its own thread.
class LooperHolder {
public:
	LooperHolder() : fLooper(new RecordingLooper) { fThread = fLooper->Run(); }
	~LooperHolder() { Quit(); }
	RecordingLooper* operator->() { return fLooper; }
	BMessenger Messenger() const { return BMessenger(fLooper); }
	void Quit()
	{
		if (fLooper == nullptr)
			return;
		EXPECT_EQ(BMessenger(fLooper).SendMessage(B_QUIT_REQUESTED), B_OK);
		status_t exitValue;
		(void)wait_for_thread(fThread, &exitValue);
		fLooper = nullptr;
	}

private:
	RecordingLooper* fLooper;
	thread_id fThread;
};


node_ref NodeOf(const char* path)
{
	node_ref ref;
	EXPECT_EQ(BEntry(path).GetNodeRef(&ref), B_OK) << path;
	return ref;
}


ino_t Inode(const std::string& native)
{
	struct stat status;
	return stat(native.c_str(), &status) == 0 ? status.st_ino : 0;
}

}	// namespace


// Creating, renaming and removing in a watched folder give one message
// each, with the folder, the entry's node and its names.
TEST_F(VolumeTest, MonitorCreateMoveRemove)
{
	fFolder.MakeFolder("data/watched");
	LooperHolder looper;
	node_ref folder = NodeOf("/data/watched");
	ASSERT_EQ(watch_node(&folder, B_WATCH_DIRECTORY, looper.Messenger()), B_OK);

	// Each step waits for its message, so that the entry is still there
	// when the monitor looks its node up.
	fFolder.WriteFile("data/watched/a", "x");
	ino_t node = Inode(Data("watched/a"));
	ASSERT_EQ(looper->WaitForEvents(1).size(), 1u);
	ASSERT_EQ(rename(Data("watched/a").c_str(), Data("watched/b").c_str()), 0);
	ASSERT_EQ(looper->WaitForEvents(2).size(), 2u);
	ASSERT_EQ(BEntry("/data/watched/b").Remove(), B_OK);

	std::vector<Event> events = looper->WaitForEvents(3);
	ASSERT_EQ(events.size(), 3u);
	EXPECT_EQ(events[0].opcode, B_ENTRY_CREATED);
	EXPECT_EQ(events[0].name, "a");
	EXPECT_EQ(events[0].device, 2);
	EXPECT_EQ(events[0].directory, int64(folder.node));
	EXPECT_EQ(events[0].node, int64(node));
	EXPECT_EQ(events[1].opcode, B_ENTRY_MOVED);
	EXPECT_EQ(events[1].fromName, "a");
	EXPECT_EQ(events[1].name, "b");
	EXPECT_EQ(events[1].directory, int64(folder.node));
	EXPECT_EQ(events[1].toDirectory, int64(folder.node));
	EXPECT_EQ(events[1].node, int64(node));
	EXPECT_EQ(events[2].opcode, B_ENTRY_REMOVED);
	EXPECT_EQ(events[2].name, "b");
	EXPECT_EQ(events[2].node, int64(node));
	EXPECT_EQ(stop_watching(looper.Messenger()), B_OK);
}


// Between two watched folders a move is one message; out of them it is a
// removal, into them a creation. Stopping a watch stops its messages.
TEST_F(VolumeTest, MonitorMovesAcrossFolders)
{
	fFolder.MakeFolder("data/one");
	fFolder.MakeFolder("data/two");
	fFolder.MakeFolder("data/elsewhere");
	fFolder.WriteFile("data/one/file", "x");
	fFolder.WriteFile("data/elsewhere/incoming", "x");
	LooperHolder looper;
	node_ref one = NodeOf("/data/one");
	node_ref two = NodeOf("/data/two");
	ASSERT_EQ(watch_node(&one, B_WATCH_DIRECTORY, looper.Messenger()), B_OK);
	ASSERT_EQ(watch_node(&two, B_WATCH_DIRECTORY, looper.Messenger()), B_OK);

	ASSERT_EQ(rename(Data("one/file").c_str(), Data("two/file").c_str()), 0);
	ASSERT_EQ(rename(Data("two/file").c_str(), Data("elsewhere/file").c_str()), 0);
	ASSERT_EQ(rename(Data("elsewhere/incoming").c_str(), Data("one/incoming").c_str()), 0);

	std::vector<Event> events = looper->WaitForEvents(3);
	ASSERT_EQ(events.size(), 3u);
	EXPECT_EQ(events[0].opcode, B_ENTRY_MOVED);
	EXPECT_EQ(events[0].directory, int64(one.node));
	EXPECT_EQ(events[0].toDirectory, int64(two.node));
	EXPECT_EQ(events[1].opcode, B_ENTRY_REMOVED);
	EXPECT_EQ(events[1].directory, int64(two.node));
	EXPECT_EQ(events[1].name, "file");
	EXPECT_EQ(events[2].opcode, B_ENTRY_CREATED);
	EXPECT_EQ(events[2].directory, int64(one.node));
	EXPECT_EQ(events[2].name, "incoming");

	// After the watch of "one" ends, only "two" is heard from; messages
	// come in order, so the one from "two" shows that none from "one" came.
	ASSERT_EQ(watch_node(&one, B_STOP_WATCHING, looper.Messenger()), B_OK);
	EXPECT_EQ(watch_node(&one, B_STOP_WATCHING, looper.Messenger()), B_BAD_VALUE);
	fFolder.WriteFile("data/one/quiet", "x");
	fFolder.WriteFile("data/two/heard", "x");
	events = looper->WaitForEvents(4);
	ASSERT_EQ(events.size(), 4u);
	EXPECT_EQ(events[3].name, "heard");
	EXPECT_EQ(stop_watching(looper.Messenger()), B_OK);
	EXPECT_EQ(stop_watching(looper.Messenger()), B_BAD_VALUE);
}


// Stat watchers hear of changes to the node itself; a target that is gone
// is dropped while the others keep receiving.
TEST_F(VolumeTest, MonitorStatChangesAndGoneTargets)
{
	fFolder.WriteFile("hd/file", "x");
	fFolder.MakeFolder("hd/folder");
	LooperHolder looper;
	LooperHolder leaving;
	node_ref file = NodeOf("/boot/file");
	node_ref folder = NodeOf("/boot/folder");
	ASSERT_EQ(watch_node(&file, B_WATCH_STAT, looper.Messenger()), B_OK);
	ASSERT_EQ(watch_node(&folder, B_WATCH_DIRECTORY, leaving.Messenger()), B_OK);
	ASSERT_EQ(watch_node(&folder, B_WATCH_DIRECTORY, looper.Messenger()), B_OK);
	leaving.Quit();

	ASSERT_EQ(chmod(Boot("file").c_str(), 0600), 0);
	std::vector<Event> events = looper->WaitForEvents(1);
	ASSERT_FALSE(events.empty());
	EXPECT_EQ(events[0].opcode, B_STAT_CHANGED);
	EXPECT_EQ(events[0].node, int64(file.node));
	EXPECT_EQ(events[0].device, 1);

	fFolder.WriteFile("hd/folder/new", "");
	events = looper->WaitForEvents(2);
	ASSERT_EQ(events.size(), 2u);
	EXPECT_EQ(events[1].opcode, B_ENTRY_CREATED);
	EXPECT_EQ(stop_watching(looper.Messenger()), B_OK);
}


// Bad calls are refused.
TEST_F(VolumeTest, MonitorRefusesBadCalls)
{
	LooperHolder looper;
	node_ref unknown(1, 123456789);
	EXPECT_EQ(watch_node(nullptr, B_WATCH_DIRECTORY, looper.Messenger()), B_BAD_VALUE);
	EXPECT_EQ(watch_node(&unknown, B_WATCH_DIRECTORY, looper.Messenger()), B_ENTRY_NOT_FOUND);
	node_ref root = NodeOf("/boot");
	EXPECT_EQ(watch_node(&root, 0x1000, looper.Messenger()), B_BAD_VALUE);
	EXPECT_EQ(watch_node(&root, B_WATCH_DIRECTORY, BMessenger()), B_BAD_VALUE);
	EXPECT_EQ(stop_watching(looper.Messenger()), B_BAD_VALUE);
}
