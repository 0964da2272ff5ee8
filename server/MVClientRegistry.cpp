#include "MVClientRegistry.h"

#include <algorithm>

#include "MVClientLink.h"

namespace {

constexpr size_t kListCapacity = 20;

}	// namespace

MVClientRegistry::MVClientRegistry(MVClientLink* link)
	:
	fLink(link)
{
	fClients.reserve(kListCapacity);
}

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

void MVClientRegistry::PostClients(BMessage* message) const
{
	for (team_id team : fClients) {
		BMessenger client = fLink->MessengerFor(team);
		if (!client.IsValid())
			continue;
		// A client that cannot take the message misses it.
		(void)client.SendMessage(message, static_cast<BHandler*>(nullptr), kClientSendTimeout);
	}
}

BMessenger MVClientRegistry::MessengerFor(team_id team) const
{
	return fLink->MessengerFor(team);
}
