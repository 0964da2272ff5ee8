#pragma once

// The entry points every compressor add-on exports with C linkage. A loader
// looks them up with get_image_symbol(..., B_SYMBOL_TYPE_TEXT, ...). Both
// return a new object that the caller owns and deletes before it unloads the
// image; null when the object could not be made.
//
// instantiate2_mvcruncher does not read the archive: the object starts with
// empty settings either way, and the caller applies settings with SetPref().

#include "MVCruncher.h"

#define MV_CRUNCHER_EXPORT extern "C" __attribute__((visibility("default")))

constexpr const char* kInstantiateCruncherSymbol = "instantiate_mvcruncher";
constexpr const char* kInstantiateCruncherFromArchiveSymbol = "instantiate2_mvcruncher";

using InstantiateCruncherFunction = MVCruncher* (*)();
using InstantiateCruncherFromArchiveFunction = MVCruncher* (*)(BMessage* archive);

MV_CRUNCHER_EXPORT MVCruncher* instantiate_mvcruncher();
MV_CRUNCHER_EXPORT MVCruncher* instantiate2_mvcruncher(BMessage* archive);
