#pragma once

// MVServerTester: what tests may see and set of an MVServer's state that its
// protocol does not show: the client list, the job table and index, the
// catalogue folder and list, the report server. Tests that run the server
// on a thread must only use it while that thread does not run the server.

#include <string>
#include <vector>

#include "MVServer.h"
#include "ServerProtocol.h"

class BLooper;

class MVServerTester {
public:
	explicit MVServerTester(MVServer& server) : fServer(server) {}

	// Puts a job record into the table and a slot for it into the index,
	// as the job queue keeps them.
	void AddJob(int32 jobId, const BMessage& record, BMessenger worker = BMessenger(),
		int32 status = kJobWaiting, int32 date = 0);
	BMessage* Job(int32 jobId) const { return fServer.FindJob(jobId); }
	BMessage& JobIndex() const { return fServer.fJobIndex; }

	const std::vector<team_id>& Clients() const { return fServer.fClients; }
	const std::string& CatalogueDirectory() const { return fServer.fCatalogueDirectory; }
	const BMessage* CatalogueList() const { return fServer.fCatalogueList.get(); }
	const char* OpenCatalogueName() const { return fServer.fOpenCatalogueName; }
	// Null once the report server was quit.
	BLooper* ReportServer() const;
	// True once the server was told to quit.
	bool IsQuitting() const { return fServer._IsTerminating(); }

private:
	MVServer& fServer;
};
