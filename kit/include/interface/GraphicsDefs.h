#pragma once

// Colours as settings and views carry them.

#include <support/SupportDefs.h>

// Stored as the type B_RGB_COLOR_TYPE: four bytes, red, green, blue, alpha.
struct rgb_color {
	uint8 red = 0;
	uint8 green = 0;
	uint8 blue = 0;
	uint8 alpha = 255;

	bool operator==(const rgb_color& other) const = default;
};

constexpr type_code B_RGB_COLOR_TYPE = 0x52474243;   // 'RGBC'
