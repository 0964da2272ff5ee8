#include "MVStreamerTexts.h"

const char* const kStreamerTexts[kStreamerTextCount] = {
	"Ok",
	"Cancel",
	"Streamer:",
	"Select Command",
	"Erase",
	"Format",
	"Eject",
	"Rewind",
	"Rescan",
	"Retension",
	"Command:",
	"Go",
	"Hardware compression",
	"Overwrite existing data",
	"Streamer settings",
	"Erase (Quick)",
	"Erase (Complete)",
};
