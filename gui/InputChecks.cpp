#include "InputChecks.h"

#include <cctype>
#include <cstring>

bool IsDecimalNumber(const char* text, size_t maxDigits)
{
	if (text == nullptr)
		return false;
	size_t length = strlen(text);
	if (length == 0 || length > maxDigits)
		return false;
	for (size_t index = 0; index < length; index++) {
		if (!isdigit(static_cast<unsigned char>(text[index])))
			return false;
	}
	return true;
}
