// The catalogue registry of the server: the list of catalogue files in the
// catalogue folder, browsing one catalogue, password checks, scanning a
// destination and deleting backups.
//
// The registry is not built yet: no file enters the catalogue list, browsing
// finds nothing, a scan finds no backup and deleting removes nothing.

#include "MVServer.h"

bool MVServer::LogAddToList(const BEntry& entry)
{
	return false;
}

void MVServer::LogAddListEntry(const BEntry& entry)
{
}

void MVServer::LogUpdateList(BMessage* message)
{
}

void MVServer::LogReadDir(const char* path, BMessage* reply, int32 startIndex, int32 mode)
{
}

void MVServer::LogPWCheck(BMessage* request, BMessage* reply)
{
}

BMessage MVServer::VolumeScan(const char* addOnName, const BMessage* settings)
{
	return BMessage();
}

void MVServer::DeleteBackups(BMessage* request)
{
}
