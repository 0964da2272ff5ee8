#pragma once

// MVStreamerWindow: the streamer destination's settings window. It edits
// "MVVOLNAME" and "streamerdevice" (the drive, chosen from the tape drives
// found), "MVVOLOVERWRITE" and "MVVOLHWCOMPRESSION" of a copy of the
// settings, and runs maintenance commands on the chosen drive: quick and
// complete erase, eject, rewind, rescan and retension. "btn_go" is enabled
// while the drive is ready, checked every 10 seconds. A complete erase runs
// on a thread of its own with a device of its own; closing the window
// without OK stops it before the window goes.

#include <atomic>
#include <memory>
#include <thread>

#include "MVSCSI.h"
#include "MVSetWindow.h"

class MVPulseUtil;

// The messages of the window's controls.
enum : uint32 {
	kStreamerTape = 'tape',
	kStreamerCommand = 'comm',
	kStreamerGo = ' go ',
	kStreamerOverwrite = 'ovwr',
	kStreamerCompression = 'hwco',
	kStreamerPulse = 'puls',
};

class MVStreamerWindow : public MVSetWindow {
public:
	MVStreamerWindow(const char* title, BWindow* parent, BMessage settings, BHandler* target);
	~MVStreamerWindow() override;

	void MessageReceived(BMessage* message) override;
	void Quit() override;

	// Whether a complete erase runs.
	bool IsErasing() const { return fErase != nullptr && fErase->running; }

private:
	void _AddControls();
	void _FillDriveMenu();
	void _StoreFlag(const char* viewName, const char* key);
	void _UpdateGo();
	void _RunCommand();
	bool _OpenDevice();
	void _StartCompleteErase();
	void _StopErase();

	MVSCSI fDevice;
	std::unique_ptr<MVPulseUtil> fPulse;
	// What the erase thread shares with the window; it outlives a window
	// that was closed with OK.
	struct EraseState {
		std::atomic<bool> stop{false};
		std::atomic<bool> running{false};
	};
	std::shared_ptr<EraseState> fErase;
	std::thread fEraseThread;
};
