#pragma once

// DestinationScan: the backups an image folder holds, as the server's
// catalogue registry finds them ('mvvs', answered by the broadcast 'mvvd'
// with the same "id"), each marked when the catalogue knows it already.

#include <string>
#include <vector>

#include <kernel/OS.h>

class ClientApplication;
class ServerConnection;

class DestinationScan {
public:
	struct Found {
		std::string id;
		std::string title;
		int32 date = 0;
		bool catalogued = false;
	};

	// How long the server may take to look through the destination.
	static constexpr bigtime_t kPatience = 600000000;

	// folder is a system path. The exit status; prints why on failure.
	int Run(ServerConnection& server, ClientApplication& application,
		const std::string& folder);

	const std::vector<Found>& Backups() const { return fBackups; }
	const Found* Find(const std::string& id) const;

private:
	std::vector<Found> fBackups;
};
