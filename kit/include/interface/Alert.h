#pragma once

// BAlert: a short message with up to three buttons, asking the user to pick
// one.
//
// Lifetime: create it with new; Go() deletes it before it returns, as the
// window of an alert goes away once answered. An alert that is never shown
// is deleted with delete.
//
// The default button is the last one given (the rightmost, the one Enter
// would press): DefaultButton() is CountButtons() - 1.
//
// How it is shown: a program with a display installs a presenter, which
// shows the alert and returns the chosen button's index. A process without
// one (the server) has no presenter: Go() then writes the alert as one line
// to the log and returns the default button at once. The log is standard
// error unless a log sink is installed (the server routes it into its log
// file, tests capture it). Control characters in the title, text and labels
// are escaped, so that one alert is always one line.
//
// All functions may be called from any thread; the presenter runs on the
// thread that calls Go(). A log sink is called with a lock held, one alert at
// a time, and never after SetLogSink() has replaced it; it must not create
// alerts or change the sink itself.

#include <functional>
#include <string>

#include <support/SupportDefs.h>

enum alert_type {
	B_EMPTY_ALERT = 0,
	B_INFO_ALERT,
	B_IDEA_ALERT,
	B_WARNING_ALERT,
	B_STOP_ALERT,
};

enum button_width {
	B_WIDTH_AS_USUAL = 0,
	B_WIDTH_FROM_WIDEST,
	B_WIDTH_FROM_LABEL,
};

enum button_spacing {
	B_EVEN_SPACING = 0,
	B_OFFSET_SPACING,
};

class BAlert {
public:
	static constexpr int32 kMaxButtons = 3;

	// Shows the alert and returns the chosen button's index; runs on the
	// thread that calls Go().
	using Presenter = std::function<int32(const BAlert& alert)>;
	// Takes one alert as a line without its newline.
	using LogSink = std::function<void(const char* line)>;

	// The buttons are the labels given up to the first null one.
	BAlert(const char* title, const char* text, const char* button1,
		const char* button2 = nullptr, const char* button3 = nullptr,
		button_width width = B_WIDTH_AS_USUAL, alert_type type = B_INFO_ALERT);
	BAlert(const char* title, const char* text, const char* button1,
		const char* button2, const char* button3, button_width width,
		button_spacing spacing, alert_type type = B_INFO_ALERT);
	virtual ~BAlert();
	BAlert(const BAlert&) = delete;
	BAlert& operator=(const BAlert&) = delete;

	// Shows the alert, deletes it and returns the index of the chosen
	// button: without a presenter the default button. An alert without
	// buttons is only logged and gives B_ERROR, as does a presenter's answer
	// outside the buttons.
	int32 Go();

	const char* Title() const { return fTitle.c_str(); }
	const char* Text() const { return fText.c_str(); }
	int32 CountButtons() const { return fButtonCount; }
	// The label, or null for an index without a button.
	const char* ButtonLabel(int32 index) const;
	int32 DefaultButton() const { return fButtonCount - 1; }
	alert_type Type() const { return fType; }
	button_width ButtonWidth() const { return fWidth; }
	button_spacing ButtonSpacing() const { return fSpacing; }

	// A key that presses a button besides a click; for presenters.
	void SetShortcut(int32 index, char key);
	char Shortcut(int32 index) const;

	// The line Go() logs without a presenter.
	std::string LogLine() const;

	// Install a presenter or a log sink and return the one before; an empty
	// function restores the display-less alert and standard error.
	static Presenter SetPresenter(Presenter presenter);
	static LogSink SetLogSink(LogSink sink);

protected:
	// Shows the alert and returns the chosen index; Go() calls it for an
	// alert with buttons. The default asks the installed presenter, or logs
	// the alert and answers with the default button. A displaying subclass
	// may override it instead of installing a presenter.
	virtual int32 Present();

private:

	std::string fTitle;
	std::string fText;
	std::string fLabels[kMaxButtons];
	char fShortcuts[kMaxButtons] = {};
	int32 fButtonCount = 0;
	alert_type fType;
	button_width fWidth;
	button_spacing fSpacing;
};
