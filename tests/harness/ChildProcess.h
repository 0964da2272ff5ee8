#pragma once

// ChildProcess: a program a test starts as its child (posix_spawn), ended by
// the test in every case: the destructor sends SIGTERM, waits a moment and
// then sends SIGKILL, and reaps the process, so that a failing test leaves
// no process behind.
//
// The environment of the child is this process's, with the given
// "NAME=value" entries replacing or adding variables. With an output pipe,
// the child's standard output can be read line by line.
//
// Used by one thread.

#include <string>
#include <vector>

#include <support/Errors.h>

class ChildProcess {
public:
	enum class Output { Inherit, Pipe };

	ChildProcess() = default;
	~ChildProcess();
	ChildProcess(const ChildProcess&) = delete;
	ChildProcess& operator=(const ChildProcess&) = delete;

	[[nodiscard]] status_t Start(const std::string& program,
		const std::vector<std::string>& arguments = {},
		const std::vector<std::string>& environment = {}, Output output = Output::Inherit);

	pid_t Pid() const { return fPid; }
	bool HasEnded();

	// Waits up to timeout microseconds for the process to end. Its exit
	// code, or minus the signal that ended it, goes to *exitCode.
	bool AwaitExit(bigtime_t timeout, int* exitCode = nullptr);
	void Signal(int signal);
	// SIGTERM, up to grace microseconds for the process to end, SIGKILL.
	// The exit code as AwaitExit() gives it.
	int Terminate(bigtime_t grace = 5000000);

	// One line of the child's standard output without its newline, waiting
	// up to timeout microseconds; false at the end of the output or when
	// the time is up.
	bool ReadLine(std::string* line, bigtime_t timeout);

private:
	void _Reaped(int status);

	pid_t fPid = -1;
	int fPidFD = -1;
	int fOutput = -1;
	std::string fPending;
	bool fEnded = false;
	int fExitCode = 0;
};
