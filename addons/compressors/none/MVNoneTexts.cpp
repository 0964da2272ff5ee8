#include "MVNoneTexts.h"

const char* const kNoneTexts[kNoneTextCount] = {
	"Ok",
	"Cancel",
	"No Settings!",
	"None Settings",
};
