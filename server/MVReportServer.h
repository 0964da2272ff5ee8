#pragma once

// MVReportServer: the looper that keeps the reports of the jobs. The server
// application creates and runs it at start and quits it (under its lock)
// when it quits itself; as a running looper it then deletes itself.
//
// Report requests of clients reach it through the server application, which
// passes them on unchanged. Until it handles them itself, every message goes
// down the handler chain.

#include <app/Looper.h>

class MVReportServer : public BLooper {
public:
	static constexpr const char* kName = "MVReportServer";
	static constexpr int32 kPriority = 10;
	static constexpr int32 kPortCapacity = 100;

	MVReportServer();
};
