#pragma once

// MVVolumeSelectionView: one row per mounted volume with a tick box; the
// ticked volumes become the selection lines "INCLUDE /<volume>/*".

#include <string>
#include <vector>

#include <app/Message.h>
#include <interface/View.h>

class BCheckBox;

class MVVolumeSelectionView : public BView {
public:
	explicit MVVolumeSelectionView(BRect frame);

	// The "SELECTION" lines of the ticked volumes.
	void GetSelection(BMessage* selection) const;
	// Ticks the volumes that the selection includes as a whole.
	void SetSelection(const BMessage& selection);
	void SelectAll(bool select);
	int32 CountTicked() const;
	int32 CountVolumes() const { return int32(fBoxes.size()); }

	static std::string LineFor(const std::string& volume);

private:
	std::vector<std::string> fNames;
	std::vector<BCheckBox*> fBoxes;
};
