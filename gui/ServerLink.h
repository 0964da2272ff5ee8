#pragma once

// The GUI's link to the backup server: finds the running server or starts
// the program beside the GUI, registers this program as a client, and
// carries requests. It never waits long: a request with a reply has a
// time-out, and a server that has gone is found again (or started again) on
// the next request.

#include <string>

#include <app/Messenger.h>

class BMessage;

class ServerLink {
public:
	// serverProgram: the native path of the server program to start.
	explicit ServerLink(std::string serverProgram);

	// Takes the running server, or starts one and waits up to the start
	// time-out until it runs; then registers. The server's team, or 0.
	team_id Connect();
	team_id Team() const { return fTeam; }
	bool IsConnected() const { return fServer.IsValid(); }
	// The server, connected first when it is not.
	BMessenger Server();

	// Sends the message; with a reply, waits up to the request time-out
	// for it. A server that has gone is connected again first. B_OK, or why
	// not.
	status_t Send(BMessage* message, BMessage* reply = nullptr);

	static constexpr bigtime_t kStartTimeout = 5000000;
	static constexpr bigtime_t kRequestTimeout = 5000000;

private:
	bool _Launch();
	void _Register();

	std::string fServerProgram;
	BMessenger fServer;
	team_id fTeam = 0;
};
