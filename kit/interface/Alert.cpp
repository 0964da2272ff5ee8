#include <interface/Alert.h>

#include <unistd.h>

#include <cstdio>
#include <mutex>

#include <support/Errors.h>

namespace {

// Function-local, so that alerts work during static initialisation too.
struct Hooks {
	std::mutex presenterLock;
	BAlert::Presenter presenter;
	// Held while the sink runs, so that a replaced sink is never called
	// again.
	std::mutex logLock;
	BAlert::LogSink logSink;
};


Hooks& TheHooks()
{
	static Hooks sHooks;
	return sHooks;
}


const char* TypeName(alert_type type)
{
	switch (type) {
		case B_EMPTY_ALERT:
			return "empty";
		case B_INFO_ALERT:
			return "info";
		case B_IDEA_ALERT:
			return "idea";
		case B_WARNING_ALERT:
			return "warning";
		case B_STOP_ALERT:
			return "stop";
	}
	return "unknown";
}


// Texts may come from files and other processes: control characters are
// escaped so that an alert cannot forge or break lines of the log.
void AppendEscaped(std::string* line, const std::string& text)
{
	for (unsigned char character : text) {
		switch (character) {
			case '\\':
				*line += "\\\\";
				break;
			case '\n':
				*line += "\\n";
				break;
			case '\r':
				*line += "\\r";
				break;
			case '\t':
				*line += "\\t";
				break;
			default:
				if (character < 0x20 || character == 0x7f) {
					char escaped[5];
					snprintf(escaped, sizeof(escaped), "\\x%02x", character);
					*line += escaped;
				} else {
					*line += char(character);
				}
				break;
		}
	}
}


void WriteToStandardError(const std::string& line)
{
	std::string record = line + "\n";
	const char* data = record.data();
	size_t left = record.size();
	while (left > 0) {
		ssize_t written = write(STDERR_FILENO, data, left);
		if (written < 0 && errno == EINTR)
			continue;
		if (written <= 0)
			return;
		data += written;
		left -= size_t(written);
	}
}


void Log(const std::string& line)
{
	Hooks& hooks = TheHooks();
	std::lock_guard<std::mutex> guard(hooks.logLock);
	if (hooks.logSink)
		hooks.logSink(line.c_str());
	else
		WriteToStandardError(line);
}

}	// namespace


BAlert::BAlert(const char* title, const char* text, const char* button1,
	const char* button2, const char* button3, button_width width, alert_type type)
	:
	BAlert(title, text, button1, button2, button3, width, B_EVEN_SPACING, type)
{
}


BAlert::BAlert(const char* title, const char* text, const char* button1,
	const char* button2, const char* button3, button_width width,
	button_spacing spacing, alert_type type)
	:
	fTitle(title != nullptr ? title : ""),
	fText(text != nullptr ? text : ""),
	fType(type),
	fWidth(width),
	fSpacing(spacing)
{
	const char* labels[kMaxButtons] = {button1, button2, button3};
	while (fButtonCount < kMaxButtons && labels[fButtonCount] != nullptr) {
		fLabels[fButtonCount] = labels[fButtonCount];
		fButtonCount++;
	}
}


BAlert::~BAlert() = default;


int32 BAlert::Go()
{
	int32 answer = B_ERROR;
	if (fButtonCount > 0) {
		answer = Present();
		if (answer < 0 || answer >= fButtonCount)
			answer = B_ERROR;
	} else {
		// Nobody can answer it, but what it says is kept.
		Log(LogLine());
	}
	delete this;
	return answer;
}


int32 BAlert::Present()
{
	Hooks& hooks = TheHooks();
	Presenter presenter;
	{
		std::lock_guard<std::mutex> guard(hooks.presenterLock);
		presenter = hooks.presenter;
	}
	if (presenter)
		return presenter(*this);
	Log(LogLine());
	return DefaultButton();
}


const char* BAlert::ButtonLabel(int32 index) const
{
	if (index < 0 || index >= fButtonCount)
		return nullptr;
	return fLabels[index].c_str();
}


void BAlert::SetShortcut(int32 index, char key)
{
	if (index >= 0 && index < fButtonCount)
		fShortcuts[index] = key;
}


char BAlert::Shortcut(int32 index) const
{
	if (index < 0 || index >= fButtonCount)
		return 0;
	return fShortcuts[index];
}


std::string BAlert::LogLine() const
{
	std::string line = "Alert (";
	line += TypeName(fType);
	line += ") \"";
	AppendEscaped(&line, fTitle);
	line += "\": ";
	AppendEscaped(&line, fText);
	line += " Buttons:";
	for (int32 index = 0; index < fButtonCount; index++) {
		line += " [";
		AppendEscaped(&line, fLabels[index]);
		line += "]";
	}
	if (fButtonCount == 0)
		return line + " none. Not answered.";
	line += ". Answered [";
	AppendEscaped(&line, fLabels[DefaultButton()]);
	line += "] (the default; no display).";
	return line;
}


BAlert::Presenter BAlert::SetPresenter(Presenter presenter)
{
	Hooks& hooks = TheHooks();
	std::lock_guard<std::mutex> guard(hooks.presenterLock);
	Presenter old = std::move(hooks.presenter);
	hooks.presenter = std::move(presenter);
	return old;
}


BAlert::LogSink BAlert::SetLogSink(LogSink sink)
{
	Hooks& hooks = TheHooks();
	std::lock_guard<std::mutex> guard(hooks.logLock);
	LogSink old = std::move(hooks.logSink);
	hooks.logSink = std::move(sink);
	return old;
}
