#pragma once

// Scratch space and environment for tests.
//
// A TestFolder is a new folder below $TMPDIR (or /tmp) that is removed with
// everything in it when the object goes away. A ScopedEnv sets an environment
// variable for its lifetime and restores the old value after.

#include <optional>
#include <string>

class TestFolder {
public:
	TestFolder();
	~TestFolder();
	TestFolder(const TestFolder&) = delete;
	TestFolder& operator=(const TestFolder&) = delete;

	const std::string& Path() const { return fPath; }
	// The path of a name inside the folder.
	std::string operator/(const std::string& name) const { return fPath + "/" + name; }

	// Writes a file (creating missing parent folders) and returns its path.
	std::string WriteFile(const std::string& name, const std::string& content) const;
	// Creates a folder with its parents and returns its path.
	std::string MakeFolder(const std::string& name) const;

private:
	std::string fPath;
};

// Reads a whole file; an empty optional when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

class ScopedEnv {
public:
	ScopedEnv(const char* name, const std::string& value);
	~ScopedEnv();
	ScopedEnv(const ScopedEnv&) = delete;
	ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
	std::string fName;
	std::optional<std::string> fOld;
};
