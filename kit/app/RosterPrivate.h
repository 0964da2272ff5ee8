#pragma once

// How an application enters the roster and leaves it again.

#include <app/Roster.h>

namespace MorvaneKit {

// Starts listening for messages from other processes and writes the
// application's roster entry; failures are reported and the application
// runs on, reachable only from inside its process.
status_t RegisterApplication(const char* signature, port_id port);
void UnregisterApplication();

}	// namespace MorvaneKit
