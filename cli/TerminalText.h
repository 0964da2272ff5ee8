#pragma once

// Text from the catalogue, reports and jobs as the command line prints it:
// names and titles may hold any bytes, and a newline or an escape sequence
// printed raw would break line-based reading of the output or mislead the
// reader. Control characters (C0 but the tab, DEL, and C1 encoded in UTF-8)
// are shown escaped: "\n", "\r", else "\x1b" and so on. Everything else,
// invalid UTF-8 included, passes unchanged. JSON output escapes by itself.

#include <string>
#include <string_view>

std::string TerminalText(std::string_view text);
