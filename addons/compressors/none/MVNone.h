#pragma once

// MVNone: the pass-through compressor, the default of every job. Its blocks
// are its input unchanged. The BHandler part receives the reply ('crnw') of
// its settings window while that window is open; the handler is added to the
// parent window for that time and removed when the reply came (see
// MVSettingsSession).
//
// Ownership and threads as for MVCruncher. MessageReceived() runs on the
// thread of the looper the handler was added to. The destructor quits a
// settings window still open.

#include <app/Handler.h>

#include "MVCruncher.h"
#include "MVSettingsSession.h"

// The reply code of the settings window.
constexpr uint32 kCruncherSettingsReply = 'crnw';

class MVNone : public MVCruncher, public BHandler {
public:
	MVNone();
	~MVNone() override;

	// Adds "class" = "MVNone" after the entries of MVCruncher.
	[[nodiscard]] status_t Archive(BMessage* into, bool deep = true) const override;
	// Opens the settings window (MVNoneWindow), or brings it up when it is
	// open; does nothing without a display.
	void Settings(BWindow* parent, BHandler* target, const char* language) override;
	const char* MenuName() const override;
	void GetMenuName(char* buffer, size_t bufferSize) const override;

	// The settings name of the compressor, not the handler's name.
	using MVCruncher::Name;
	using MVCruncher::SetName;

	// 'crnw' with "result" true applies its "settings" and is passed on to
	// the window and handler that asked for the settings; either way the
	// handler leaves that window's looper.
	void MessageReceived(BMessage* message) override;
	// The settings window while it is open.
	BMessenger SettingsWindow() const { return fSettingsWindow.Window(); }

	// A new MVNone when the archive names the class "MVNone", else null.
	static MVCruncher* Instantiate(const BMessage* archive);

private:
	MVSettingsSession fSettingsWindow;
};
