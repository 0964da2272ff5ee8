#include "FileText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

bool ReadFileText(const std::string& path, std::string* text, std::string* error)
{
	std::ifstream file(path, std::ios::binary);
	std::ostringstream content;
	if (file)
		content << file.rdbuf();
	if (!file) {
		*error = "cannot read " + path + ": " + strerror(errno);
		return false;
	}
	*text = content.str();
	return true;
}

bool ReplaceFileText(const std::string& path, const std::string& text, std::string* error)
{
	std::error_code code;
	std::filesystem::create_directories(std::filesystem::path(path).parent_path(), code);
	std::string temporary = path + ".new";
	{
		std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
		file << text;
		file.close();
		if (!file) {
			*error = "cannot write " + temporary + ": " + strerror(errno);
			(void)unlink(temporary.c_str());
			return false;
		}
	}
	if (rename(temporary.c_str(), path.c_str()) != 0) {
		*error = "cannot write " + path + ": " + strerror(errno);
		(void)unlink(temporary.c_str());
		return false;
	}
	return true;
}
