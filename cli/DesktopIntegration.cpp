#include "DesktopIntegration.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "FileText.h"

namespace {

constexpr const char* kEntrySource = "morvane-backup.desktop";
constexpr const char* kExecKey = "Exec=";
constexpr const char* kNoDataHome = "neither XDG_DATA_HOME nor HOME names the user's folders";

constexpr DesktopIntegration::File kFiles[] = {
	{kEntrySource, "applications/morvane-backup.desktop"},
	{"morvane-backup.xml", "mime/packages/morvane-backup.xml"},
	{"icons/hicolor/scalable/apps/morvane-backup.svg",
		"icons/hicolor/scalable/apps/morvane-backup.svg"},
	{"icons/hicolor/48x48/apps/morvane-backup.png", "icons/hicolor/48x48/apps/morvane-backup.png"},
	{"icons/hicolor/256x256/apps/morvane-backup.png",
		"icons/hicolor/256x256/apps/morvane-backup.png"},
};
constexpr size_t kFileCount = std::size(kFiles);

constexpr DesktopIntegration::Refresher kRefreshers[] = {
	{"update-mime-database", "mime", "shared-mime-info", "the file types"},
	{"update-desktop-database", "applications", "desktop-file-utils",
		"which program opens which file type"},
};

}	// namespace

std::span<const DesktopIntegration::File> DesktopIntegration::Files()
{
	return kFiles;
}

std::span<const DesktopIntegration::Refresher> DesktopIntegration::Refreshers()
{
	return kRefreshers;
}

std::string DesktopIntegration::DefaultDataHome()
{
	const char* data = getenv("XDG_DATA_HOME");
	if (data != nullptr && data[0] == '/')
		return data;
	const char* home = getenv("HOME");
	if (home != nullptr && home[0] == '/')
		return std::string(home) + "/.local/share";
	return "";
}

DesktopIntegration::DesktopIntegration(std::string desktopFolder, std::string guiProgram,
	std::string dataHome)
	:
	fDesktopFolder(std::move(desktopFolder)),
	fGuiProgram(std::move(guiProgram)),
	fDataHome(std::move(dataHome))
{
}

bool DesktopIntegration::QuoteExecWord(const std::string& word, std::string* quoted)
{
	// Inside double quotes '"', '`', '$' and '\' take a backslash; the file
	// then stores every backslash doubled, and '%' as "%%".
	std::string text = "\"";
	for (char c : word) {
		if ((unsigned char)c < 0x20 || c == 0x7f)
			return false;
		if (c == '"' || c == '`' || c == '$')
			text += "\\\\";
		else if (c == '\\')
			text += "\\\\\\";
		else if (c == '%')
			text += '%';
		text += c;
	}
	*quoted = text + "\"";
	return true;
}

bool DesktopIntegration::EntryForProgram(const std::string& entry, const std::string& program,
	std::string* text, std::string* error)
{
	// The first Exec line is the entry's own; actions come after it.
	size_t line = entry.compare(0, strlen(kExecKey), kExecKey) == 0 ? 0
		: entry.find(std::string("\n") + kExecKey);
	if (line != 0 && line != std::string::npos)
		line++;
	if (line == std::string::npos) {
		*error = "the menu entry has no Exec line";
		return false;
	}
	std::string quoted;
	if (!QuoteExecWord(program, &quoted)) {
		*error = "the GUI program's path holds control characters";
		return false;
	}
	size_t end = entry.find('\n', line);
	std::string exec = entry.substr(line, end == std::string::npos ? end : end - line);
	size_t space = exec.find(' ');
	std::string codes = space == std::string::npos ? "" : exec.substr(space);
	*text = entry.substr(0, line) + kExecKey + quoted + codes
		+ (end == std::string::npos ? "" : entry.substr(end));
	return true;
}

bool DesktopIntegration::_ReadSources(std::string* texts, std::string* error) const
{
	for (size_t index = 0; index < kFileCount; index++) {
		std::string path = fDesktopFolder + "/" + kFiles[index].source;
		if (!ReadFileText(path, &texts[index], error)) {
			*error += " (the installed tree lacks its desktop files)";
			return false;
		}
		if (strcmp(kFiles[index].source, kEntrySource) == 0
			&& !EntryForProgram(texts[index], fGuiProgram, &texts[index], error)) {
			return false;
		}
	}
	return true;
}

bool DesktopIntegration::Install(std::string* error) const
{
	if (fDataHome.empty()) {
		*error = kNoDataHome;
		return false;
	}
	if (access(fGuiProgram.c_str(), X_OK) != 0) {
		*error = "the GUI program " + fGuiProgram + " is missing: " + strerror(errno);
		return false;
	}
	std::string texts[kFileCount];
	if (!_ReadSources(texts, error))
		return false;
	for (size_t index = 0; index < kFileCount; index++) {
		if (!ReplaceFileText(fDataHome + "/" + kFiles[index].target, texts[index], error))
			return false;
	}
	return true;
}

bool DesktopIntegration::Uninstall(int* removed, std::string* error) const
{
	*removed = 0;
	if (fDataHome.empty()) {
		*error = kNoDataHome;
		return false;
	}
	for (const File& file : kFiles) {
		std::string path = fDataHome + "/" + file.target;
		if (unlink(path.c_str()) == 0)
			(*removed)++;
		else if (errno != ENOENT) {
			*error = "cannot remove " + path + ": " + strerror(errno);
			return false;
		}
	}
	return true;
}
