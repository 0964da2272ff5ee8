#include "MVPulseUtil.h"

#include <app/Message.h>
#include <app/Messenger.h>

namespace {

// What the helper receives through its thread data channel. The target is
// passed as its address, not as a handler pointer: the handler may be gone
// by the time the helper runs.
struct PulseStart {
	int32 interval;
	uint32 code;
	team_id team;
	port_id port;
	int32 handlerToken;
};

constexpr int32 kPulseStartCode = 'plst';
constexpr const char* kThreadName = "MVPulseTask";


status_t RunPulse(const PulseStart& start)
{
	BMessenger target = BMessenger::FromParts(start.team, start.port, start.handlerToken);
	BMessage tick(start.code);
	while (target.IsValid()) {
		(void)snooze(start.interval);
		if (!target.IsValid())
			break;
		// The target may still vanish between the check and the send;
		// the send then fails harmlessly and ends the helper.
		status_t status = target.SendMessage(&tick);
		if (status != B_OK)
			return status;
	}
	return B_OK;
}

}	// namespace


MVPulseUtil::MVPulseUtil(int32 interval, uint32 code, BHandler* target)
{
	if (interval <= 0 || target == nullptr) {
		fThread = B_BAD_VALUE;
		return;
	}
	status_t status;
	BMessenger messenger(target, nullptr, &status);
	if (status != B_OK) {
		fThread = status;
		return;
	}
	PulseStart start = {interval, code, messenger.Team(), messenger.Port(),
		messenger.HandlerToken()};

	thread_id thread = spawn_thread(_PulseTask, kThreadName, B_NORMAL_PRIORITY, &fHelperEnded);
	if (thread < 0) {
		fThread = thread;
		return;
	}
	status = send_data(thread, kPulseStartCode, &start, sizeof(start));
	if (status == B_OK)
		status = resume_thread(thread);
	if (status != B_OK) {
		(void)kill_thread(thread);
		status_t exitValue;
		(void)wait_for_thread(thread, &exitValue);
		fThread = status;
		return;
	}
	fThread = thread;
}


MVPulseUtil::~MVPulseUtil()
{
	if (fThread < 0 || fHelperEnded.load())
		return;
	// Returns once the helper has ended, so no tick follows the destructor.
	(void)kill_thread(fThread);
	status_t exitValue;
	(void)wait_for_thread(fThread, &exitValue);
}


status_t MVPulseUtil::_PulseTask(void* ended)
{
	PulseStart start;
	thread_id sender;
	int32 code = receive_data(&sender, &start, sizeof(start));
	status_t result = code == kPulseStartCode ? RunPulse(start) : B_BAD_DATA;
	// Not reached when the thread is killed: it ends inside snooze() or
	// receive_data() then, and the destructor waits for it.
	static_cast<std::atomic<bool>*>(ended)->store(true);
	return result;
}
