#include "MVLogDataModel.h"

#include <vector>

bool MVLogDataItem::IsContainer() const
{
	return IsBackup() || data.type == kLogTypeDirectory || data.type == kLogTypeVolumeRoot;
}

std::string MVLogDataItem::CataloguePath() const
{
	std::vector<const MVLogDataItem*> chain;
	for (const MVLogDataItem* item = this; item != nullptr; item = item->parent)
		chain.push_back(item);
	std::string path;
	for (auto it = chain.rbegin(); it != chain.rend(); ++it)
		path += "/" + (*it)->data.name;
	return path;
}

const MVLogDataItem* MVLogDataItem::Backup() const
{
	const MVLogDataItem* item = this;
	while (item->parent != nullptr)
		item = item->parent;
	return item;
}
