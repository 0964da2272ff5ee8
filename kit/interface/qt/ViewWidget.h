#pragma once

// The widget of a plain view: it paints through the view's Draw() and
// passes mouse and key presses to it.

#include <QWidget>

class BView;

namespace MorvaneKit {

class ViewWidget : public QWidget {
public:
	explicit ViewWidget(BView* view) : fView(view) {}
	void Forget() { fView = nullptr; }

protected:
	void paintEvent(QPaintEvent* event) override;
	void mousePressEvent(QMouseEvent* event) override;
	void keyPressEvent(QKeyEvent* event) override;

private:
	BView* fView;
};

// What the kit's classes need of a view beyond its public face.
class ViewAccess {
public:
	static void Paint(BView* view, QPainter* painter, const QRect& update);
	static void ParentResized(BView* view, float dx, float dy);
};

}	// namespace MorvaneKit
