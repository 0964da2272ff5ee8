#include "SocketTransport.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "FrameReceiver.h"
#include "MessageFormat.h"
#include "MessagePort.h"
#include "RuntimeFolder.h"

namespace MorvaneKit {

void LogTransport(const char* what, const char* detail)
{
	fprintf(stderr, "morvane[%d]: %s%s%s\n", int(getpid()), what, detail[0] != '\0' ? ": " : "",
		detail);
}

bool IsTrustedPeer(int fd, team_id team)
{
	ucred credentials;
	socklen_t length = sizeof(credentials);
	if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
		return false;
	return credentials.uid == getuid() && (team < 0 || credentials.pid == team);
}

namespace {

std::atomic<port_id> sApplicationPort{-1};
// This process's socket file, removed when the process exits.
std::string* sOwnSocket = nullptr;

void RemoveOwnSocket()
{
	if (sOwnSocket != nullptr)
		unlink(sOwnSocket->c_str());
}

// Sockets of processes that ended without removing theirs (killed, or
// crashed) are removed, so that they do not pile up in the folder.
void RemoveStaleSockets(const std::string& folder)
{
	DIR* listing = opendir(folder.c_str());
	if (listing == nullptr)
		return;
	while (dirent* entry = readdir(listing)) {
		char* end = nullptr;
		long team = strtol(entry->d_name, &end, 10);
		if (team <= 0 || team > INT32_MAX || strcmp(end, ".sock") != 0 || team == current_team())
			continue;
		if (!IsTeamAlive(team_id(team)))
			unlinkat(dirfd(listing), entry->d_name, 0);
	}
	closedir(listing);
}

status_t SocketAddress(const std::string& path, sockaddr_un* address)
{
	memset(address, 0, sizeof(*address));
	address->sun_family = AF_UNIX;
	if (path.size() >= sizeof(address->sun_path))
		return B_NAME_TOO_LONG;
	memcpy(address->sun_path, path.c_str(), path.size() + 1);
	return B_OK;
}

// Writes all bytes before the deadline; the socket is non-blocking.
status_t WriteFully(int fd, const char* data, size_t size, bigtime_t deadline)
{
	while (size > 0) {
		ssize_t written = send(fd, data, size, MSG_NOSIGNAL);
		if (written > 0) {
			data += written;
			size -= size_t(written);
			continue;
		}
		if (written < 0 && errno == EINTR)
			continue;
		if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
			return StatusFromErrno();
		int waitMs = -1;
		if (deadline != B_INFINITE_TIMEOUT) {
			bigtime_t left = deadline - system_time();
			if (left <= 0)
				return B_TIMED_OUT;
			waitMs = int(std::min<bigtime_t>((left + 999) / 1000, 1 << 30));
		}
		pollfd descriptor = {fd, POLLOUT, 0};
		if (poll(&descriptor, 1, waitMs) < 0 && errno != EINTR)
			return StatusFromErrno();
	}
	return B_OK;
}

}	// namespace

struct SocketTransport::Connection {
	explicit Connection(int socket) : fd(socket) {}
	~Connection() { close(fd); }

	int fd;
	std::mutex writeLock;
};

SocketTransport* SocketTransport::Default()
{
	static SocketTransport* sTransport = new SocketTransport;
	return sTransport;
}

void SocketTransport::SetApplicationPort(port_id port)
{
	sApplicationPort = port;
}

port_id SocketTransport::ApplicationPort()
{
	return sApplicationPort.load();
}

status_t SocketTransport::StartListening()
{
	std::call_once(fListenOnce, [this] { fListenStatus = _Listen(); });
	return fListenStatus;
}

status_t SocketTransport::_Listen()
{
	std::string folder;
	status_t status = GetRuntimeFolder(&folder);
	if (status != B_OK)
		return status;
	RemoveStaleSockets(folder);
	std::string path = TeamSocketPath(folder, current_team());
	sockaddr_un address;
	status = SocketAddress(path, &address);
	if (status != B_OK)
		return status;
	int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
	if (fd < 0)
		return StatusFromErrno();
	// A file of our own team id can only be left over by an ended process.
	unlink(path.c_str());
	if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
		|| chmod(path.c_str(), 0600) != 0 || listen(fd, SOMAXCONN) != 0) {
		status = StatusFromErrno();
		close(fd);
		return status;
	}
	if (!FrameReceiver::Start(fd)) {
		close(fd);
		return B_NO_MEMORY;
	}
	sOwnSocket = new std::string(path);
	atexit(RemoveOwnSocket);
	return B_OK;
}

std::shared_ptr<SocketTransport::Connection> SocketTransport::_ConnectionTo(team_id team,
	status_t* status)
{
	std::lock_guard<std::mutex> guard(fLock);
	auto it = fConnections.find(team);
	if (it != fConnections.end()) {
		*status = B_OK;
		return it->second;
	}
	std::string folder;
	*status = GetRuntimeFolder(&folder);
	if (*status != B_OK)
		return nullptr;
	sockaddr_un address;
	*status = SocketAddress(TeamSocketPath(folder, team), &address);
	if (*status != B_OK)
		return nullptr;
	int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	if (fd < 0) {
		*status = StatusFromErrno();
		return nullptr;
	}
	auto connection = std::make_shared<Connection>(fd);
	if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
		|| !IsTrustedPeer(fd, team)) {
		*status = B_BAD_PORT_ID;
		return nullptr;
	}
	// A send that cannot go on must not block forever: writes wait in poll()
	// with the caller's time-out instead.
	int flags = fcntl(fd, F_GETFL);
	fcntl(fd, F_SETFL, flags | O_NONBLOCK);
	if (fStartTimes.count(team) == 0)
		fStartTimes[team] = TeamStartTime(team);
	fConnections[team] = connection;
	*status = B_OK;
	return connection;
}

void SocketTransport::_Forget(team_id team, const std::shared_ptr<Connection>& connection)
{
	std::lock_guard<std::mutex> guard(fLock);
	auto it = fConnections.find(team);
	if (it != fConnections.end() && it->second == connection)
		fConnections.erase(it);
}

uint64 SocketTransport::_StartTimeOf(team_id team)
{
	std::lock_guard<std::mutex> guard(fLock);
	auto it = fStartTimes.find(team);
	if (it != fStartTimes.end())
		return it->second;
	uint64 startTime = TeamStartTime(team);
	if (startTime != 0)
		fStartTimes[team] = startTime;
	return startTime;
}

status_t SocketTransport::Send(const BMessenger& target, const BMessage& message,
	bigtime_t timeout)
{
	// Replies to what we send come back to our own socket.
	if (StartListening() != B_OK && message.IsSourceWaiting())
		return fListenStatus;
	std::vector<char> frame(kFrameHeaderSize);
	std::vector<char> payload;
	status_t status = FlattenWithDelivery(message, &payload);
	if (status != B_OK)
		return status;
	if (payload.size() > kMaxFramePayload)
		return B_MESSAGE_TOO_BIG;
	memcpy(frame.data(), kFrameMagic, 4);
	StoreLE<int32>(frame.data() + 4, target.Port());
	StoreLE<uint32>(frame.data() + 8, uint32(payload.size()));
	frame.insert(frame.end(), payload.begin(), payload.end());

	bigtime_t deadline = timeout == B_INFINITE_TIMEOUT ? B_INFINITE_TIMEOUT
		: system_time() + std::max<bigtime_t>(timeout, 0);
	// A kept connection may have died with an earlier incarnation of the
	// peer's socket; one fresh connection is tried then.
	for (int attempt = 0; attempt < 2; attempt++) {
		std::shared_ptr<Connection> connection = _ConnectionTo(target.Team(), &status);
		if (connection == nullptr)
			return status;
		{
			std::lock_guard<std::mutex> guard(connection->writeLock);
			status = WriteFully(connection->fd, frame.data(), frame.size(), deadline);
		}
		if (status == B_OK)
			return B_OK;
		// Whatever part of the frame went out makes the stream unusable.
		_Forget(target.Team(), connection);
		if (status == B_TIMED_OUT)
			return status;
	}
	return status == B_FROM_ERRNO(EPIPE) || status == B_FROM_ERRNO(ECONNRESET)
		? B_BAD_PORT_ID : status;
}

bool SocketTransport::IsValid(const BMessenger& target)
{
	if (target.Team() <= 0 || target.Port() < 0)
		return false;
	return IsTeamAlive(target.Team(), _StartTimeOf(target.Team()));
}

}	// namespace MorvaneKit
