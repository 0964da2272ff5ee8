#pragma once

// The built-in English texts, indexed by text id.
//
// Report lines and questions travel as a text id plus arguments, so these
// texts are the reference every locale file translates, and an id must keep
// its meaning for ever. Ids 4, 46 and 47 have no text (null). The table has
// kDefaultTextCount entries: the first kInstalledTextCount are the texts of
// the locale files, then come the fixed field names of a job's schedule,
// which are not translated, and from kFirstAddedText on the texts added
// since, which locale files may not have yet (their lookups fall back to
// English). InstallDefaultTexts() hands every text but the schedule's names
// to a locale.
//
// The table is constant data with static lifetime; any thread may read it.

#include <support/SupportDefs.h>

constexpr int32 kDefaultTextCount = 344;
constexpr int32 kInstalledTextCount = 328;
constexpr int32 kFirstAddedText = 339;

extern const char* const kDefaultTexts[kDefaultTextCount];

class MVLocale;

// Makes the texts the locale's English fallback.
void InstallDefaultTexts(MVLocale* locale);
