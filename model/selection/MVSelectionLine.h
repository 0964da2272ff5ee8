#pragma once

// One line of a selection or redirection list: an 8-character prefix, then
// an absolute path that ends in "/*" when it names a folder with everything
// in it. A value type, used by one thread at a time.
//
// The path is normalised lexically ("//" and "." dropped, ".." taking away
// the component before it), so that every reader and tree sees one spelling
// of a place. A line too short for its prefix, a relative path, a path that
// climbs above its volume and a path without any component ("/", "/*") give
// an invalid line with an empty path: the lists skip such lines.

#include <string>

class MVSelectionLine {
public:
	static constexpr size_t kPrefixLength = 8;
	static constexpr const char* kIncludeWord = "INCLUDE";
	static constexpr const char* kRedirectWord = "REDIREC";

	MVSelectionLine() = default;

	// Parses line; an include line starts with includeWord (7 characters).
	void SetTo(const char* line, const char* includeWord = kIncludeWord);
	void Unset();

	bool IsValid() const { return !fPath.empty(); }
	bool IsInclude() const { return fInclude; }
	bool IsDirectory() const { return fDirectory; }
	// The normalised path without prefix and "/*"; empty when invalid.
	const std::string& Path() const { return fPath; }

private:
	std::string fPath;
	bool fInclude = false;
	bool fDirectory = false;
};
