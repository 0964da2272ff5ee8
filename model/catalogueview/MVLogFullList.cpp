#include "MVLogFullList.h"

#include "MVLogDataModel.h"

namespace {

template<typename T>
T* At(const std::vector<T*>& list, int32 index)
{
	if (index < 0 || size_t(index) >= list.size())
		return nullptr;
	return list[size_t(index)];
}

}	// namespace

void MVLogFullList::StructureChanged()
{
	fItemsValid = false;
	fSelectedValid = false;
}

void MVLogFullList::MarksChanged()
{
	fSelectedValid = false;
}

int32 MVLogFullList::CountItems() const
{
	_BuildItems();
	return int32(fItems.size());
}

MVLogDataItem* MVLogFullList::ItemAt(int32 index) const
{
	_BuildItems();
	return At(fItems, index);
}

int32 MVLogFullList::SubtreeEnd(int32 index) const
{
	_BuildItems();
	if (index < 0 || size_t(index) >= fSubtreeEnds.size())
		return index;
	return fSubtreeEnds[size_t(index)];
}

int32 MVLogFullList::CountSelected() const
{
	_BuildSelected();
	return int32(fSelected.size());
}

MVLogDataItem* MVLogFullList::SelectedAt(int32 index) const
{
	_BuildSelected();
	return At(fSelected, index);
}

MVLogDataItem* MVLogFullList::SelectedBackupAt(int32 index) const
{
	_BuildSelected();
	return At(fSelectedBackups, index);
}

void MVLogFullList::_BuildItems() const
{
	if (fItemsValid)
		return;
	fItems.clear();
	fSubtreeEnds.clear();

	// Without recursion: a damaged catalogue may nest as deep as it has
	// entries.
	struct Frame {
		const MVLogDataItem* item;
		size_t index;
		size_t nextChild;
	};
	std::vector<Frame> open;
	auto add = [&](MVLogDataItem* item) {
		open.push_back({item, fItems.size(), 0});
		fItems.push_back(item);
		fSubtreeEnds.push_back(0);
	};
	for (const std::unique_ptr<MVLogDataItem>& root : fRoots) {
		add(root.get());
		while (!open.empty()) {
			Frame& top = open.back();
			if (top.nextChild < top.item->children.size()) {
				add(top.item->children[top.nextChild++].get());
				continue;
			}
			fSubtreeEnds[top.index] = int32(fItems.size());
			open.pop_back();
		}
	}
	fItemsValid = true;
}

void MVLogFullList::_BuildSelected() const
{
	_BuildItems();
	if (fSelectedValid)
		return;
	fSelected.clear();
	fSelectedBackups.clear();
	MVLogDataItem* backup = nullptr;
	for (MVLogDataItem* item : fItems) {
		// Pre-order: a top-level item comes before everything below it.
		if (item->parent == nullptr)
			backup = item;
		if (!item->selected)
			continue;
		fSelected.push_back(item);
		fSelectedBackups.push_back(backup);
	}
	fSelectedValid = true;
}
