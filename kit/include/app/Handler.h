#pragma once

// A BHandler receives the messages its looper dispatches to it. It belongs to
// at most one looper at a time and must be removed from it (or the looper
// gone) before it is deleted. MessageReceived runs on the looper's thread
// with the looper locked.

#include <string>

#include <support/SupportDefs.h>

class BLooper;
class BMessage;

class BHandler {
public:
	explicit BHandler(const char* name = nullptr);
	virtual ~BHandler();
	BHandler(const BHandler&) = delete;
	BHandler& operator=(const BHandler&) = delete;

	// The default passes the message to the next handler; at the end of the
	// chain a waiting sender gets B_MESSAGE_NOT_UNDERSTOOD.
	virtual void MessageReceived(BMessage* message);

	BLooper* Looper() const { return fLooper; }
	const char* Name() const { return fName.c_str(); }
	void SetName(const char* name) { fName = name != nullptr ? name : ""; }
	BHandler* NextHandler() const { return fNextHandler; }
	void SetNextHandler(BHandler* handler) { fNextHandler = handler; }

	bool LockLooper();
	void UnlockLooper();

	// The token that names this handler in messengers.
	int32 Token() const { return fToken; }

private:
	friend class BLooper;
	void _SetLooper(BLooper* looper) { fLooper = looper; }

	std::string fName;
	int32 fToken;
	BLooper* fLooper = nullptr;
	BHandler* fNextHandler = nullptr;
};
