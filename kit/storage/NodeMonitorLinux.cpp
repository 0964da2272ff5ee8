// Node monitoring over inotify: one thread per process reads the events of
// every watch and turns them into B_NODE_MONITOR messages.
//
// inotify reports a move as IN_MOVED_FROM and IN_MOVED_TO with one cookie,
// usually read together. A "from" waits a short while for its "to"; one
// that stays alone was a move out of the watched folders and is reported as
// a removal. Messages that follow a waiting "from" are held back meanwhile,
// so that every target gets its messages in the order of the events.
// inotify gives no inode for a removed entry, so the names of watched
// folders are kept with their inodes.

#include <storage/NodeMonitor.h>

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <iterator>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <app/Message.h>

#include "NodeRegistry.h"
#include "StoragePrivate.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long a send may wait for room in a target's queue before the
// message is dropped, so that one stuck target cannot stall the others.
constexpr bigtime_t kSendTimeout = 500000;
// How long a "moved from" waits for its "moved to".
constexpr auto kMovePairing = std::chrono::milliseconds(50);
// Folders with more entries than this are not indexed; their removals then
// carry node 0.
constexpr size_t kMaxIndexedNames = 100000;
constexpr size_t kEventBufferSize = 64 * 1024;

struct Watcher {
	BMessenger target;
	uint32 flags;
};

struct WatchedNode {
	node_ref node;
	std::string native;
	std::vector<Watcher> watchers;
	bool namesIndexed = false;
	std::unordered_map<std::string, ino_t> names;
};

struct PendingMove {
	uint32 cookie;
	int descriptor;
	std::string name;
	ino_t node;
	Clock::time_point when;
	size_t slot;    // where its messages go among the held ones
};

struct Delivery {
	BMessenger target;
	BMessage message;
};


uint32 InotifyMask(uint32 flags)
{
	uint32 mask = IN_DONT_FOLLOW;
	if ((flags & B_WATCH_NAME) != 0)
		mask |= IN_DELETE_SELF;
	if ((flags & B_WATCH_STAT) != 0)
		mask |= IN_ATTRIB | IN_MODIFY;
	if ((flags & B_WATCH_ATTR) != 0)
		mask |= IN_ATTRIB;
	if ((flags & B_WATCH_DIRECTORY) != 0)
		mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
	return mask;
}


uint32 UnionOfFlags(const WatchedNode& watch)
{
	uint32 flags = 0;
	for (const Watcher& watcher : watch.watchers)
		flags |= watcher.flags;
	return flags;
}


ino_t InodeOf(const std::string& native)
{
	struct stat status;
	return lstat(native.c_str(), &status) == 0 ? status.st_ino : 0;
}


void IndexNames(WatchedNode* watch)
{
	watch->names.clear();
	watch->namesIndexed = false;
	DIR* folder = opendir(watch->native.c_str());
	if (folder == nullptr)
		return;
	while (struct dirent* entry = readdir(folder)) {
		std::string name = entry->d_name;
		if (name == "." || name == "..")
			continue;
		if (watch->names.size() >= kMaxIndexedNames) {
			watch->names.clear();
			closedir(folder);
			return;
		}
		watch->names[name] = entry->d_ino;
	}
	closedir(folder);
	watch->namesIndexed = true;
}


BMessage EntryMessage(int32 opcode, const WatchedNode& folder, ino_t node, const std::string& name)
{
	BMessage message(B_NODE_MONITOR);
	message.AddInt32("opcode", opcode);
	message.AddInt32("device", int32(folder.node.device));
	message.AddInt64("directory", int64(folder.node.node));
	message.AddInt64("node", int64(node));
	message.AddString("name", name);
	return message;
}


class Monitor {
public:
	static Monitor& Default()
	{
		// Built on first use, after the application kit's transport, so
		// that it is torn down (and its thread ended) before that.
		static Monitor sMonitor;
		return sMonitor;
	}

	~Monitor();

	status_t AddWatch(const node_ref& node, uint32 flags, const BMessenger& target);
	status_t StopWatching(const node_ref& node, const BMessenger& target);
	status_t StopWatching(const BMessenger& target);

private:
	Monitor() = default;

	status_t _Start();
	void _Run();
	bool _ReadEvents();
	void _HandleEvent(const struct inotify_event& event, std::vector<Delivery>* deliveries);
	void _HandleChild(int descriptor, WatchedNode& watch, const struct inotify_event& event,
		std::vector<Delivery>* deliveries);
	void _HandleSelf(WatchedNode& watch, uint32 mask, std::vector<Delivery>* deliveries);
	void _Moved(const PendingMove& from, WatchedNode& to, const std::string& name, ino_t node,
		std::vector<Delivery>* deliveries);
	void _FlushMoves(bool all);
	void _Resolve(size_t index, std::vector<Delivery>&& messages);
	void _TakeReady(std::vector<Delivery>* deliveries);
	void _SendToWatchers(const WatchedNode& watch, uint32 flag, const BMessage& message,
		std::vector<Delivery>* deliveries);
	void _Deliver(std::vector<Delivery>* deliveries);
	status_t _UpdateMask(int descriptor, WatchedNode& watch);

	std::mutex fLock;
	int fInotify = -1;
	int fWake = -1;
	std::thread fThread;
	bool fQuitting = false;
	std::map<int, WatchedNode> fWatches;
	std::vector<PendingMove> fMoves;
	std::vector<Delivery> fHeld;
};


Monitor::~Monitor()
{
	{
		std::lock_guard<std::mutex> lock(fLock);
		fQuitting = true;
	}
	if (fWake >= 0) {
		uint64 one = 1;
		(void)!write(fWake, &one, sizeof(one));
	}
	if (fThread.joinable())
		fThread.join();
	if (fInotify >= 0)
		close(fInotify);
	if (fWake >= 0)
		close(fWake);
}


// Called with the lock held.
status_t Monitor::_Start()
{
	if (fInotify >= 0)
		return B_OK;
	fInotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
	if (fInotify < 0)
		return StatusFromErrno();
	fWake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
	if (fWake < 0) {
		status_t status = StatusFromErrno();
		close(fInotify);
		fInotify = -1;
		return status;
	}
	fThread = std::thread(&Monitor::_Run, this);
	return B_OK;
}


status_t Monitor::_UpdateMask(int descriptor, WatchedNode& watch)
{
	uint32 flags = UnionOfFlags(watch);
	if (flags == 0) {
		inotify_rm_watch(fInotify, descriptor);
		fWatches.erase(descriptor);
		return B_OK;
	}
	if (inotify_add_watch(fInotify, watch.native.c_str(), InotifyMask(flags)) < 0)
		return StatusFromErrno();
	return B_OK;
}


status_t Monitor::AddWatch(const node_ref& node, uint32 flags, const BMessenger& target)
{
	std::string native;
	if (!MorvaneKit::FindNode(node, &native))
		return B_ENTRY_NOT_FOUND;
	std::lock_guard<std::mutex> lock(fLock);
	status_t status = _Start();
	if (status != B_OK)
		return status;

	uint32 existing = 0;
	for (const auto& [descriptor, watch] : fWatches) {
		if (watch.node == node)
			existing = UnionOfFlags(watch);
	}
	int descriptor = inotify_add_watch(fInotify, native.c_str(), InotifyMask(existing | flags));
	if (descriptor < 0)
		return errno == ENOSPC ? B_NO_MEMORY : StatusFromErrno();

	WatchedNode& watch = fWatches[descriptor];
	watch.node = node;
	watch.native = native;
	bool found = false;
	for (Watcher& watcher : watch.watchers) {
		if (watcher.target == target) {
			watcher.flags |= flags;
			found = true;
		}
	}
	if (!found)
		watch.watchers.push_back(Watcher{ target, flags });
	if ((flags & B_WATCH_DIRECTORY) != 0 && !watch.namesIndexed)
		IndexNames(&watch);
	return B_OK;
}


status_t Monitor::StopWatching(const node_ref& node, const BMessenger& target)
{
	std::lock_guard<std::mutex> lock(fLock);
	for (auto& [descriptor, watch] : fWatches) {
		if (watch.node != node)
			continue;
		auto& watchers = watch.watchers;
		for (auto it = watchers.begin(); it != watchers.end(); ++it) {
			if (it->target != target)
				continue;
			watchers.erase(it);
			return _UpdateMask(descriptor, watch);
		}
	}
	return B_BAD_VALUE;
}


status_t Monitor::StopWatching(const BMessenger& target)
{
	std::lock_guard<std::mutex> lock(fLock);
	bool found = false;
	std::vector<int> changed;
	for (auto& [descriptor, watch] : fWatches) {
		auto& watchers = watch.watchers;
		size_t before = watchers.size();
		std::erase_if(watchers, [&](const Watcher& watcher) { return watcher.target == target; });
		if (watchers.size() == before)
			continue;
		found = true;
		changed.push_back(descriptor);
	}
	for (int descriptor : changed)
		(void)_UpdateMask(descriptor, fWatches[descriptor]);
	return found ? B_OK : B_BAD_VALUE;
}


void Monitor::_Run()
{
	while (true) {
		bool waitingMoves;
		{
			std::lock_guard<std::mutex> lock(fLock);
			if (fQuitting)
				return;
			waitingMoves = !fMoves.empty();
		}
		struct pollfd sources[2] = { { fInotify, POLLIN, 0 }, { fWake, POLLIN, 0 } };
		int ready = poll(sources, 2,
			waitingMoves ? int(kMovePairing.count()) : -1);
		if (ready < 0 && errno != EINTR)
			return;
		if (ready > 0 && (sources[0].revents & POLLIN) != 0) {
			if (!_ReadEvents())
				return;
		}
		std::vector<Delivery> deliveries;
		{
			std::lock_guard<std::mutex> lock(fLock);
			_FlushMoves(ready == 0);
			_TakeReady(&deliveries);
		}
		_Deliver(&deliveries);
	}
}


bool Monitor::_ReadEvents()
{
	alignas(struct inotify_event) char buffer[kEventBufferSize];
	while (true) {
		ssize_t size = read(fInotify, buffer, sizeof(buffer));
		if (size < 0)
			return errno == EAGAIN || errno == EINTR;
		if (size == 0)
			return true;
		std::lock_guard<std::mutex> lock(fLock);
		size_t offset = 0;
		while (offset + sizeof(struct inotify_event) <= size_t(size)) {
			const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + offset);
			size_t length = sizeof(struct inotify_event) + event->len;
			if (offset + length > size_t(size))
				break;
			_HandleEvent(*event, &fHeld);
			offset += length;
		}
	}
}


// Called with the lock held.
void Monitor::_HandleEvent(const struct inotify_event& event,
	std::vector<Delivery>* deliveries)
{
	auto found = fWatches.find(event.wd);
	if (found == fWatches.end())
		return;
	if ((event.mask & IN_IGNORED) != 0) {
		fWatches.erase(found);
		return;
	}
	if (event.len > 0)
		_HandleChild(event.wd, found->second, event, deliveries);
	else
		_HandleSelf(found->second, event.mask, deliveries);
}


void Monitor::_HandleChild(int descriptor, WatchedNode& watch, const struct inotify_event& event,
	std::vector<Delivery>* deliveries)
{
	std::string name(event.name, strnlen(event.name, event.len));
	std::string native = watch.native + "/" + name;
	if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
		ino_t node = InodeOf(native);
		if (watch.namesIndexed && watch.names.size() < kMaxIndexedNames)
			watch.names[name] = node;
		if (node != 0)
			MorvaneKit::RememberNode(node_ref(watch.node.device, node), native);
		if ((event.mask & IN_MOVED_TO) != 0) {
			for (size_t index = 0; index < fMoves.size(); index++) {
				if (fMoves[index].cookie != event.cookie)
					continue;
				std::vector<Delivery> moved;
				_Moved(fMoves[index], watch, name, node, &moved);
				_Resolve(index, std::move(moved));
				return;
			}
		}
		_SendToWatchers(watch, B_WATCH_DIRECTORY,
			EntryMessage(B_ENTRY_CREATED, watch, node, name), deliveries);
		return;
	}
	if ((event.mask & (IN_DELETE | IN_MOVED_FROM)) == 0)
		return;
	ino_t node = 0;
	auto known = watch.names.find(name);
	if (known != watch.names.end()) {
		node = known->second;
		watch.names.erase(known);
	}
	if ((event.mask & IN_MOVED_FROM) != 0) {
		fMoves.push_back(PendingMove{ event.cookie, descriptor, name, node, Clock::now(),
			deliveries->size() });
		return;
	}
	_SendToWatchers(watch, B_WATCH_DIRECTORY,
		EntryMessage(B_ENTRY_REMOVED, watch, node, name), deliveries);
}


void Monitor::_Moved(const PendingMove& from, WatchedNode& to, const std::string& name,
	ino_t node, std::vector<Delivery>* deliveries)
{
	auto source = fWatches.find(from.descriptor);
	const WatchedNode& fromWatch = source != fWatches.end() ? source->second : to;
	BMessage message(B_NODE_MONITOR);
	message.AddInt32("opcode", B_ENTRY_MOVED);
	message.AddInt32("device", int32(to.node.device));
	message.AddInt64("directory", int64(fromWatch.node.node));
	message.AddInt64("from directory", int64(fromWatch.node.node));
	message.AddInt64("to directory", int64(to.node.node));
	message.AddInt64("node", int64(node != 0 ? node : from.node));
	message.AddString("name", name);
	message.AddString("from name", from.name);
	// The watchers of both folders hear of it, each once.
	_SendToWatchers(to, B_WATCH_DIRECTORY, message, deliveries);
	if (&fromWatch == &to)
		return;
	for (const Watcher& watcher : fromWatch.watchers) {
		if ((watcher.flags & B_WATCH_DIRECTORY) == 0)
			continue;
		bool alsoWatchesTarget = false;
		for (const Watcher& other : to.watchers) {
			if (other.target == watcher.target && (other.flags & B_WATCH_DIRECTORY) != 0)
				alsoWatchesTarget = true;
		}
		if (!alsoWatchesTarget)
			deliveries->push_back(Delivery{ watcher.target, message });
	}
}


void Monitor::_HandleSelf(WatchedNode& watch, uint32 mask, std::vector<Delivery>* deliveries)
{
	if ((mask & (IN_ATTRIB | IN_MODIFY)) != 0) {
		BMessage message(B_NODE_MONITOR);
		message.AddInt32("opcode", B_STAT_CHANGED);
		message.AddInt32("device", int32(watch.node.device));
		message.AddInt64("node", int64(watch.node.node));
		_SendToWatchers(watch, B_WATCH_STAT, message, deliveries);
	}
	if ((mask & IN_ATTRIB) != 0) {
		BMessage message(B_NODE_MONITOR);
		message.AddInt32("opcode", B_ATTR_CHANGED);
		message.AddInt32("device", int32(watch.node.device));
		message.AddInt64("node", int64(watch.node.node));
		_SendToWatchers(watch, B_WATCH_ATTR, message, deliveries);
	}
	if ((mask & IN_DELETE_SELF) != 0) {
		std::string parent = MorvaneKit::NativeParent(watch.native);
		WatchedNode parentWatch;
		parentWatch.node = node_ref(watch.node.device, InodeOf(parent));
		std::string leaf = watch.native.substr(watch.native.rfind('/') + 1);
		_SendToWatchers(watch, B_WATCH_NAME,
			EntryMessage(B_ENTRY_REMOVED, parentWatch, watch.node.node, leaf), deliveries);
	}
}


// Reports the moves whose other half did not come as removals: the entry
// left the watched folders. Called with the lock held.
void Monitor::_FlushMoves(bool all)
{
	Clock::time_point now = Clock::now();
	for (size_t index = 0; index < fMoves.size();) {
		const PendingMove& move = fMoves[index];
		if (!all && now - move.when < kMovePairing) {
			index++;
			continue;
		}
		std::vector<Delivery> removed;
		auto watch = fWatches.find(move.descriptor);
		if (watch != fWatches.end()) {
			_SendToWatchers(watch->second, B_WATCH_DIRECTORY,
				EntryMessage(B_ENTRY_REMOVED, watch->second, move.node, move.name), &removed);
		}
		_Resolve(index, std::move(removed));
	}
}


// Puts the messages of a pending move in its place among the held ones and
// forgets the move. Called with the lock held.
void Monitor::_Resolve(size_t index, std::vector<Delivery>&& messages)
{
	size_t slot = fMoves[index].slot;
	fHeld.insert(fHeld.begin() + ptrdiff_t(slot), std::make_move_iterator(messages.begin()),
		std::make_move_iterator(messages.end()));
	// Later moves were held after this one's slot; earlier ones keep theirs.
	for (size_t later = index + 1; later < fMoves.size(); later++)
		fMoves[later].slot += messages.size();
	fMoves.erase(fMoves.begin() + ptrdiff_t(index));
}


// Takes the held messages that no pending move comes before. Called with
// the lock held.
void Monitor::_TakeReady(std::vector<Delivery>* deliveries)
{
	size_t ready = fMoves.empty() ? fHeld.size() : fMoves.front().slot;
	deliveries->assign(std::make_move_iterator(fHeld.begin()),
		std::make_move_iterator(fHeld.begin() + ptrdiff_t(ready)));
	fHeld.erase(fHeld.begin(), fHeld.begin() + ptrdiff_t(ready));
	for (PendingMove& move : fMoves)
		move.slot -= ready;
}


void Monitor::_SendToWatchers(const WatchedNode& watch, uint32 flag, const BMessage& message,
	std::vector<Delivery>* deliveries)
{
	for (const Watcher& watcher : watch.watchers) {
		if ((watcher.flags & flag) != 0)
			deliveries->push_back(Delivery{ watcher.target, message });
	}
}


// Sends without the lock, so that watch_node() may be called meanwhile,
// even by a target handling an earlier message.
void Monitor::_Deliver(std::vector<Delivery>* deliveries)
{
	std::set<BMessenger> gone;
	for (Delivery& delivery : *deliveries) {
		if (gone.count(delivery.target) != 0)
			continue;
		status_t status = delivery.target.SendMessage(&delivery.message,
			static_cast<BHandler*>(nullptr), kSendTimeout);
		if (status != B_OK && !delivery.target.IsValid())
			gone.insert(delivery.target);
	}
	for (const BMessenger& target : gone)
		(void)StopWatching(target);
}

}	// namespace


status_t watch_node(const node_ref* node, uint32 flags, BMessenger target)
{
	if (node == nullptr || (flags & ~uint32(B_WATCH_ALL)) != 0)
		return B_BAD_VALUE;
	if (flags == B_STOP_WATCHING)
		return Monitor::Default().StopWatching(*node, target);
	if (!target.IsValid())
		return B_BAD_VALUE;
	return Monitor::Default().AddWatch(*node, flags, target);
}


status_t stop_watching(BMessenger target)
{
	return Monitor::Default().StopWatching(target);
}
