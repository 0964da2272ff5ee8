#include "TestFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TestFolder::TestFolder()
{
	const char* base = getenv("TMPDIR");
	std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp")
		+ "/morvane-test-XXXXXX";
	if (mkdtemp(pattern.data()) == nullptr)
		throw std::runtime_error("cannot create a test folder");
	fPath = pattern;
}

TestFolder::~TestFolder()
{
	std::error_code error;
	// Tests may leave read-only folders behind; make them writable first.
	for (auto it = fs::recursive_directory_iterator(fPath, error);
			!error && it != fs::recursive_directory_iterator(); it.increment(error)) {
		if (it->is_directory(error) && !it->is_symlink(error))
			fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
	}
	fs::remove_all(fPath, error);
}

std::string TestFolder::WriteFile(const std::string& name, const std::string& content) const
{
	std::string path = *this / name;
	fs::create_directories(fs::path(path).parent_path());
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out << content;
	return path;
}

std::string TestFolder::MakeFolder(const std::string& name) const
{
	std::string path = *this / name;
	fs::create_directories(path);
	return path;
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	if (!in)
		return std::nullopt;
	std::ostringstream content;
	content << in.rdbuf();
	return content.str();
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value)
	:
	fName(name)
{
	if (const char* old = getenv(name))
		fOld = old;
	setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
	if (fOld)
		setenv(fName.c_str(), fOld->c_str(), 1);
	else
		unsetenv(fName.c_str());
}
