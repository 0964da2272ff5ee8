// The scroll view: a QFrame that frames views scrolling themselves, or holds
// a QScrollArea for a plain view.

#include <interface/ScrollView.h>

#include <algorithm>

#include <QAbstractScrollArea>
#include <QFrame>
#include <QScrollArea>
#include <QStyle>

namespace {

int FrameStyle(border_style border)
{
	switch (border) {
		case B_NO_BORDER:
			return QFrame::NoFrame;
		case B_PLAIN_BORDER:
			return QFrame::Box | QFrame::Plain;
		default:
			return QFrame::StyledPanel | QFrame::Sunken;
	}
}


Qt::ScrollBarPolicy Policy(bool shown)
{
	return shown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
}

}	// namespace


BScrollView::BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags,
	bool horizontal, bool vertical, border_style border)
	:
	BView(target != nullptr ? target->Frame() : BRect(0, 0, 99, 99), name, resizingMode, flags,
		new QFrame),
	fFrameWidget(static_cast<QFrame*>(Widget())),
	fTarget(nullptr),
	fHorizontal(horizontal),
	fVertical(vertical),
	fBorder(border)
{
	fFrameWidget->setFrameStyle(FrameStyle(border));
	if (target == nullptr || target->Parent() != nullptr || target->Window() != nullptr)
		return;
	// The scroll view takes the target's place, the border around it.
	float inset = BorderWidth();
	BRect frame = target->Frame();
	MoveTo(frame.left - inset, frame.top - inset);
	ResizeTo(frame.Width() + 2 * inset, frame.Height() + 2 * inset);

	// The scroll view places the target itself.
	target->SetResizingMode(B_FOLLOW_LEFT | B_FOLLOW_TOP);
	if (auto* scrolling = dynamic_cast<QAbstractScrollArea*>(target->Widget())) {
		scrolling->setFrameStyle(QFrame::NoFrame);
		AddChild(target);
	} else {
		fScrollArea = new QScrollArea(fFrameWidget);
		fScrollArea->setObjectName(QStringLiteral("scroll_area"));
		fScrollArea->setFrameStyle(QFrame::NoFrame);
		fScrollArea->setWidgetResizable(false);
		target->MoveTo(0, 0);
		AddChild(target);
		fScrollArea->setWidget(target->Widget());
		fScrollArea->show();
	}
	fTarget = target;
	_ApplyScrollBars();
	_Layout();
}


BScrollView::~BScrollView() = default;


BView* BScrollView::Target() const
{
	return fTarget != nullptr && ChildAt(0) == fTarget ? fTarget : nullptr;
}


void BScrollView::SetBorder(border_style border)
{
	fBorder = border;
	fFrameWidget->setFrameStyle(FrameStyle(border));
	_Layout();
}


float BScrollView::BorderWidth() const
{
	return float(fFrameWidget->frameWidth());
}


void BScrollView::_FrameChanged()
{
	_Layout();
}


void BScrollView::_ApplyScrollBars()
{
	QAbstractScrollArea* area = fScrollArea;
	if (area == nullptr && fTarget != nullptr)
		area = dynamic_cast<QAbstractScrollArea*>(fTarget->Widget());
	if (area == nullptr)
		return;
	area->setHorizontalScrollBarPolicy(Policy(fHorizontal));
	area->setVerticalScrollBarPolicy(Policy(fVertical));
}


void BScrollView::_Layout()
{
	BView* target = Target();
	if (target == nullptr)
		return;
	float inset = BorderWidth();
	BRect inside = Bounds();
	inside.InsetBy(inset, inset);
	if (fScrollArea == nullptr) {
		target->MoveTo(inside.left, inside.top);
		target->ResizeTo(inside.Width(), inside.Height());
		return;
	}
	fScrollArea->setGeometry(fFrameWidget->contentsRect());
	// Along a direction that does not scroll the target fills the area,
	// leaving room for the other direction's scroll bar.
	float extent = float(fScrollArea->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
	BRect frame = target->Frame();
	float width = fHorizontal ? frame.Width() : inside.Width() - (fVertical ? extent : 0);
	float height = fVertical ? frame.Height() : inside.Height() - (fHorizontal ? extent : 0);
	target->ResizeTo(std::max(width, 0.0f), std::max(height, 0.0f));
}
