// Browsing the catalogues: the list itself, and one catalogue at a time as a
// tree of folders and files. The catalogue browsed last stays open, so that
// the many requests of one walk read its file once.

#include "MVServer.h"

#include <cstring>

#include <interface/Alert.h>

#include "CatalogueBrowser.h"
#include "CatalogueFile.h"
#include "CatalogueList.h"

void MVServer::LogReadDir(const char* path, BMessage* reply, int32 startIndex, int32 mode)
{
	if (path == nullptr)
		return;
	if (strcmp(path, "/") == 0) {
		CatalogueList::CopyForClients(*fCatalogueList, reply);
		return;
	}
	std::string name;
	std::string entryPath;
	if (!CatalogueBrowser::SplitPath(path, &name, &entryPath) || !_OpenCatalogue(name.c_str()))
		return;
	CatalogueBrowser(fOpenCatalogue).ReadDir(fOpenCatalogueName, entryPath, startIndex, mode,
		reply);
}

bool MVServer::GetLogEntry(int32 position, BMessage* reply) const
{
	return CatalogueBrowser(fOpenCatalogue).AddEntry(position, reply);
}

// Makes the named catalogue the open one. The name comes from a client: it
// must be a file of the catalogue folder whose name fits the open name, so
// a longer name is refused rather than cut to another file's name. A file
// that cannot be read is told once per attempt and leaves nothing open, so
// that the next request tries again.
bool MVServer::_OpenCatalogue(const char* name)
{
	if (!CatalogueList::IsFileName(name) || strlen(name) >= kOpenCatalogueNameSize
		|| fCatalogueDirectory.empty()) {
		return false;
	}
	if (strcmp(name, fOpenCatalogueName) == 0)
		return true;

	fOpenCatalogueName[0] = '\0';
	status_t status = CatalogueFile::ReadContent(_CataloguePath(name).c_str(), &fOpenCatalogue);
	if (status == B_ENTRY_NOT_FOUND)
		return false;
	if (status != B_OK) {
		_Log("The catalogue %s cannot be read: %s", name, strerror_status(status));
		(new BAlert("Server", "Error: Can't load LogData!", "Ok", nullptr, nullptr,
			B_WIDTH_AS_USUAL, B_STOP_ALERT))->Go();
		return false;
	}
	// The length was checked above: the name fits with its terminator.
	memcpy(fOpenCatalogueName, name, strlen(name) + 1);
	return true;
}
