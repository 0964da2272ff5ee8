#pragma once

// Browsing the catalogue registry ('MVLR'): the request and the walks it
// asks for. The answer ('MVLd') holds parallel arrays, one element per
// entry: "level", "name", "type", "size", "date", "medianr", "offset",
// "path", "index" and, when the catalogue numbers its entries, "aktfilenr".
// "path" "/" lists the catalogues themselves; "/<catalogue>[/<entry path>]"
// walks one backup.

#include <app/Message.h>

#include "ServerProtocol.h"

// The walk of a browse request ("subdir").
enum LogReadMode : int32 {
	kLogReadChildren = 0,   // the direct children of the path
	kLogReadSubtree = 1,    // everything below the path, in tree order
	kLogReadEntry = 2,      // the path's own entry
};

// The request for path, looked for from the entry at startIndex on.
inline BMessage MakeLogReadRequest(const char* path, LogReadMode mode, int32 startIndex = 0)
{
	BMessage request(kMsgLogRead);
	request.AddString("path", path != nullptr ? path : "");
	request.AddInt32("index", startIndex);
	request.AddInt32("subdir", mode);
	return request;
}
