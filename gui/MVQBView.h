#pragma once

// MVQBView: the quick backup tool, the short way to a full backup: tick
// whole volumes, pick a destination and a compressor, start.

#include "MVBackupToolView.h"

class MVVolumeSelectionView;

class MVQBView : public MVBackupToolView {
public:
	explicit MVQBView(BRect frame);

	// The job the settings make, as it goes to the server.
	static void BuildJob(const BMessage& settings, const char* bootVolume, BMessage* job);

protected:
	void ReadSelection(BMessage* selection) const override;
	void ShowSelection(const BMessage& selection) override;
	void SelectAll(bool select) override;
	bool ReadyToStart() override;
	void MakeJob(const BMessage& settings, BMessage* job) const override;

private:
	MVVolumeSelectionView* fVolumes;
};
