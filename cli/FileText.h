#pragma once

// Whole files read and written in one go, with the error a user is told.

#include <string>

// Reads the whole file at path (bytes, not only text); false with *error set.
bool ReadFileText(const std::string& path, std::string* text, std::string* error);
// Writes text as the whole file at path, making missing parent folders:
// into a temporary file beside it that is then renamed over it, so that the
// file is never seen half written. False with *error set.
bool ReplaceFileText(const std::string& path, const std::string& text, std::string* error);
