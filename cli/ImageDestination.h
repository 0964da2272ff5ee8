#pragma once

// The image folder destination as a job names it: the add-on "MVImage" and
// its settings for a folder (a system path "/<volume>/...").

#include <string>

#include <app/Message.h>

namespace ImageDestination {

constexpr const char* kAddOn = "MVImage";

// The add-on's settings for the folder; overwrite lets a backup replace an
// image of the same name, createPath makes a missing folder.
BMessage Settings(const std::string& folder, bool overwrite, bool createPath = true);

}	// namespace ImageDestination
