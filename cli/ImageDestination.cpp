#include "ImageDestination.h"

BMessage ImageDestination::Settings(const std::string& folder, bool overwrite, bool createPath)
{
	BMessage volume;
	volume.AddString("class", "MVVolume");
	volume.AddString("MVVOLNAME", folder);
	volume.AddBool("MVVOLOVERWRITE", overwrite);
	volume.AddBool("MVVOLREMOVABLE", false);
	volume.AddString("class", "MVImage");
	volume.AddBool("createpath", createPath);
	return volume;
}
