#include "ServerRoster.h"

#include <vector>

#include <app/Roster.h>

#include "ServerProtocol.h"

bool IsServerRunning()
{
	std::vector<team_id> servers;
	be_roster->GetAppList(kServerSignature, &servers);
	return !servers.empty();
}
