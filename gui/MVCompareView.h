#pragma once

// MVCompareView: the compare tool. The user marks backups, folders and files
// in the catalogue, chooses what to compare with the live files, and starts
// a compare job.

#include "MVCatalogueToolView.h"

class MVCompareView : public MVCatalogueToolView {
public:
	explicit MVCompareView(BRect frame);
	~MVCompareView() override;

	void MessageReceived(BMessage* message) override;

protected:
	void ShowOwnSettings() override;

private:
	void _OpenSettings();
	void _SettingsClosed(BMessage* message);

	BWindow* fSettingsWindow = nullptr;
};
