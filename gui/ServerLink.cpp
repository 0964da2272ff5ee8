#include "ServerLink.h"

#include <app/Message.h>
#include <app/Roster.h>

#include "ServerProtocol.h"

ServerLink::ServerLink(std::string serverProgram)
	:
	fServerProgram(std::move(serverProgram))
{
}


team_id ServerLink::Connect()
{
	fTeam = 0;
	fServer = BMessenger();
	team_id running = be_roster->TeamFor(kServerSignature);
	if (running < 0 && !_Launch())
		return 0;
	// A server just started is reachable once it has registered; waiting
	// for that replaces a fixed pause.
	bigtime_t deadline = system_time() + kStartTimeout;
	for (;;) {
		fServer = BMessenger(kServerSignature);
		if (fServer.IsValid())
			break;
		if (system_time() > deadline)
			return 0;
		(void)snooze(10000);
	}
	fTeam = fServer.Team();
	_Register();
	return fTeam;
}


status_t ServerLink::Send(BMessage* message, BMessage* reply)
{
	if (!fServer.IsValid() && Connect() == 0)
		return B_BAD_PORT_ID;
	if (reply == nullptr)
		return fServer.SendMessage(message);
	status_t status = fServer.SendMessage(message, reply, kRequestTimeout, kRequestTimeout);
	if (status == B_OK && reply->what == B_NO_REPLY)
		return B_BAD_REPLY;
	return status;
}


BMessenger ServerLink::Server()
{
	if (!fServer.IsValid())
		(void)Connect();
	return fServer;
}


bool ServerLink::_Launch()
{
	team_id team = -1;
	return be_roster->Launch(fServerProgram.c_str(), {}, &team) == B_OK;
}


void ServerLink::_Register()
{
	BMessage add(kMsgAddClient);
	add.AddInt32("client_id", current_team());
	(void)fServer.SendMessage(&add);
}
