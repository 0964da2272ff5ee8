#pragma once

// A warning the user acknowledges with "Ok".

void WarnUser(const char* title, const char* text);
