#include "MVVolumeSelectionView.h"

#include <interface/CheckBox.h>
#include <storage/VolumeTable.h>

MVVolumeSelectionView::MVVolumeSelectionView(BRect frame)
	:
	BView(frame, "MV_VOLUMES", B_FOLLOW_LEFT | B_FOLLOW_TOP_BOTTOM, B_WILL_DRAW)
{
	SetViewColor(make_color(255, 255, 255));
	int32 cookie = 0;
	VolumeTable::Volume volume;
	float top = 6;
	while (VolumeTable::GetNextVolume(&cookie, &volume) == B_OK) {
		std::string name = "vol_" + volume.name;
		std::string label = volume.name + (volume.isBoot ? "  (boot)" : "");
		auto* box = new BCheckBox(BRect(8, top, frame.Width() - 8, top + 20), name.c_str(),
			label.c_str(), nullptr);
		AddChild(box);
		fNames.push_back(volume.name);
		fBoxes.push_back(box);
		top += 24;
	}
}


std::string MVVolumeSelectionView::LineFor(const std::string& volume)
{
	return "INCLUDE /" + volume + "/*";
}


void MVVolumeSelectionView::GetSelection(BMessage* selection) const
{
	selection->RemoveName("SELECTION");
	for (size_t index = 0; index < fBoxes.size(); index++) {
		if (fBoxes[index]->Value() == B_CONTROL_ON)
			selection->AddString("SELECTION", LineFor(fNames[index]).c_str());
	}
}


void MVVolumeSelectionView::SetSelection(const BMessage& selection)
{
	for (size_t index = 0; index < fBoxes.size(); index++) {
		std::string wanted = LineFor(fNames[index]);
		bool ticked = false;
		const char* line;
		for (int32 item = 0; selection.FindString("SELECTION", item, &line) == B_OK; item++)
			ticked = ticked || wanted == line;
		fBoxes[index]->SetValue(ticked ? B_CONTROL_ON : B_CONTROL_OFF);
	}
}


void MVVolumeSelectionView::SelectAll(bool select)
{
	for (BCheckBox* box : fBoxes)
		box->SetValue(select ? B_CONTROL_ON : B_CONTROL_OFF);
}


int32 MVVolumeSelectionView::CountTicked() const
{
	int32 count = 0;
	for (BCheckBox* box : fBoxes)
		count += box->Value() == B_CONTROL_ON ? 1 : 0;
	return count;
}
