#pragma once

// Titles of jobs and backups are kept to kMaxTitleBytes bytes: a title goes
// into the attributes of a catalogue file, and file systems keep only a few
// kilobytes of attributes per file (ext4 about 4 KiB), so a longer one would
// fail the catalogue after all the data was written.

#include <string>
#include <string_view>

constexpr size_t kMaxTitleBytes = 255;

// The longest start of text of at most maxBytes bytes that does not split a
// UTF-8 character.
size_t Utf8PrefixLength(std::string_view text, size_t maxBytes);

// The title cut to kMaxTitleBytes bytes.
std::string CappedTitle(std::string_view title);
