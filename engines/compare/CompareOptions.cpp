#include "CompareOptions.h"

CompareOptions::CompareOptions(const BMessage& compare)
{
	bool all = compare.GetInt32(kCompareAllField, 0) != 0;
	for (int32 item = 0; item < kItemCount; item++)
		fItems[item] = all || compare.GetInt32(kCompareItemFields[item], 0) != 0;
}

CompareOptions CompareOptions::All()
{
	BMessage compare;
	compare.AddInt32(kCompareAllField, 1);
	return CompareOptions(compare);
}

std::vector<CompareItem> CompareOptions::Items() const
{
	std::vector<CompareItem> items;
	for (int32 item = 0; item < kItemCount; item++) {
		if (fItems[item])
			items.push_back(CompareItem(item));
	}
	return items;
}
