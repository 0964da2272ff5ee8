#pragma once

// MVInstanceLock: the claim that makes one server the only one of its user.
//
// Asking the roster whether a server runs is not enough when two servers
// start at the same moment: both may ask before either has registered. So
// before it asks, a server claims the lock file "MorvaneServer.lock" in the
// runtime folder (the folder where the applications of one user meet) with
// an exclusive, non-blocking flock. The claim holds for as long as the object
// lives or, at the latest, the process; the kernel drops it when the process
// ends in any way, so a crashed server leaves no stale claim behind. The file
// itself stays; only the lock on it counts.
//
// The runtime folder depends on the environment (a login sets
// XDG_RUNTIME_DIR, cron and ssh may not), so the server also claims the same
// lock file in its program folder: two servers never share one catalogue
// and job list. The holder writes its process id into the file, so that a
// refused server can say who holds the claim.
//
// The runtime folder is $MORVANE_RUNTIME_DIR, else $XDG_RUNTIME_DIR/morvane,
// else /tmp/morvane-<uid>, as the kit chooses it. It is created with mode
// 0700 when missing; a folder that is not the user's own, or that others may
// enter, is refused.
//
// Used by one thread.

#include <sys/types.h>

#include <string>

#include <support/Errors.h>

class MVInstanceLock {
public:
	static constexpr const char* kFileName = "MorvaneServer.lock";

	MVInstanceLock() = default;
	~MVInstanceLock();
	MVInstanceLock(const MVInstanceLock&) = delete;
	MVInstanceLock& operator=(const MVInstanceLock&) = delete;

	// Claims the lock file in the runtime folder, or in folder when given
	// (a native path). B_OK when claimed; B_BUSY when another process holds
	// the claim; another error when the file cannot be used.
	[[nodiscard]] status_t Acquire(const char* folder = nullptr);
	void Release();
	bool IsHeld() const { return fFD >= 0; }

	// The process id the holder of the lock file in folder (a native path)
	// wrote; 0 when none can be read.
	static pid_t HolderOf(const char* folder);

	// The native path of the runtime folder, created when missing.
	[[nodiscard]] static status_t GetRuntimeFolder(std::string* folder);

private:
	int fFD = -1;
};
