#pragma once

// A rectangle and a point in float coordinates, both ends included.

#include <support/SupportDefs.h>

struct BPoint {
	float x = 0;
	float y = 0;

	constexpr BPoint() = default;
	constexpr BPoint(float px, float py) : x(px), y(py) {}
	bool operator==(const BPoint& other) const = default;
};

struct BRect {
	float left = 0;
	float top = 0;
	float right = -1;
	float bottom = -1;

	constexpr BRect() = default;
	constexpr BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}

	float Width() const { return right - left; }
	float Height() const { return bottom - top; }
	bool IsValid() const { return left <= right && top <= bottom; }
	bool Contains(BPoint point) const
	{
		return point.x >= left && point.x <= right && point.y >= top && point.y <= bottom;
	}
	BPoint LeftTop() const { return BPoint(left, top); }
	BPoint RightBottom() const { return BPoint(right, bottom); }
	BRect& OffsetBy(float dx, float dy)
	{
		left += dx; right += dx; top += dy; bottom += dy;
		return *this;
	}
	BRect& InsetBy(float dx, float dy)
	{
		left += dx; right -= dx; top += dy; bottom -= dy;
		return *this;
	}
	bool operator==(const BRect& other) const = default;
};
