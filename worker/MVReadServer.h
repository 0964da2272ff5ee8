#pragma once

// MVReadServer: the base of the workers that only read backups (restore,
// compare, insert). It is the worker base with nothing added, so that those
// engines share one type.

#include "MVToolServer.h"

class MVReadServer : public MVToolServer {
public:
	using MVToolServer::MVToolServer;
};
