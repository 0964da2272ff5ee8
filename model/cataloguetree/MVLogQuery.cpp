#include "MVLogQuery.h"

status_t QueryCatalogueRegistry(const BMessenger& registry, const char* path, LogReadMode mode,
	BMessage* reply, bigtime_t timeout)
{
	BMessage request = MakeLogReadRequest(path, mode);
	return registry.SendMessage(&request, reply, timeout, timeout);
}
