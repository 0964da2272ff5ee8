#include "JsonWriter.h"

#include <cinttypes>

std::string JsonWriter::Quote(const std::string& text)
{
	std::string quoted = "\"";
	for (unsigned char c : text) {
		switch (c) {
			case '"': quoted += "\\\""; break;
			case '\\': quoted += "\\\\"; break;
			case '\n': quoted += "\\n"; break;
			case '\t': quoted += "\\t"; break;
			case '\r': quoted += "\\r"; break;
			default:
				if (c < 0x20) {
					char escape[8];
					snprintf(escape, sizeof(escape), "\\u%04x", c);
					quoted += escape;
				} else {
					quoted += char(c);
				}
		}
	}
	return quoted + "\"";
}

void JsonWriter::_Separate()
{
	if (fFirstInLevel.empty())
		return;
	if (!fFirstInLevel.back())
		fputc(',', fOut);
	fFirstInLevel.back() = false;
}

void JsonWriter::_Key(const char* key)
{
	_Separate();
	if (key != nullptr)
		fprintf(fOut, "%s:", Quote(key).c_str());
}

void JsonWriter::BeginObject()
{
	_Separate();
	fputc('{', fOut);
	fFirstInLevel.push_back(true);
}

void JsonWriter::EndObject()
{
	fputc('}', fOut);
	fFirstInLevel.pop_back();
}

void JsonWriter::BeginArray(const char* key)
{
	_Key(key);
	fputc('[', fOut);
	fFirstInLevel.push_back(true);
}

void JsonWriter::EndArray()
{
	fputc(']', fOut);
	fFirstInLevel.pop_back();
}

void JsonWriter::Field(const char* key, const std::string& value)
{
	_Key(key);
	fputs(Quote(value).c_str(), fOut);
}

void JsonWriter::Field(const char* key, int64 value)
{
	_Key(key);
	fprintf(fOut, "%" PRId64, value);
}

void JsonWriter::Field(const char* key, bool value)
{
	_Key(key);
	fputs(value ? "true" : "false", fOut);
}

void JsonWriter::Finish()
{
	fputc('\n', fOut);
}
