#include <interface/View.h>

#include <algorithm>
#include <cstring>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPicture>

#include <interface/Picture.h>
#include <interface/Window.h>

#include "qt/QtConversions.h"
#include "qt/ViewWidget.h"

using MorvaneKit::FromQRect;
using MorvaneKit::ToQColor;
using MorvaneKit::ToQFont;
using MorvaneKit::ToQRect;
using MorvaneKit::ToQRectF;
using MorvaneKit::ToQString;

namespace {

// Moves one edge pair of a frame by the rule of a resizing mode: 1 keeps
// the near edge and the size, 2 moves both edges, 3 moves the far edge, 4
// keeps the centre.
void Follow(uint32 rule, float delta, float* nearEdge, float* farEdge)
{
	switch (rule) {
		case 2:
			*nearEdge += delta;
			*farEdge += delta;
			break;
		case 3:
			*farEdge += delta;
			break;
		case 4:
			*nearEdge += delta / 2;
			*farEdge += delta / 2;
			break;
		default:
			break;
	}
}

}	// namespace


namespace MorvaneKit {

void ViewWidget::paintEvent(QPaintEvent* event)
{
	if (fView == nullptr)
		return;
	QPainter painter(this);
	ViewAccess::Paint(fView, &painter, event->rect());
}


void ViewWidget::mousePressEvent(QMouseEvent* event)
{
	if (fView == nullptr)
		return;
	QPointF where = event->position();
	fView->MouseDown(BPoint(float(where.x()), float(where.y())));
}


void ViewWidget::keyPressEvent(QKeyEvent* event)
{
	std::string bytes = KeyBytes(event->key(), event->text());
	if (fView == nullptr || bytes.empty()) {
		QWidget::keyPressEvent(event);
		return;
	}
	fView->KeyDown(bytes.c_str(), int32(bytes.size()));
}


void ViewAccess::Paint(BView* view, QPainter* painter, const QRect& update)
{
	view->_Paint(painter, FromQRect(update));
}


void ViewAccess::ParentResized(BView* view, float dx, float dy)
{
	view->_ParentResized(dx, dy);
}

}	// namespace MorvaneKit


BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
	:
	BView(frame, name, resizingMode, flags, nullptr)
{
}


BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags,
	QWidget* widget)
	:
	BHandler(name),
	fWidget(widget != nullptr ? widget : new MorvaneKit::ViewWidget(this)),
	fFrame(frame),
	fResizingMode(resizingMode),
	fFlags(flags),
	fViewColor(ui_color(B_PANEL_BACKGROUND_COLOR)),
	fFont(*be_plain_font)
{
	fWidget->setObjectName(ToQString(name));
	fWidget->hide();
	// A view keeps its own font; a parent's font never reaches its children.
	_ApplyFont();
	if (widget == nullptr) {
		fWidget->setAutoFillBackground(true);
		SetViewColor(fViewColor);
		if ((flags & B_NAVIGABLE) != 0)
			fWidget->setFocusPolicy(Qt::StrongFocus);
	}
	_ApplyGeometry();
}


BView::~BView()
{
	if (fParent != nullptr) {
		auto& siblings = fParent->fChildren;
		siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
	}
	if (fWindow != nullptr) {
		fWindow->_ViewDetached(this);
		fWindow->RemoveHandler(this);
	}
	std::vector<BView*> children;
	children.swap(fChildren);
	for (BView* child : children) {
		child->fParent = nullptr;
		delete child;
	}
	if (auto* plain = dynamic_cast<MorvaneKit::ViewWidget*>(fWidget))
		plain->Forget();
	delete fPicturePainter;
	delete fWidget;
}


void BView::AttachedToWindow()
{
}


void BView::DetachedFromWindow()
{
}


void BView::Draw(BRect updateRect)
{
}


void BView::MouseDown(BPoint where)
{
}


void BView::KeyDown(const char* bytes, int32 numBytes)
{
	// Unhandled keys go up to the window, which may have a use for them.
	if (fParent != nullptr)
		fParent->KeyDown(bytes, numBytes);
}


void BView::FrameResized(float width, float height)
{
}


void BView::MakeFocus(bool focus)
{
	if (fWindow == nullptr)
		return;
	if (focus) {
		fWindow->fFocus = this;
		if (fWidget->focusPolicy() == Qt::NoFocus)
			fWidget->setFocusPolicy(Qt::StrongFocus);
		fWidget->setFocus(Qt::OtherFocusReason);
	} else if (fWindow->fFocus == this) {
		fWindow->fFocus = nullptr;
		fWidget->clearFocus();
	}
}


bool BView::IsFocus() const
{
	return fWindow != nullptr && fWindow->fFocus == this;
}


void BView::GetPreferredSize(float* width, float* height)
{
	QSize hint = fWidget->sizeHint();
	if (width != nullptr)
		*width = hint.isValid() ? float(hint.width() - 1) : fFrame.Width();
	if (height != nullptr)
		*height = hint.isValid() ? float(hint.height() - 1) : fFrame.Height();
}


void BView::ResizeToPreferred()
{
	float width;
	float height;
	GetPreferredSize(&width, &height);
	ResizeTo(width, height);
}


void BView::SetEnabledLook(bool enabled)
{
	fWidget->setEnabled(enabled);
}


void BView::AddChild(BView* child, BView* before)
{
	if (child == nullptr || child->fParent != nullptr || child->fWindow != nullptr)
		return;
	auto position = std::find(fChildren.begin(), fChildren.end(), before);
	fChildren.insert(position, child);
	child->fParent = this;
	child->fWidget->setParent(fWidget);
	child->_ApplyGeometry();
	if (before != nullptr)
		child->fWidget->stackUnder(before->fWidget);
	child->fWidget->setVisible(!child->fHidden);
	if (fWindow != nullptr)
		child->_Attach(fWindow);
}


bool BView::RemoveChild(BView* child)
{
	auto position = std::find(fChildren.begin(), fChildren.end(), child);
	if (child == nullptr || position == fChildren.end())
		return false;
	if (child->fWindow != nullptr)
		child->_Detach();
	fChildren.erase(position);
	child->fParent = nullptr;
	child->fWidget->hide();
	child->fWidget->setParent(nullptr);
	return true;
}


bool BView::RemoveSelf()
{
	return fParent != nullptr && fParent->RemoveChild(this);
}


BView* BView::ChildAt(int32 index) const
{
	if (index < 0 || size_t(index) >= fChildren.size())
		return nullptr;
	return fChildren[size_t(index)];
}


BView* BView::FindView(const char* name) const
{
	if (name == nullptr)
		return nullptr;
	if (strcmp(Name(), name) == 0)
		return const_cast<BView*>(this);
	for (BView* child : fChildren) {
		if (BView* found = child->FindView(name))
			return found;
	}
	return nullptr;
}


void BView::MoveTo(BPoint where)
{
	fFrame.OffsetBy(where.x - fFrame.left, where.y - fFrame.top);
	_ApplyGeometry();
}


void BView::ResizeTo(float width, float height)
{
	float dx = width - fFrame.Width();
	float dy = height - fFrame.Height();
	if (dx == 0 && dy == 0)
		return;
	fFrame.right = fFrame.left + width;
	fFrame.bottom = fFrame.top + height;
	_ApplyGeometry();
	_FrameChanged();
	for (BView* child : fChildren)
		child->_ParentResized(dx, dy);
	if ((fFlags & B_FRAME_EVENTS) != 0)
		FrameResized(width, height);
}


void BView::_ParentResized(float dx, float dy)
{
	BRect old = fFrame;
	Follow(fResizingMode & 0x0F, dx, &fFrame.left, &fFrame.right);
	Follow((fResizingMode >> 4) & 0x0F, dy, &fFrame.top, &fFrame.bottom);
	if (old == fFrame)
		return;
	_ApplyGeometry();
	float ownDx = fFrame.Width() - old.Width();
	float ownDy = fFrame.Height() - old.Height();
	if (ownDx == 0 && ownDy == 0)
		return;
	_FrameChanged();
	for (BView* child : fChildren)
		child->_ParentResized(ownDx, ownDy);
	if ((fFlags & B_FRAME_EVENTS) != 0)
		FrameResized(fFrame.Width(), fFrame.Height());
}


void BView::_FrameChanged()
{
}


void BView::Show()
{
	fHidden = false;
	if (fWidget->parentWidget() != nullptr)
		fWidget->show();
}


void BView::Hide()
{
	fHidden = true;
	fWidget->hide();
}


bool BView::IsHidden() const
{
	return fHidden || (fParent != nullptr && fParent->IsHidden());
}


void BView::SetViewColor(rgb_color color)
{
	fViewColor = color;
	fViewColorSet = true;
	QPalette palette = fWidget->palette();
	palette.setColor(QPalette::Window, ToQColor(color));
	fWidget->setPalette(palette);
	fWidget->setAutoFillBackground(true);
}


void BView::SetFont(const BFont* font)
{
	if (font == nullptr)
		return;
	fFont = *font;
	_ApplyFont();
}


void BView::SetFontSize(float size)
{
	fFont.SetSize(size);
	_ApplyFont();
}


void BView::_ApplyFont()
{
	fWidget->setFont(ToQFont(fFont));
}


void BView::_ApplyGeometry()
{
	fWidget->setGeometry(ToQRect(fFrame));
}


void BView::_Attach(BWindow* window)
{
	fWindow = window;
	window->AddHandler(this);
	AttachedToWindow();
	for (BView* child : std::vector<BView*>(fChildren))
		child->_Attach(window);
}


void BView::_Detach()
{
	for (BView* child : std::vector<BView*>(fChildren))
		child->_Detach();
	DetachedFromWindow();
	fWindow->_ViewDetached(this);
	fWindow->RemoveHandler(this);
	fWindow = nullptr;
}


void BView::_Paint(QPainter* painter, BRect update)
{
	fPainter = painter;
	painter->setFont(ToQFont(fFont));
	Draw(update);
	fPainter = nullptr;
}


QPainter* BView::_Painter() const
{
	QPainter* painter = fPicturePainter != nullptr ? fPicturePainter : fPainter;
	if (painter != nullptr) {
		painter->setRenderHint(QPainter::Antialiasing, true);
		QPen pen(ToQColor(fHighColor));
		pen.setWidthF(fPenSize);
		painter->setPen(pen);
		painter->setBrush(Qt::NoBrush);
	}
	return painter;
}


void BView::StrokeLine(BPoint from, BPoint to)
{
	if (QPainter* painter = _Painter())
		painter->drawLine(QPointF(from.x + 0.5, from.y + 0.5), QPointF(to.x + 0.5, to.y + 0.5));
}


void BView::StrokeRect(BRect rect)
{
	if (QPainter* painter = _Painter())
		painter->drawRect(ToQRectF(rect).translated(0.5, 0.5));
}


void BView::FillRect(BRect rect)
{
	if (QPainter* painter = _Painter())
		painter->fillRect(QRectF(rect.left, rect.top, rect.Width() + 1, rect.Height() + 1),
			ToQColor(fHighColor));
}


void BView::StrokeRoundRect(BRect rect, float xRadius, float yRadius)
{
	if (QPainter* painter = _Painter())
		painter->drawRoundedRect(ToQRectF(rect).translated(0.5, 0.5), xRadius, yRadius);
}


void BView::FillRoundRect(BRect rect, float xRadius, float yRadius)
{
	if (QPainter* painter = _Painter()) {
		painter->setPen(Qt::NoPen);
		painter->setBrush(ToQColor(fHighColor));
		painter->drawRoundedRect(QRectF(rect.left, rect.top, rect.Width() + 1,
			rect.Height() + 1), xRadius, yRadius);
	}
}


void BView::StrokeEllipse(BRect rect)
{
	if (QPainter* painter = _Painter())
		painter->drawEllipse(ToQRectF(rect).translated(0.5, 0.5));
}


void BView::FillEllipse(BRect rect)
{
	if (QPainter* painter = _Painter()) {
		painter->setPen(Qt::NoPen);
		painter->setBrush(ToQColor(fHighColor));
		painter->drawEllipse(QRectF(rect.left, rect.top, rect.Width() + 1, rect.Height() + 1));
	}
}


namespace {

QPolygonF ToPolygon(const BPoint* points, int32 count)
{
	QPolygonF polygon;
	for (int32 index = 0; points != nullptr && index < count; index++)
		polygon << QPointF(points[index].x, points[index].y);
	return polygon;
}

}	// namespace


void BView::FillPolygon(const BPoint* points, int32 count)
{
	if (QPainter* painter = _Painter()) {
		painter->setPen(Qt::NoPen);
		painter->setBrush(ToQColor(fHighColor));
		painter->drawPolygon(ToPolygon(points, count));
	}
}


void BView::StrokePolygon(const BPoint* points, int32 count)
{
	if (QPainter* painter = _Painter())
		painter->drawPolygon(ToPolygon(points, count));
}


void BView::DrawString(const char* text, BPoint where)
{
	if (QPainter* painter = _Painter()) {
		painter->setFont(ToQFont(fFont));
		painter->drawText(QPointF(where.x, where.y), ToQString(text));
	}
}


void BView::DrawPicture(const BPicture* picture, BPoint where)
{
	QPainter* painter = _Painter();
	if (painter != nullptr && picture != nullptr)
		painter->drawPicture(QPointF(where.x, where.y), *picture->Recording());
}


void BView::BeginPicture(BPicture* picture)
{
	if (picture == nullptr || fPicturePainter != nullptr)
		return;
	fPicture = picture;
	fPicturePainter = new QPainter(picture->Recording());
}


BPicture* BView::EndPicture()
{
	BPicture* picture = fPicture;
	delete fPicturePainter;
	fPicturePainter = nullptr;
	fPicture = nullptr;
	return picture;
}


void BView::Invalidate()
{
	fWidget->update();
}


BPicture::BPicture() : fRecording(std::make_unique<QPicture>()) {}

BPicture::BPicture(const BPicture& other)
	:
	fRecording(std::make_unique<QPicture>(*other.fRecording))
{
}

BPicture::~BPicture() = default;

BPicture& BPicture::operator=(const BPicture& other)
{
	*fRecording = *other.fRecording;
	return *this;
}

BRect BPicture::Bounds() const
{
	return FromQRect(fRecording->boundingRect());
}
