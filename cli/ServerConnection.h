#pragma once

// The client's link to the backup server. Connect() finds the running
// server by its signature, or starts the one beside this program
// ("Backup_Server/MorvaneServer") and waits for it, then registers this
// process as a client with 'MVAD', as the GUI does. The destructor
// unregisters again. A BApplication must exist for the whole time: the
// server checks its clients through the roster.

#include <string>

#include <app/Message.h>
#include <app/Messenger.h>

class ServerConnection {
public:
	explicit ServerConnection(std::string serverProgram = DefaultServerProgram());
	~ServerConnection();
	ServerConnection(const ServerConnection&) = delete;
	ServerConnection& operator=(const ServerConnection&) = delete;

	// B_OK once registered; otherwise Error() says why.
	[[nodiscard]] status_t Connect();
	const std::string& Error() const { return fError; }

	// A request and its reply; B_TIMED_OUT when the server does not answer.
	[[nodiscard]] status_t Request(const BMessage& request, BMessage* reply,
		bigtime_t timeout = kRequestTimeout);
	[[nodiscard]] status_t Post(const BMessage& message);
	// False once the server this connection found has ended.
	bool IsServerRunning() const { return fServer.IsValid(); }

	static std::string DefaultServerProgram();

	static constexpr bigtime_t kRequestTimeout = 30000000;
	static constexpr bigtime_t kStartTimeout = 10000000;

private:
	status_t _Fail(status_t status, const std::string& error);

	std::string fServerProgram;
	BMessenger fServer;
	bool fRegistered = false;
	std::string fError;
};
