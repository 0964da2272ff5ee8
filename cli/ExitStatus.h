#pragma once

// Exit statuses of `morvane`, as scripts see them.

enum ExitStatus : int {
	kExitSuccess = 0,
	kExitAborted = 1,          // the job was aborted
	kExitEndedWithErrors = 2,  // the job ended, but with errors
	kExitFailure = 3,          // the request could not be carried out
	kExitUsage = 64,           // bad arguments; nothing was sent
	kExitNoServer = 69,        // the server cannot be reached or started
	kExitInterrupted = 130,    // interrupted while following; the job goes on
};
