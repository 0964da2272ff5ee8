#pragma once

// What an MVServer is built with. The program fills it from its command line
// and its own place; tests give a folder of their own, drive the pulse by hand
// and reach their clients through a link of their own.
//
// The pointers are not owned; what they point to must outlive the server.

#include <functional>
#include <string>

#include <support/SupportDefs.h>

class BLooper;
class BMessage;
class MVClientLink;
class MVServerLog;

struct MVServerSettings {
	static constexpr bigtime_t kPulseRate = 5000000;

	// The system path of the folder holding the server program; "logdata"
	// and the add-on folders lie in it. Empty: the server works without
	// them.
	std::string programFolder;
	// Stay up when no client is registered (scheduled jobs run without a
	// GUI); otherwise the first pulse without clients quits the server.
	bool daemon = false;
	// Microseconds between pulses; 0 stops the pulse.
	bigtime_t pulseRate = kPulseRate;
	// Null: clients are the roster's applications.
	MVClientLink* clientLink = nullptr;
	// Null: messages go to standard error only.
	MVServerLog* log = nullptr;
	// Makes the worker looper of a job that starts, not yet running; the
	// server runs it, and a running looper deletes itself when it quits.
	// Null (or empty): no job type has a worker, so jobs stay Waiting.
	std::function<BLooper*(int32 jobType, const BMessage& job)> workerFactory;
	// Whether the factory has a worker for a job type; jobs of other types
	// are refused when they are submitted. Empty: every known type.
	std::function<bool(int32 jobType)> runsJobType;
	// The current time in seconds since 1970; empty: the system clock.
	std::function<int32()> clock;
};
