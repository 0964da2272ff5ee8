#pragma once

// MVServer: the application object of the backup server. It owns what
// outlives a single job: the client registry, the job queue, the catalogue
// registry and the report server looper, and it routes every message of
// the protocol (ServerProtocol.h) to the one that handles it. It answers by
// reply or by sending a message to every registered client.
//
// Threads: every member function runs on the application thread, from the
// message handlers and Pulse(), so the server's state needs no lock. The
// report server and the job workers are loopers of their own and reach that
// state only by messages.
//
// Lifetime: the first pulse that finds no registered client quits the
// server, unless it runs as a daemon, a job has a worker (running, or paused
// in the middle of its work), or a job waits for a start time it reaches by
// itself (one held on hold does not count). Quit() quits the report server
// first, then ends Run(); the object itself belongs to its creator.
//
// Clients: a client registers with its team id. The server reaches it through
// its client link and drops it at the first pulse after its team has ended.
//
// Log: start-up failures, client registrations and the reasons for quitting
// go to the log of the settings. While the server exists, every alert of the
// process is written to that log as well.

#include <memory>
#include <string>

#include <app/Application.h>
#include <app/Message.h>
#include <interface/Alert.h>

#include "MVCatalogueRegistry.h"
#include "MVClientRegistry.h"
#include "MVJobQueue.h"
#include "MVServerSettings.h"

class MVClientLink;
class MVLocale;
class MVReportServer;
class MVServerLog;

class MVServer : public BApplication {
public:
	static constexpr const char* kLocaleAppID = "morvane backup locale";
	static constexpr const char* kStreamerDataFolder = "add-ons/destination/streamer_data";

	explicit MVServer(const MVServerSettings& settings);
	~MVServer() override;

	void MessageReceived(BMessage* message) override;
	void Pulse() override;
	void Quit() override;

	// Registers a team once; every job record then names it.
	void AddClient(team_id team);
	// Unregisters a team; no job record names it any more.
	void RemClient(team_id team);

	MVClientRegistry& Clients() { return fClients; }
	MVJobQueue& Queue() { return fQueue; }
	MVCatalogueRegistry& Catalogues() { return fCatalogues; }
	// The report server looper; invalid once it was quit.
	BMessenger ReportServer() const { return fReportMessenger; }

private:
	void _SetUpLocale();
	void _StartReportServer();
	void _QuitReportServer();
	void _LoadJobs();
	void _CreateStreamerDataFolder();

	void _HandleClientMessage(BMessage* message);
	void _HandleJobAdd(BMessage* message);
	void _HandleJobGet(BMessage* message);
	void _HandleJobDelete(BMessage* message);
	void _HandleJobFinished(BMessage* message);
	void _HandleLogRead(BMessage* message);
	void _HandlePasswordCheck(BMessage* message);
	void _HandleVolumeScan(BMessage* message);
	void _HandleDeleteBackups(BMessage* message);
	void _PassToReportServer(BMessage* message);
	static void _Answer(BMessage* request, const BMessage& reply);
	void _BroadcastReportNews(BMessage* message);

	void _DropEndedClients();
	bool _StaysWithoutClients();

	// In this order: the registries below are built on the log and link.
	std::string fProgramFolder;
	bool fDaemon;
	// Why the server last stayed up without a client, once logged.
	std::string fToldAlone;
	std::unique_ptr<MVServerLog> fStandardErrorLog;
	MVServerLog* fLog;
	std::unique_ptr<MVClientLink> fRosterLink;
	BAlert::LogSink fPreviousAlertSink;
	MVLocale* fLocale = nullptr;
	MVReportServer* fReportServer = nullptr;
	BMessenger fReportMessenger;

	MVClientRegistry fClients;
	MVJobQueue fQueue;
	MVCatalogueRegistry fCatalogues;
};
