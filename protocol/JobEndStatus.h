#pragma once

// How a job ended: the "status" of a worker's end message ('MVJf').

#include <support/SupportDefs.h>

enum : int32 {
	kJobEndedSuccessfully = 0,
	kJobEndedAborted = 1,
	// It ran to its end, but an item could not be saved, restored or read
	// whole; its report names each one.
	kJobEndedWithErrors = 2,
};
