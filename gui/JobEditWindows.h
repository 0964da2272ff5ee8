#pragma once

// The edit window of a queued job's kind: backup jobs in the backup tool's
// controls, restore jobs with their options, compare and insert jobs with
// title and schedule. Null for a kind there is none for.

#include <app/Message.h>
#include <app/Messenger.h>

class MVJQJobWindow;

MVJQJobWindow* CreateJobEditWindow(BPoint where, const BMessage& record, BMessenger target);
