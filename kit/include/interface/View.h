#pragma once

// BView: a rectangle of a window that draws and takes events, with child
// views. A view is a handler of its window's looper while it is attached.
//
// Frames are in the parent's coordinates, both ends included, as BRect has
// them; a frame of width 99 covers 100 pixels. When the parent's size
// changes, the view moves or grows by its resizing mode (InterfaceDefs.h).
//
// Ownership: a parent owns its children and deletes them with itself;
// RemoveChild() gives a child back to the caller. Every call is made on the
// display's thread (the main thread) with the window locked, as the window's
// handlers run there.
//
// On Linux a view is a Qt widget. Drawing calls are valid inside Draw() and
// between BeginPicture() and EndPicture().

#include <string>
#include <vector>

#include <app/Handler.h>
#include <interface/Font.h>
#include <interface/GraphicsDefs.h>
#include <interface/InterfaceDefs.h>
#include <interface/Rect.h>

class BPicture;
class BWindow;
class QPainter;
class QWidget;

namespace MorvaneKit {
class ViewAccess;
}

class BView : public BHandler {
public:
	BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
	~BView() override;

	virtual void AttachedToWindow();
	virtual void DetachedFromWindow();
	virtual void Draw(BRect updateRect);
	virtual void MouseDown(BPoint where);
	// bytes: the character typed, or one of the key bytes of InterfaceDefs.h.
	virtual void KeyDown(const char* bytes, int32 numBytes);
	virtual void FrameResized(float width, float height);
	virtual void MakeFocus(bool focus = true);
	bool IsFocus() const;
	virtual void GetPreferredSize(float* width, float* height);
	virtual void ResizeToPreferred();
	virtual void SetEnabledLook(bool enabled);

	// The child is stacked above its siblings, or just below `before`.
	void AddChild(BView* child, BView* before = nullptr);
	bool RemoveChild(BView* child);
	bool RemoveSelf();
	int32 CountChildren() const { return int32(fChildren.size()); }
	BView* ChildAt(int32 index) const;
	BView* Parent() const { return fParent; }
	BWindow* Window() const { return fWindow; }
	// This view or the first descendant of that name, depth first.
	BView* FindView(const char* name) const;

	BRect Frame() const { return fFrame; }
	BRect Bounds() const { return BRect(0, 0, fFrame.Width(), fFrame.Height()); }
	void MoveTo(BPoint where);
	void MoveTo(float x, float y) { MoveTo(BPoint(x, y)); }
	void MoveBy(float dx, float dy) { MoveTo(fFrame.left + dx, fFrame.top + dy); }
	void ResizeTo(float width, float height);
	void ResizeBy(float dx, float dy) { ResizeTo(fFrame.Width() + dx, fFrame.Height() + dy); }
	void Show();
	void Hide();
	bool IsHidden() const;
	uint32 ResizingMode() const { return fResizingMode; }
	void SetResizingMode(uint32 mode) { fResizingMode = mode; }
	uint32 Flags() const { return fFlags; }
	void SetFlags(uint32 flags) { fFlags = flags; }

	void SetViewColor(rgb_color color);
	void SetViewColor(uint8 red, uint8 green, uint8 blue) { SetViewColor(make_color(red, green, blue)); }
	rgb_color ViewColor() const { return fViewColor; }
	void SetHighColor(rgb_color color) { fHighColor = color; }
	void SetHighColor(uint8 red, uint8 green, uint8 blue) { fHighColor = make_color(red, green, blue); }
	rgb_color HighColor() const { return fHighColor; }
	void SetLowColor(rgb_color color) { fLowColor = color; }
	rgb_color LowColor() const { return fLowColor; }
	virtual void SetFont(const BFont* font);
	void SetFontSize(float size);
	void GetFont(BFont* font) const { *font = fFont; }
	float StringWidth(const char* text) const { return fFont.StringWidth(text); }
	void SetPenSize(float size) { fPenSize = size; }

	void StrokeLine(BPoint from, BPoint to);
	void StrokeRect(BRect rect);
	void FillRect(BRect rect);
	void StrokeRoundRect(BRect rect, float xRadius, float yRadius);
	void FillRoundRect(BRect rect, float xRadius, float yRadius);
	void StrokeEllipse(BRect rect);
	void FillEllipse(BRect rect);
	void FillPolygon(const BPoint* points, int32 count);
	void StrokePolygon(const BPoint* points, int32 count);
	// The point is the left end of the text's base line.
	void DrawString(const char* text, BPoint where);
	void DrawPicture(const BPicture* picture, BPoint where);
	// Drawing calls between the two go into the picture instead of the view.
	void BeginPicture(BPicture* picture);
	BPicture* EndPicture();
	void Invalidate();

	// The widget behind the view, for the kit's own classes.
	QWidget* Widget() const { return fWidget; }

protected:
	// For controls: the view is the given widget, which it then owns.
	BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags, QWidget* widget);
	// Called after the frame changed, before the children follow.
	virtual void _FrameChanged();

private:
	friend class BWindow;
	friend class MorvaneKit::ViewAccess;

	void _Attach(BWindow* window);
	void _Detach();
	void _ParentResized(float dx, float dy);
	void _ApplyGeometry();
	void _ApplyFont();
	void _Paint(QPainter* painter, BRect update);
	QPainter* _Painter() const;

	QWidget* fWidget;
	BView* fParent = nullptr;
	BWindow* fWindow = nullptr;
	std::vector<BView*> fChildren;
	BRect fFrame;
	uint32 fResizingMode;
	uint32 fFlags;
	rgb_color fViewColor;
	bool fViewColorSet = false;
	rgb_color fHighColor = make_color(0, 0, 0);
	rgb_color fLowColor = make_color(255, 255, 255);
	BFont fFont;
	float fPenSize = 1;
	bool fHidden = false;
	QPainter* fPainter = nullptr;
	BPicture* fPicture = nullptr;
	QPainter* fPicturePainter = nullptr;
};
