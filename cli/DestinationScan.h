#pragma once

// DestinationScan: the backups a destination holds (an image folder, a
// tape), as the server's catalogue registry finds them ('mvvs', answered by the broadcast 'mvvd'
// with the same "id"), each marked when the catalogue knows it already.

#include <string>
#include <vector>

#include <app/Message.h>
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

	// The destination add-on and its settings; what names the destination
	// in messages. The exit status; prints why on failure.
	int Run(ServerConnection& server, ClientApplication& application, const char* addOn,
		const BMessage& settings, const std::string& what);

	const std::vector<Found>& Backups() const { return fBackups; }
	const Found* Find(const std::string& id) const;

private:
	std::vector<Found> fBackups;
};
