#pragma once

// Catalogue messages for tests, written by the production Catalogue from a
// table of entries: each gets the offset 220 + 100 × its number, the
// modification time 1000000000 + its number and that running number; the
// backup's size is 4096. Header-only.

#include <vector>

#include <gtest/gtest.h>

#include "Catalogue.h"

struct CatalogueItem {
	const char* path;
	EntryKind kind;
	int32 level;
	int64 size;
};

inline BMessage MakeCatalogue(const char* backupId, const char* title, int32 date,
	const std::vector<CatalogueItem>& items)
{
	Catalogue catalogue;
	CatalogueInfo info;
	info.backupId = backupId;
	info.title = title;
	info.date = date;
	EXPECT_EQ(catalogue.Begin(info), B_OK);
	int32 number = 0;
	for (const CatalogueItem& item : items) {
		CatalogueEntry entry;
		entry.path = item.path;
		entry.kind = item.kind;
		entry.level = item.level;
		entry.size = item.size;
		entry.offset = 220 + number * 100;
		entry.modificationTime = 1000000000 + number;
		entry.entryNumber = number++;
		EXPECT_EQ(catalogue.AddEntry(entry), B_OK);
	}
	EXPECT_EQ(catalogue.SetSize(4096), B_OK);
	return catalogue.Message();
}
