#include "JobTitle.h"

size_t Utf8PrefixLength(std::string_view text, size_t maxBytes)
{
	if (text.size() <= maxBytes)
		return text.size();
	size_t length = maxBytes;
	// A continuation byte at the cut belongs to the character before it.
	while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xc0) == 0x80)
		length--;
	return length;
}

std::string CappedTitle(std::string_view title)
{
	return std::string(title.substr(0, Utf8PrefixLength(title, kMaxTitleBytes)));
}
