#pragma once

// The built-in English texts, indexed by text id.
//
// Report lines and questions travel as a text id plus arguments, so these
// texts are the reference every locale file translates, and an id must keep
// its meaning for ever. Ids 4, 46 and 47 have no text (null). The table has
// kDefaultTextCount entries, of which the first kInstalledTextCount are the
// texts that the programs hand to MVLocale::SetDefaultText(); the rest are
// the fixed field names of a job's schedule and are not translated.
//
// The table is constant data with static lifetime; any thread may read it.

#include <support/SupportDefs.h>

constexpr int32 kDefaultTextCount = 339;
constexpr int32 kInstalledTextCount = 328;

extern const char* const kDefaultTexts[kDefaultTextCount];
