#include "TerminalText.h"

#include <cstdio>

namespace {

void AppendEscaped(std::string* out, unsigned char byte)
{
	switch (byte) {
		case '\n':
			*out += "\\n";
			return;
		case '\r':
			*out += "\\r";
			return;
	}
	char escaped[5];
	snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
	*out += escaped;
}

}	// namespace

std::string TerminalText(std::string_view text)
{
	std::string out;
	out.reserve(text.size());
	for (size_t i = 0; i < text.size(); i++) {
		unsigned char byte = static_cast<unsigned char>(text[i]);
		// U+0080 to U+009F, the C1 controls, are 0xc2 0x80 to 0xc2 0x9f.
		if (byte == 0xc2 && i + 1 < text.size()
			&& (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80) {
			AppendEscaped(&out, static_cast<unsigned char>(text[++i]));
			continue;
		}
		if ((byte < 0x20 && byte != '\t') || byte == 0x7f)
			AppendEscaped(&out, byte);
		else
			out += char(byte);
	}
	return out;
}
