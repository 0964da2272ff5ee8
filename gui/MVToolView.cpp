#include "MVToolView.h"

#include <interface/Button.h>
#include <interface/ColumnListView.h>

void MVToolView::AimButtonsHere()
{
	for (int32 index = 0; index < CountChildren(); index++) {
		if (auto* button = dynamic_cast<BButton*>(ChildAt(index)))
			(void)button->SetTarget(this);
	}
}


void MVToolView::StoreColumnWidths(const BColumnListView* list, const char* const* keys,
	BMessage* settings)
{
	for (int32 index = 0; index < list->CountColumns(); index++)
		(void)settings->SetInt32(keys[index], int32(list->ColumnAt(index)->Width()));
}


void MVToolView::RestoreColumnWidths(BColumnListView* list, const char* const* keys,
	const BMessage& settings)
{
	for (int32 index = 0; index < list->CountColumns(); index++) {
		int32 width = settings.GetInt32(keys[index], 0);
		if (width > 0)
			list->ColumnAt(index)->SetWidth(float(width));
	}
}
