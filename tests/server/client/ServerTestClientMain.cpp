// server_test_client: a client process for server tests. It registers with
// the running server, makes sure the server has handled the registration
// (a request sent after it has been answered), prints "ready <team>" and
// then stays until it is killed, or until the process that started it ends.
//
// Exit codes: 1 no server runs; 2 the server did not answer.

#include <cstdio>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <app/Roster.h>

#include "ServerProtocol.h"
#include "TestClient.h"

int main()
{
	// A test that dies must not leave its clients behind.
	prctl(PR_SET_PDEATHSIG, SIGKILL);

	TestClient client;
	client.Start();
	team_id server = be_roster->TeamFor(kServerSignature);
	if (server < 0)
		return 1;
	BMessenger messenger = ServerMessenger(server);
	BMessage reply;
	BMessage request(kMsgJobList);
	if (client.Register(messenger) != B_OK
		|| messenger.SendMessage(&request, &reply) != B_OK || reply.what == B_NO_REPLY) {
		return 2;
	}
	printf("ready %d\n", int(current_team()));
	fflush(stdout);
	while (true)
		pause();
}
