#include "ServerConnection.h"

#include <app/Roster.h>

#include "InstalledTree.h"
#include "ServerProtocol.h"

ServerConnection::ServerConnection(std::string serverProgram)
	:
	fServerProgram(std::move(serverProgram))
{
}

ServerConnection::~ServerConnection()
{
	if (!fRegistered)
		return;
	BMessage remove(kMsgRemoveClient);
	remove.AddInt32("client_id", current_team());
	(void)fServer.SendMessage(&remove);
}

std::string ServerConnection::DefaultServerProgram()
{
	return InstalledTree::ServerProgram();
}

status_t ServerConnection::_Fail(status_t status, const std::string& error)
{
	fError = error;
	return status;
}

status_t ServerConnection::Connect()
{
	if (!be_roster->IsRunning(kServerSignature)) {
		team_id team;
		status_t status = be_roster->Launch(fServerProgram.c_str(), {}, &team);
		if (status != B_OK) {
			return _Fail(status, "cannot start the server " + fServerProgram + ": "
				+ strerror_status(status));
		}
		bigtime_t deadline = system_time() + kStartTimeout;
		while (!be_roster->IsRunning(kServerSignature)) {
			if (system_time() > deadline)
				return _Fail(B_TIMED_OUT, "the server " + fServerProgram + " did not start");
			(void)snooze(10000);
		}
	}
	status_t status;
	fServer = BMessenger(kServerSignature, -1, &status);
	if (status != B_OK)
		return _Fail(status, "the server cannot be reached");
	BMessage add(kMsgAddClient);
	add.AddInt32("client_id", current_team());
	status = fServer.SendMessage(&add);
	if (status != B_OK)
		return _Fail(status, std::string("cannot register with the server: ") + strerror_status(status));
	fRegistered = true;
	return B_OK;
}

status_t ServerConnection::Request(const BMessage& request, BMessage* reply, bigtime_t timeout)
{
	status_t status = fServer.SendMessage(&request, reply, timeout, timeout);
	if (status == B_OK && reply->what == B_NO_REPLY)
		return B_BAD_REPLY;
	return status;
}

status_t ServerConnection::Post(const BMessage& message)
{
	return fServer.SendMessage(&message);
}
