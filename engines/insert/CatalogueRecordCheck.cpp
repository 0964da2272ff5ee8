#include "CatalogueRecordCheck.h"

#include "EntryName.h"

bool IsSoundCatalogueRecord(const Catalogue& catalogue)
{
	if (catalogue.Version() == 0)
		return false;
	int32 count = catalogue.CountEntries();
	CatalogueEntry entry;
	for (int32 index = 0; index < count; index++) {
		if (catalogue.EntryAt(index, &entry) != B_OK
			|| !IsSafeEntryPath(entry.path.c_str()))
			return false;
	}
	return true;
}
