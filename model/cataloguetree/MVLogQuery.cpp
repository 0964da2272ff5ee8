#include "MVLogQuery.h"

status_t QueryCatalogueRegistry(const BMessenger& registry, const char* path, LogReadMode mode,
	BMessage* reply)
{
	BMessage request = MakeLogReadRequest(path, mode);
	return registry.SendMessage(&request, reply);
}
