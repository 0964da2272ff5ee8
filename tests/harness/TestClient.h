#pragma once

// TestClient: a client application for server tests. It runs on a thread of
// its own once started, registers with a server as the GUI does ('MVAD' with
// its team id), and keeps every message it receives (the server's
// broadcasts) in its inbox, so that a test can wait for one.
//
// As every application it is the one BApplication of its process: a test
// that runs a server inside its own process cannot also have a TestClient.
// The destructor quits the application and waits for its thread.

#include <thread>

#include <app/Application.h>

#include "MessageInbox.h"

class TestClient : public BApplication {
public:
	static constexpr const char* kSignature = "application/x-vnd.morvane-test-client";

	TestClient();
	~TestClient() override;

	void MessageReceived(BMessage* message) override;

	// Runs the application on a thread of its own.
	void Start();
	// Quits the application and waits for its thread.
	void Stop();

	// 'MVAD' or 'MVRM' with this client's team as "client_id".
	[[nodiscard]] status_t Register(const BMessenger& server) const;
	[[nodiscard]] status_t Unregister(const BMessenger& server) const;

	MessageInbox& Inbox() { return fInbox; }

private:
	MessageInbox fInbox;
	std::thread fThread;
};

// A messenger to the application of a server process.
BMessenger ServerMessenger(team_id server);
