#pragma once

// A BMessenger addresses a looper, or one handler of a looper, in this or
// another process: (team, looper port, handler token). It is a small value,
// copied freely, and stays harmless after its target is gone: IsValid() turns
// false and sends fail with B_BAD_PORT_ID.
//
// Messages sent are copied; the caller keeps ownership of what it passes.

#include <app/AppDefs.h>
#include <kernel/OS.h>
#include <support/Errors.h>

class BHandler;
class BLooper;
class BMessage;

class BMessenger {
public:
	BMessenger() = default;
	// The handler in its looper, or the looper itself (its preferred
	// handler) when handler is null.
	explicit BMessenger(const BHandler* handler, const BLooper* looper = nullptr,
		status_t* result = nullptr);
	// The application looper of a running application, by signature, by
	// team, or both (the team must then run that signature). A null
	// signature with a team addresses that team's application whatever it is.
	BMessenger(const char* signature, team_id team = -1, status_t* result = nullptr);

	bool IsValid() const;
	bool IsTargetLocal() const;
	// The local handler and its looper; null for a remote or gone target.
	BHandler* Target(BLooper** looper) const;
	bool LockTarget() const;
	team_id Team() const { return fTeam; }

	// Asynchronous send. A reply, if any, goes to replyTo (or the
	// application when replyTo is null).
	[[nodiscard]] status_t SendMessage(uint32 command, BHandler* replyTo = nullptr) const;
	[[nodiscard]] status_t SendMessage(const BMessage* message, BHandler* replyTo = nullptr,
		bigtime_t timeout = B_INFINITE_TIMEOUT) const;
	[[nodiscard]] status_t SendMessage(const BMessage* message, BMessenger replyTo,
		bigtime_t timeout = B_INFINITE_TIMEOUT) const;
	// Sends count messages in order, as SendMessage() with no reply target
	// does for each, up to the first that fails; a looper of this process
	// takes them all at once and is woken once. An extension of this kit.
	[[nodiscard]] status_t SendMessages(const BMessage* const* messages, size_t count,
		bigtime_t timeout = B_INFINITE_TIMEOUT) const;

	// Synchronous request: waits for the reply. When the receiver drops the
	// message unanswered, the reply is a B_NO_REPLY message and B_OK is
	// returned; B_TIMED_OUT when no reply came in time; B_WOULD_BLOCK when
	// the target is the calling looper itself.
	[[nodiscard]] status_t SendMessage(uint32 command, BMessage* reply) const;
	[[nodiscard]] status_t SendMessage(const BMessage* message, BMessage* reply,
		bigtime_t deliveryTimeout = B_INFINITE_TIMEOUT,
		bigtime_t replyTimeout = B_INFINITE_TIMEOUT) const;

	bool operator==(const BMessenger& other) const;
	bool operator!=(const BMessenger& other) const { return !(*this == other); }
	bool operator<(const BMessenger& other) const;

	// The port that stands for "the application looper" of a team.
	static constexpr port_id kApplicationPort = 0;

	// The parts of the address, for the kit's transport and for flattening.
	port_id Port() const { return fPort; }
	int32 HandlerToken() const { return fHandlerToken; }
	static BMessenger FromParts(team_id team, port_id port, int32 handlerToken);

private:
	team_id fTeam = -1;
	port_id fPort = -1;
	int32 fHandlerToken = -1;   // -1: the looper's preferred handler
};
