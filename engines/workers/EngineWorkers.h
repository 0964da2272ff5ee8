#pragma once

// The job workers of the server program: one engine per job type. The
// server runs the looper made here and the looper deletes itself when it
// quits.

#include <string>

#include <app/Message.h>

class BLooper;

// The worker of a job of that type, not yet running; null for a type no
// engine runs. serverFolder is the folder of the server program
// in the system's "/<volume>/..." form: the engines write catalogues to its
// "logdata" folder and load add-ons from beside the running program.
BLooper* MakeEngineWorker(int32 jobType, const BMessage& job, const std::string& serverFolder);
// Whether MakeEngineWorker makes a worker for jobs of that type.
bool HasEngineWorker(int32 jobType);
