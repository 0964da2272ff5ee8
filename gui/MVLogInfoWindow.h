#pragma once

// MVLogInfoWindow: "Get Info" for an entry of the catalogue: what the
// catalogue knows of it (where it is in the backup and on which medium,
// its size, kind and date). Permissions, owner and attributes are kept in
// the backup itself, not in the catalogue; a compare shows them against
// the live files.

#include <interface/Window.h>

struct MVLogDataItem;

class MVLogInfoWindow : public BWindow {
public:
	MVLogInfoWindow(BPoint where, const MVLogDataItem& item);
};
