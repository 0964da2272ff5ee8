#pragma once

// Splits a path into its components, one at a time: the text between one
// "/" and the next, empty components ("//", a trailing "/") left out.
//
// The splitter keeps a view of the text it was set to, which must stay
// unchanged while the splitter is used. Used by one thread at a time.

#include <string_view>

class MVPathSplitter {
public:
	MVPathSplitter() = default;
	explicit MVPathSplitter(std::string_view path) : fPath(path) {}

	void SetTo(std::string_view path);
	// The next component, or false after the last.
	bool Next(std::string_view* component);
	// The path up to the end of the component Next() returned last.
	std::string_view Consumed() const { return fPath.substr(0, fPosition); }
	bool AtEnd() const;

private:
	std::string_view fPath;
	size_t fPosition = 0;
};
