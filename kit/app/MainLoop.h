#pragma once

// The event loop of a program's main thread when it is not the
// application's own: a program with a display runs the display's loop, which
// dispatches the application's queue (and every window's) as messages come.

#include <kernel/OS.h>

class BApplication;

namespace MorvaneKit {

class MainLoop {
public:
	virtual ~MainLoop() = default;
	// Runs the loop on the calling (main) thread, the application's queue
	// included, until Stop().
	virtual void Run(BApplication* application) = 0;
	// Ends Run(); may be called from any thread.
	virtual void Stop() = 0;
};

// Installs the loop BApplication::Run() uses; null restores the
// application's own loop. The caller keeps ownership.
void SetMainLoop(MainLoop* loop);
MainLoop* GetMainLoop();

}	// namespace MorvaneKit
