#pragma once

// Every handler has a process-wide token so that messengers and messages can
// name it without a pointer. A token is looked up only by the thread of the
// handler's looper, with the looper locked, which is also the only time a
// handler may be removed; so a found handler stays alive while it is used.

#include <app/Handler.h>

namespace MorvaneKit {

class HandlerTokens {
public:
	static int32 Add(BHandler* handler);
	static void Remove(int32 token);
	static BHandler* Find(int32 token);
};

}	// namespace MorvaneKit
