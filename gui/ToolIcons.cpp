#include "ToolIcons.h"

#include <interface/View.h>

namespace {

// Draws in a 32 x 32 grid scaled to the icon's size.
class IconPen {
public:
	explicit IconPen(float size) : fScale(size / 32), fView(BRect(0, 0, size, size), "icon", 0, 0)
	{
		fView.BeginPicture(&fPicture);
	}

	BPicture Finish()
	{
		fView.EndPicture();
		return fPicture;
	}

	void Color(uint8 red, uint8 green, uint8 blue) { fView.SetHighColor(red, green, blue); }
	void Pen(float width) { fView.SetPenSize(width * fScale); }
	void FillBox(float l, float t, float r, float b, float radius = 0)
	{
		fView.FillRoundRect(_R(l, t, r, b), radius * fScale, radius * fScale);
	}
	void StrokeBox(float l, float t, float r, float b, float radius = 0)
	{
		fView.StrokeRoundRect(_R(l, t, r, b), radius * fScale, radius * fScale);
	}
	void FillCircle(float l, float t, float r, float b) { fView.FillEllipse(_R(l, t, r, b)); }
	void StrokeCircle(float l, float t, float r, float b) { fView.StrokeEllipse(_R(l, t, r, b)); }
	void Line(float x1, float y1, float x2, float y2)
	{
		fView.StrokeLine(BPoint(x1 * fScale, y1 * fScale), BPoint(x2 * fScale, y2 * fScale));
	}
	void Polygon(std::initializer_list<BPoint> points)
	{
		std::vector<BPoint> scaled;
		for (BPoint point : points)
			scaled.emplace_back(point.x * fScale, point.y * fScale);
		fView.FillPolygon(scaled.data(), int32(scaled.size()));
	}

private:
	BRect _R(float l, float t, float r, float b) const
	{
		return BRect(l * fScale, t * fScale, r * fScale, b * fScale);
	}

	float fScale;
	BView fView;
	BPicture fPicture;
};


void DrawDrive(IconPen& pen)
{
	pen.Color(90, 110, 140);
	pen.FillBox(3, 19, 29, 29, 3);
	pen.Color(150, 230, 120);
	pen.FillCircle(23, 23, 26, 26);
}


void DrawArrow(IconPen& pen, bool down)
{
	pen.Color(40, 120, 220);
	if (down) {
		pen.FillBox(13, 2, 19, 10);
		pen.Polygon({BPoint(8, 10), BPoint(24, 10), BPoint(16, 18)});
	} else {
		pen.Polygon({BPoint(8, 9), BPoint(24, 9), BPoint(16, 1)});
		pen.FillBox(13, 9, 19, 17);
	}
}


void DrawSheet(IconPen& pen, float left, float top)
{
	pen.Color(255, 255, 255);
	pen.FillBox(left, top, left + 16, top + 22, 1);
	pen.Color(90, 90, 90);
	pen.Pen(1.2f);
	pen.StrokeBox(left, top, left + 16, top + 22, 1);
	for (float y = top + 6; y < top + 20; y += 4)
		pen.Line(left + 3, y, left + 13, y);
}


void DrawFolder(IconPen& pen)
{
	pen.Color(220, 170, 50);
	pen.FillBox(3, 7, 14, 12, 2);
	pen.FillBox(3, 10, 29, 27, 2);
	pen.Color(245, 205, 90);
	pen.FillBox(3, 13, 29, 27, 2);
}


void DrawLock(IconPen& pen)
{
	pen.Color(60, 60, 60);
	pen.Pen(2.5f);
	pen.StrokeCircle(18, 12, 28, 24);
	pen.Color(200, 150, 30);
	pen.FillBox(16, 18, 30, 30, 2);
}


void DrawBackup(IconPen& pen)
{
	pen.Color(70, 100, 160);
	pen.FillBox(2, 5, 28, 27, 3);
	pen.Color(230, 235, 245);
	pen.FillBox(6, 9, 24, 13, 1);
	pen.FillBox(6, 16, 24, 20, 1);
}


void DrawImageBackup(IconPen& pen)
{
	DrawFolder(pen);
	pen.Color(70, 100, 160);
	pen.FillCircle(9, 14, 23, 28);
	pen.Color(230, 235, 245);
	pen.FillCircle(14, 19, 18, 23);
}


void DrawTapeBackup(IconPen& pen)
{
	pen.Color(50, 50, 60);
	pen.FillBox(2, 7, 30, 26, 2);
	pen.Color(230, 235, 245);
	pen.FillCircle(6, 11, 14, 19);
	pen.FillCircle(18, 11, 26, 19);
	pen.Color(50, 50, 60);
	pen.FillCircle(9, 14, 11, 16);
	pen.FillCircle(21, 14, 23, 16);
	pen.Color(140, 110, 80);
	pen.FillBox(8, 21, 24, 24);
}

}	// namespace


namespace ToolIcons {

BPicture ForEntry(EntryIcon icon, bool locked, float size)
{
	IconPen pen(size);
	switch (icon) {
		case EntryIcon::Backup:
			DrawBackup(pen);
			break;
		case EntryIcon::ImageBackup:
			DrawImageBackup(pen);
			break;
		case EntryIcon::TapeBackup:
			DrawTapeBackup(pen);
			break;
		case EntryIcon::Volume:
			DrawDrive(pen);
			break;
		case EntryIcon::Folder:
			DrawFolder(pen);
			break;
		case EntryIcon::File:
			DrawSheet(pen, 8, 4);
			break;
		case EntryIcon::Link:
			DrawSheet(pen, 8, 4);
			pen.Color(40, 120, 220);
			pen.Polygon({BPoint(14, 30), BPoint(30, 30), BPoint(30, 14)});
			break;
	}
	if (locked)
		DrawLock(pen);
	return pen.Finish();
}



BPicture ForTool(ToolKind tool, float size)
{
	IconPen pen(size);
	switch (tool) {
		case kToolQuickBackup:
			DrawDrive(pen);
			pen.Color(250, 190, 30);
			pen.Polygon({BPoint(18, 1), BPoint(9, 11), BPoint(15, 11), BPoint(12, 18),
				BPoint(22, 7), BPoint(16, 7)});
			break;
		case kToolBackup:
			DrawDrive(pen);
			DrawArrow(pen, true);
			break;
		case kToolRestore:
			DrawDrive(pen);
			DrawArrow(pen, false);
			break;
		case kToolCompare:
			DrawSheet(pen, 3, 4);
			DrawSheet(pen, 13, 7);
			pen.Color(40, 120, 220);
			pen.FillBox(5, 27, 27, 29);
			break;
		case kToolJobQueue:
			pen.Color(90, 90, 90);
			for (float y = 6; y <= 26; y += 7)
				pen.FillBox(3, y, 16, y + 3, 1);
			pen.Color(255, 255, 255);
			pen.FillCircle(15, 12, 30, 27);
			pen.Color(40, 120, 220);
			pen.Pen(2);
			pen.StrokeCircle(15, 12, 30, 27);
			pen.Line(22.5f, 19.5f, 22.5f, 15);
			pen.Line(22.5f, 19.5f, 26, 21);
			break;
		case kToolReports:
			DrawSheet(pen, 7, 4);
			pen.Color(220, 60, 50);
			pen.FillBox(10, 22, 18, 24);
			break;
		case kToolStart:
		case kToolCount:
			break;
	}
	return pen.Finish();
}


BPicture Logo(float size)
{
	IconPen pen(size);
	pen.Color(40, 60, 100);
	pen.FillBox(1, 6, 31, 26, 3);
	pen.Color(230, 230, 235);
	pen.FillBox(5, 9, 27, 19, 2);
	pen.Color(40, 60, 100);
	pen.FillCircle(8, 11, 14, 17);
	pen.FillCircle(18, 11, 24, 17);
	pen.Color(40, 120, 220);
	pen.FillBox(9, 21, 23, 24, 1);
	return pen.Finish();
}

}	// namespace ToolIcons
