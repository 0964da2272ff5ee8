#pragma once

// The application: the looper of the main thread. There is one per process,
// reachable as be_app and be_app_messenger while it exists. Run() loops on
// the calling thread and returns after Quit(); the application is not
// deleted by quitting. With a pulse rate set, Pulse() is called on the
// application's thread at that rate; pulses do not pile up when the thread
// is busy.

#include <string>

#include <app/Looper.h>

class BApplication : public BLooper {
public:
	explicit BApplication(const char* signature, status_t* error = nullptr);
	~BApplication() override;

	thread_id Run() override;
	void Quit() override;
	bool QuitRequested() override;
	void DispatchMessage(BMessage* message, BHandler* handler) override;

	virtual void ReadyToRun();
	virtual void Pulse();
	virtual void ArgvReceived(int32 argc, char** argv);

	// 0 stops the pulse.
	void SetPulseRate(bigtime_t rate);
	bigtime_t PulseRate() const { return fPulseRate; }

	const char* Signature() const { return fSignature.c_str(); }

private:
	void _StartPulse();
	void _StopPulse();

	std::string fSignature;
	bigtime_t fPulseRate = 0;
	struct PulseTicker;
	std::unique_ptr<PulseTicker> fPulse;
};

extern BApplication* be_app;
extern BMessenger be_app_messenger;
