#include "MessageRecorder.h"

#include <app/Looper.h>

#include "RecordingHandler.h"

class MessageRecorder::Looper : public BLooper {
public:
	Looper(const char* name, MessageInbox* inbox)
		:
		BLooper(name),
		fHandler(name, inbox)
	{
		AddHandler(&fHandler);
		SetPreferredHandler(&fHandler);
	}

	~Looper() override
	{
		RemoveHandler(&fHandler);
	}

private:
	RecordingHandler fHandler;
};

MessageRecorder::MessageRecorder(const char* name)
	:
	fLooper(new Looper(name, &fInbox))
{
	fLooper->Run();
	// The preferred handler, which records.
	fMessenger = BMessenger(nullptr, fLooper);
}

MessageRecorder::~MessageRecorder()
{
	Quit();
}

void MessageRecorder::Quit()
{
	if (fLooper == nullptr)
		return;
	Looper* looper = fLooper;
	fLooper = nullptr;
	// A running looper deletes itself once it has quit.
	looper->Lock();
	looper->Quit();
}
