#pragma once

// MVTextFormat: printf-style formatting of a text with typed arguments,
// safe for texts that come from locale files and so cannot be trusted.
//
// The format is parsed here, directive by directive, and never handed to
// the C library as it is. Each argument is formatted by its own type with a
// directive rebuilt for that type, so a text can at worst print an argument
// in another style, never read memory it was not given:
//
// - "%[N$][flags][width][.precision][length]conversion", with the flags
//   "-+ #0", the conversions d i u o x X c e E f F g G a A s and "%%". The
//   length modifiers (h, hh, l, ll, L, q, j, z, t) are accepted and ignored:
//   "%ld", "%Ld" and "%lld" print an integer argument whole, whatever its
//   width. Flags that do not apply to the conversion used are dropped.
// - Width and precision are capped at kMaxFieldWidth, so that no text can
//   make a line of megabytes.
// - Arguments are taken in order; "%N$" takes argument N (from 1) instead,
//   without moving the order on, so that a translation may reorder them.
// - An integer meets an integer conversion as it is (an int32 argument
//   printed with %x shows its 32 bits), and a floating-point conversion as
//   its value. A double meets an integer conversion as "%.0f" prints it,
//   with its width and the flags "-+ 0". A string meets every conversion
//   but %s as %s, with its width and the '-' flag only. Numbers meet %s as
//   their decimal text; %c prints an integer of 1 to 255 as that character
//   and any other argument as its text.
// - A missing argument (too few, or "%N$" beyond them) prints as an empty
//   string within its width: a made-up 0 would read as real data.
// - Anything else - "%n", "%p", "*" for width or precision, an unknown
//   conversion, a '%' at the end - is copied to the output as written and
//   takes no argument. A null format gives "".
//
// Extra arguments are ignored. Format() may be called from any thread;
// FormatText() reads MVLocale under its rules. Numbers follow the C library's
// LC_NUMERIC, which the programs leave at "C".

#include <string>

#include <support/SupportDefs.h>

#include "MVTextArgument.h"

class MVTextFormat {
public:
	static constexpr int32 kMaxFieldWidth = 256;

	static std::string Format(const char* format, const MVTextArguments& arguments);
	// Formats the current language's text of a text id (see MVLocale); an
	// id without a text gives "".
	static std::string FormatText(int32 textID, const MVTextArguments& arguments);
};
