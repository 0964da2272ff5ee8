#include "TestClient.h"

#include "ServerProtocol.h"

TestClient::TestClient()
	:
	BApplication(kSignature)
{
}

TestClient::~TestClient()
{
	Stop();
}

void TestClient::MessageReceived(BMessage* message)
{
	fInbox.Add(*message);
}

void TestClient::Start()
{
	if (!fThread.joinable())
		fThread = std::thread([this] { Run(); });
}

void TestClient::Stop()
{
	if (!fThread.joinable())
		return;
	(void)PostMessage(B_QUIT_REQUESTED);
	fThread.join();
}

status_t TestClient::Register(const BMessenger& server) const
{
	BMessage message(kMsgAddClient);
	message.AddInt32("client_id", current_team());
	return server.SendMessage(&message);
}

status_t TestClient::Unregister(const BMessenger& server) const
{
	BMessage message(kMsgRemoveClient);
	message.AddInt32("client_id", current_team());
	return server.SendMessage(&message);
}

BMessenger ServerMessenger(team_id server)
{
	return BMessenger(nullptr, server);
}
