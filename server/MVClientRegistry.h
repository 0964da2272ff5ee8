#pragma once

// MVClientRegistry: the clients registered with the server, by team id in
// registration order, and how they are reached (MVClientLink). It sends
// notices to every client; a client that does not take a message within
// kClientSendTimeout misses it, so that one hanging client cannot stop the
// server.
//
// Threads: the application thread only. The link is not owned and must
// outlive the registry.

#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

class MVClientLink;

class MVClientRegistry {
public:
	static constexpr bigtime_t kClientSendTimeout = 5000000;

	explicit MVClientRegistry(MVClientLink* link);

	// False when the team was registered already.
	bool Add(team_id team);
	// False when the team was not registered.
	bool Remove(team_id team);
	bool Contains(team_id team) const;
	bool IsEmpty() const { return fClients.empty(); }
	const std::vector<team_id>& Clients() const { return fClients; }

	// Removes the clients whose team has ended, and returns them.
	std::vector<team_id> RemoveEnded();

	// Sends the message to every client in registration order; clients that
	// cannot be reached are skipped.
	void PostClients(BMessage* message) const;
	// A messenger to the team's application; invalid when it cannot be
	// reached.
	BMessenger MessengerFor(team_id team) const;

private:
	MVClientLink* fLink;
	std::vector<team_id> fClients;
};
