#pragma once

// The client link of a real server: clients are the running applications
// that the roster lists, reached through messengers built from their team.
// Whether a team is stopped is read from /proc (MVRosterClientLinkLinux).

#include "MVClientLink.h"

class MVRosterClientLink : public MVClientLink {
public:
	BMessenger MessengerFor(team_id team) const override;
	bool IsRunning(team_id team) const override;
	bool IsStopped(team_id team) const override;
};
