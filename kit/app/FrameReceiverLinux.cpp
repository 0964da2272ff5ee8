#include "FrameReceiver.h"

#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <unordered_map>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>
#include <kernel/OS.h>

#include "FrameAssembler.h"
#include "MessagePort.h"
#include "SocketTransport.h"

namespace MorvaneKit {

namespace {

// Bytes read from one connection before the others get their turn.
constexpr size_t kReadChunk = 64 * 1024;
constexpr int kChunksPerTurn = 16;
constexpr int kEventsPerWait = 256;
// How often stalled frames are looked for, and how long accepting pauses
// when the process is out of descriptors.
constexpr int kTickMs = 1000;
constexpr bigtime_t kAcceptPause = 100000;
// At most one line per second about refused connections.
constexpr bigtime_t kRefusalLogInterval = 1000000;

void DeliverLocally(port_id port, BMessage&& message)
{
	if (port == BMessenger::kApplicationPort)
		port = SocketTransport::ApplicationPort();
	std::shared_ptr<MessagePort> target = MessagePort::Find(port);
	// A message for a port that is gone is dropped here; a sender waiting
	// for its reply gets B_NO_REPLY when it is destroyed.
	if (target != nullptr)
		target->Push(std::make_unique<BMessage>(std::move(message)));
}

// Lets the process hold as many descriptors as connections may need.
void RaiseDescriptorLimit()
{
	rlimit limit;
	if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
		return;
	rlim_t wanted = rlim_t(FrameReceiver::kMaxConnections) + 1024;
	if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < wanted)
		wanted = limit.rlim_max;
	if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
		limit.rlim_cur = wanted;
		(void)setrlimit(RLIMIT_NOFILE, &limit);
	}
}

// One incoming connection: its frame and when bytes last came.
struct Incoming {
	FrameAssembler frames;
	bigtime_t lastProgress = 0;
};

class Server {
public:
	Server(int listenFd, int epollFd) : fListenFd(listenFd), fEpollFd(epollFd) {}

	void Run()
	{
		epoll_event events[kEventsPerWait];
		while (true) {
			int count = epoll_wait(fEpollFd, events, kEventsPerWait, kTickMs);
			if (count < 0 && errno != EINTR) {
				LogTransport("the connections cannot be watched", strerror(errno));
				return;
			}
			for (int i = 0; i < count; i++) {
				int fd = events[i].data.fd;
				if (fd == fListenFd)
					_Accept();
				else
					_Read(fd);
			}
			_Tick();
		}
	}

private:
	void _Accept()
	{
		for (int accepted = 0; accepted < kEventsPerWait; accepted++) {
			int fd = accept4(fListenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
			if (fd < 0) {
				if (errno == EMFILE || errno == ENFILE || errno == ENOMEM || errno == ENOBUFS)
					_PauseAccepting(strerror(errno));
				return;
			}
			if (!IsTrustedPeer(fd, -1)) {
				LogTransport("refused a connection of another user", "");
				close(fd);
				continue;
			}
			if (fConnections.size() >= size_t(FrameReceiver::kMaxConnections)) {
				_LogRefusal();
				close(fd);
				continue;
			}
			epoll_event event = {};
			event.events = EPOLLIN;
			event.data.fd = fd;
			if (epoll_ctl(fEpollFd, EPOLL_CTL_ADD, fd, &event) != 0) {
				close(fd);
				continue;
			}
			fConnections[fd] = std::make_unique<Incoming>();
		}
	}

	void _PauseAccepting(const char* why)
	{
		LogTransport("cannot accept a connection", why);
		(void)epoll_ctl(fEpollFd, EPOLL_CTL_DEL, fListenFd, nullptr);
		fAcceptResumes = system_time() + kAcceptPause;
	}

	void _LogRefusal()
	{
		fRefused++;
		_LogRefusals();
	}

	// The refusals counted since the last line, at most once a second.
	void _LogRefusals()
	{
		bigtime_t now = system_time();
		if (fRefused == 0 || now - fLastRefusalLog < kRefusalLogInterval)
			return;
		std::string detail = std::to_string(fRefused) + " refused, "
			+ std::to_string(FrameReceiver::kMaxConnections) + " open";
		LogTransport("too many connections", detail.c_str());
		fLastRefusalLog = now;
		fRefused = 0;
	}

	void _Read(int fd)
	{
		auto found = fConnections.find(fd);
		if (found == fConnections.end())
			return;
		Incoming& connection = *found->second;
		for (int chunk = 0; chunk < kChunksPerTurn; chunk++) {
			ssize_t got = read(fd, fBuffer, sizeof(fBuffer));
			if (got < 0 && errno == EINTR)
				continue;
			if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
				return;
			if (got <= 0) {
				_Close(fd);
				return;
			}
			connection.lastProgress = system_time();
			const char* why = nullptr;
			if (!connection.frames.Consume(fBuffer, size_t(got), DeliverLocally, &why)) {
				LogTransport("closing a connection", why);
				_Close(fd);
				return;
			}
		}
	}

	void _Close(int fd)
	{
		(void)epoll_ctl(fEpollFd, EPOLL_CTL_DEL, fd, nullptr);
		close(fd);
		fConnections.erase(fd);
	}

	// Drops connections whose frame stopped arriving and resumes accepting.
	void _Tick()
	{
		bigtime_t now = system_time();
		if (fAcceptResumes != 0 && now >= fAcceptResumes) {
			epoll_event event = {};
			event.events = EPOLLIN;
			event.data.fd = fListenFd;
			(void)epoll_ctl(fEpollFd, EPOLL_CTL_ADD, fListenFd, &event);
			fAcceptResumes = 0;
		}
		if (now - fLastStallCheck < bigtime_t(kTickMs) * 1000)
			return;
		_LogRefusals();
		fLastStallCheck = now;
		std::vector<int> stalled;
		for (const auto& [fd, connection] : fConnections) {
			if (connection->frames.IsInFrame()
				&& now - connection->lastProgress > FrameReceiver::kStallTimeout)
				stalled.push_back(fd);
		}
		if (!stalled.empty()) {
			std::string detail = std::to_string(stalled.size()) + " dropped";
			LogTransport("frames stopped arriving", detail.c_str());
		}
		for (int fd : stalled)
			_Close(fd);
	}

	int fListenFd;
	int fEpollFd;
	std::unordered_map<int, std::unique_ptr<Incoming>> fConnections;
	char fBuffer[kReadChunk];
	bigtime_t fAcceptResumes = 0;
	bigtime_t fLastStallCheck = 0;
	bigtime_t fLastRefusalLog = 0;
	int64 fRefused = 0;
};

}	// namespace

bool FrameReceiver::Start(int listenFd)
{
	RaiseDescriptorLimit();
	int epollFd = epoll_create1(EPOLL_CLOEXEC);
	if (epollFd < 0)
		return false;
	epoll_event event = {};
	event.events = EPOLLIN;
	event.data.fd = listenFd;
	if (epoll_ctl(epollFd, EPOLL_CTL_ADD, listenFd, &event) != 0) {
		close(epollFd);
		return false;
	}
	// The server lives as long as the process; its thread is never joined.
	std::thread([listenFd, epollFd] {
		auto server = std::make_unique<Server>(listenFd, epollFd);
		server->Run();
	}).detach();
	return true;
}

}	// namespace MorvaneKit
