#pragma once

// How the server reaches its clients: a client is known by its team id
// alone, and the server needs a messenger to that team's application looper
// and a way to tell whether the team still runs.
//
// The server uses its link on the application thread only; an implementation
// must outlive the server that uses it.

#include <app/Messenger.h>

class MVClientLink {
public:
	virtual ~MVClientLink() = default;

	// A messenger to the application looper of the team; an invalid one
	// when the team cannot be reached.
	virtual BMessenger MessengerFor(team_id team) const = 0;
	// False once the team has ended or runs no application.
	virtual bool IsRunning(team_id team) const = 0;
	// True while the team is stopped (a SIGSTOP, a shell's Ctrl-Z): it
	// takes no message until it is continued.
	virtual bool IsStopped(team_id team) const { return false; }
};
