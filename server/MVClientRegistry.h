#pragma once

// MVClientRegistry: the clients registered with the server, by team id in
// registration order, and how they are reached (MVClientLink). It sends
// notices to every client through an outbox per client, so that the server
// never waits for one: a client that does not take its messages within
// MessageOutbox's bounds, or does not answer when asked, is stalled, and
// the server drops it (it may register again).
//
// Threads: the application thread only. The link is not owned and must
// outlive the registry.

#include <map>
#include <memory>
#include <set>
#include <vector>

#include <app/Message.h>
#include <app/Messenger.h>

class MVClientLink;
class MessageOutbox;

class MVClientRegistry {
public:
	// How long a client asked a question may take to answer; one that takes
	// longer is stalled.
	static constexpr bigtime_t kAnswerTimeout = 2000000;

	explicit MVClientRegistry(MVClientLink* link);
	~MVClientRegistry();

	// False when the team was registered already.
	bool Add(team_id team);
	// False when the team was not registered.
	bool Remove(team_id team);
	bool Contains(team_id team) const;
	bool IsEmpty() const { return fClients.empty(); }
	const std::vector<team_id>& Clients() const { return fClients; }

	// Removes the clients whose team has ended, and returns them.
	std::vector<team_id> RemoveEnded();
	// Marks a client that did not answer in time; it is asked nothing more.
	void MarkStalled(team_id team);
	// A message came from the team: a client that missed an answer while it
	// waited for the server itself is alive after all, and not dropped.
	void HeardFrom(team_id team);
	bool IsStalled(team_id team) const;
	// Before the server waits for a client's answer: true, and the client
	// stalled, when it is stalled already or its process is stopped.
	bool StopsAnswering(team_id team);
	// Removes the stalled clients, and returns them.
	std::vector<team_id> RemoveStalled();

	// Queues the message for every client in registration order; clients
	// that cannot be reached or are stalled miss it.
	void PostClients(const BMessage* message);
	// A messenger to the team's application; invalid when it cannot be
	// reached.
	BMessenger MessengerFor(team_id team) const;
	// Waits up to timeout for every client's queued notices to go out.
	bool Flush(bigtime_t timeout);

private:
	MessageOutbox* _OutboxOf(team_id team);

	MVClientLink* fLink;
	std::vector<team_id> fClients;
	std::map<team_id, std::unique_ptr<MessageOutbox>> fOutboxes;
	std::set<team_id> fStalled;
};
