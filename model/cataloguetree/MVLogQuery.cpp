#include "MVLogQuery.h"

status_t QueryCatalogueRegistry(const BMessenger& registry, const char* path, int32 subdir,
	BMessage* reply)
{
	BMessage request(kLogQueryCode);
	request.AddString("path", path != nullptr ? path : "");
	request.AddInt32("index", 0);
	request.AddInt32("subdir", subdir);
	return registry.SendMessage(&request, reply);
}
