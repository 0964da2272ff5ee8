#pragma once

// Writes JSON for the --json output of the listing commands: objects and
// arrays with proper string escaping, nothing more.

#include <cstdio>
#include <string>
#include <vector>

#include <support/SupportDefs.h>

class JsonWriter {
public:
	explicit JsonWriter(FILE* out) : fOut(out) {}

	void BeginObject();
	void EndObject();
	void BeginArray(const char* key = nullptr);
	void EndArray();
	void Field(const char* key, const std::string& value);
	void Field(const char* key, int64 value);
	void Field(const char* key, bool value);
	// Ends the document with a line break.
	void Finish();

	static std::string Quote(const std::string& text);

private:
	void _Separate();
	void _Key(const char* key);

	FILE* fOut;
	std::vector<bool> fFirstInLevel;
};
