#include "MVQBView.h"

#include <interface/Alert.h>
#include <interface/StringView.h>
#include <storage/VolumeTable.h>

#include "GuiTexts.h"
#include "JobType.h"
#include "MVVolumeSelectionView.h"
#include "Warning.h"

namespace {

std::string BootVolumeName()
{
	VolumeTable::Volume boot;
	if (VolumeTable::GetVolume(VolumeTable::BootDevice(), &boot) != B_OK)
		return "boot";
	return boot.name;
}

}	// namespace


MVQBView::MVQBView(BRect frame)
	:
	MVBackupToolView(frame, "MV_QUICKBACKUP", "QuickBackup")
{
	float height = frame.Height();
	AddChild(new BStringView(BRect(10, 8, 200, 24), nullptr, GuiText(kTextVolume)));
	fVolumes = new MVVolumeSelectionView(BRect(10, 28, 220, height - 10));
	AddChild(fVolumes);
	(void)AddAddOnControls(236, 8, frame.Width() - 10);
	AddStartButtons();
}


void MVQBView::ReadSelection(BMessage* selection) const
{
	fVolumes->GetSelection(selection);
}


void MVQBView::ShowSelection(const BMessage& selection)
{
	fVolumes->SetSelection(selection);
}


void MVQBView::SelectAll(bool select)
{
	fVolumes->SelectAll(select);
}


bool MVQBView::ReadyToStart()
{
	if (fVolumes->CountTicked() > 0)
		return true;
	WarnUser(AlertTitle(), GuiText(kTextNothingSelected));
	return false;
}


void MVQBView::MakeJob(const BMessage& settings, BMessage* job) const
{
	BuildJob(settings, BootVolumeName().c_str(), job);
}


void MVQBView::BuildJob(const BMessage& settings, const char* bootVolume, BMessage* job)
{
	*job = settings;
	(void)job->SetInt32("job_type", kJobFullBackup);
	job->RemoveName("base_id");
	BMessage selection;
	(void)job->FindMessage("selection", &selection);
	std::string exclude = std::string("EXCLUDE /") + bootVolume + "/var/*";
	bool present = false;
	const char* line;
	for (int32 index = 0; selection.FindString("SELECTION", index, &line) == B_OK; index++)
		present = present || exclude == line;
	if (!present)
		selection.AddString("SELECTION", exclude.c_str());
	(void)job->SetMessage("selection", &selection);
	FinishJob(job);
}
