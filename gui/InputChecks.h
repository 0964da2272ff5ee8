#pragma once

// Checks of what users type into the GUI's number fields.

#include <cstddef>

// True for one to maxDigits decimal digits and nothing else.
bool IsDecimalNumber(const char* text, size_t maxDigits = 9);
