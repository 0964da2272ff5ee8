#pragma once

// BDisplay: the connection of a program to the display. A program that shows
// windows makes one before its application object and keeps it while the
// application runs; the application's queue and every window's are then
// dispatched from the display's event loop on the main thread, and alerts
// are shown as modal dialogs. A program without one (the server) never
// touches a display: nothing of the interface kit opens one by itself.
//
// QT_QPA_PLATFORM=offscreen gives a display without a screen, for tests and
// screenshots.

#include <support/SupportDefs.h>

class BApplication;
class BWindow;

class BDisplay {
public:
	// argc and argv as main() got them; the display takes its own options.
	BDisplay(int& argc, char** argv);
	~BDisplay();
	BDisplay(const BDisplay&) = delete;
	BDisplay& operator=(const BDisplay&) = delete;

	// Runs the display's events until nothing is pending or the time
	// (microseconds) is over; for tests that wait for windows to react.
	static void ProcessEvents(bigtime_t maxTime = 0);
	// Runs events until the condition holds or the time-out passes; true
	// when it held.
	template<typename Condition>
	static bool WaitFor(Condition condition, bigtime_t timeout = 5000000)
	{
		bigtime_t end = system_time_now() + timeout;
		while (!condition()) {
			if (system_time_now() >= end)
				return false;
			ProcessEvents(10000);
		}
		return true;
	}
	static bool IsOpen();
	// The first window with that title, or null; for tests and tours.
	static BWindow* FindWindow(const char* title);
	// Lets the display's events dispatch the application's queue without
	// Run(); for tests that drive an application step by step.
	static void AttachApplication(BApplication* application);

private:
	static bigtime_t system_time_now();
	struct Connection;
	Connection* fConnection;
};
