#include "MVRosterClientLink.h"

#include <app/Roster.h>

BMessenger MVRosterClientLink::MessengerFor(team_id team) const
{
	return BMessenger(nullptr, team);
}

bool MVRosterClientLink::IsRunning(team_id team) const
{
	app_info info;
	return be_roster->GetRunningAppInfo(team, &info) == B_OK;
}
