#include "MVImageTexts.h"

const char* const kImageTexts[kImageTextCount] = {
	"Ok",
	"Cancel",
	"Target drive/folder:",
	"Location",
	"Overwrite existing data",
	"Create path if not exist",
	"Select folder",
	"Image Settings",
};
