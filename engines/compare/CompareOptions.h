#pragma once

// CompareOptions: what a compare job compares, from its "compare" message
// (CompareFields.h). A plain value.

#include <vector>

#include <app/Message.h>

#include "CompareFields.h"

// In the order of kCompareItemFields.
enum class CompareItem : int32 {
	FileData = 0,
	Attribute,
	Size,
	ModificationDate,
	CreationDate,
	SymLinkData,
	Permissions,
	User,
	Group,
};

class CompareOptions {
public:
	static constexpr int32 kItemCount = kCompareItemCount;

	CompareOptions() = default;
	explicit CompareOptions(const BMessage& compare);
	// Everything compared.
	static CompareOptions All();

	bool Compares(CompareItem item) const { return fItems[int32(item)]; }
	// The items compared, in CompareItem order.
	std::vector<CompareItem> Items() const;

private:
	bool fItems[kItemCount] = {};
};
