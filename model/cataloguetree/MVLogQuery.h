#pragma once

// The catalogue registry's browse request ('MVLR'), asked synchronously.
// The registry is the server application, or whatever handler the caller
// puts in its place; it answers with parallel arrays, one element per
// catalogue entry ("name", "type", "medianr", "level", "path", "offset",
// "size", "date", "aktfilenr" or "index").
//
// Threads: the call blocks until the answer arrives, so it must never be
// made from the registry's own thread.

#include <app/Message.h>
#include <app/Messenger.h>

#include "CatalogueBrowse.h"

// B_OK with the answer in *reply; the messenger's error when the registry
// cannot be reached, or does not take or answer the request in time.
[[nodiscard]] status_t QueryCatalogueRegistry(const BMessenger& registry, const char* path,
	LogReadMode mode, BMessage* reply, bigtime_t timeout = B_INFINITE_TIMEOUT);
