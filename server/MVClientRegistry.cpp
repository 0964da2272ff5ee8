#include "MVClientRegistry.h"

#include <algorithm>

#include "MVClientLink.h"
#include "MessageOutbox.h"

namespace {

constexpr size_t kListCapacity = 20;

}	// namespace

MVClientRegistry::MVClientRegistry(MVClientLink* link)
	:
	fLink(link)
{
	fClients.reserve(kListCapacity);
}

MVClientRegistry::~MVClientRegistry() = default;

bool MVClientRegistry::Add(team_id team)
{
	if (Contains(team))
		return false;
	fClients.push_back(team);
	return true;
}

bool MVClientRegistry::Remove(team_id team)
{
	auto found = std::find(fClients.begin(), fClients.end(), team);
	if (found == fClients.end())
		return false;
	fClients.erase(found);
	fOutboxes.erase(team);
	fStalled.erase(team);
	return true;
}

bool MVClientRegistry::Contains(team_id team) const
{
	return std::find(fClients.begin(), fClients.end(), team) != fClients.end();
}

std::vector<team_id> MVClientRegistry::RemoveEnded()
{
	std::vector<team_id> ended;
	for (team_id team : fClients) {
		if (!fLink->IsRunning(team))
			ended.push_back(team);
	}
	for (team_id team : ended)
		Remove(team);
	return ended;
}

void MVClientRegistry::MarkStalled(team_id team)
{
	if (Contains(team))
		fStalled.insert(team);
}

void MVClientRegistry::HeardFrom(team_id team)
{
	fStalled.erase(team);
}

bool MVClientRegistry::IsStalled(team_id team) const
{
	auto outbox = fOutboxes.find(team);
	return fStalled.count(team) != 0
		|| (outbox != fOutboxes.end() && outbox->second->IsStalled());
}

bool MVClientRegistry::StopsAnswering(team_id team)
{
	if (!IsStalled(team) && fLink->IsStopped(team))
		MarkStalled(team);
	return IsStalled(team);
}

std::vector<team_id> MVClientRegistry::RemoveStalled()
{
	std::vector<team_id> stalled;
	for (team_id team : fClients) {
		if (IsStalled(team))
			stalled.push_back(team);
	}
	for (team_id team : stalled)
		Remove(team);
	return stalled;
}

// A client's outbox is made when it is first needed: a client may register
// before its application can be reached.
MessageOutbox* MVClientRegistry::_OutboxOf(team_id team)
{
	auto known = fOutboxes.find(team);
	if (known != fOutboxes.end() && !known->second->IsGone())
		return known->second.get();
	BMessenger client = fLink->MessengerFor(team);
	if (!client.IsValid())
		return nullptr;
	std::unique_ptr<MessageOutbox>& outbox = fOutboxes[team];
	outbox = std::make_unique<MessageOutbox>(client);
	return outbox.get();
}

void MVClientRegistry::PostClients(const BMessage* message)
{
	for (team_id team : fClients) {
		if (IsStalled(team))
			continue;
		if (MessageOutbox* outbox = _OutboxOf(team))
			(void)outbox->Post(*message);
	}
}

bool MVClientRegistry::Flush(bigtime_t timeout)
{
	bool flushed = true;
	for (auto& [team, outbox] : fOutboxes)
		flushed = outbox->Flush(timeout) && flushed;
	return flushed;
}

BMessenger MVClientRegistry::MessengerFor(team_id team) const
{
	return fLink->MessengerFor(team);
}
