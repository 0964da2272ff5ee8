#pragma once

// The top-level widget of a window: the user's close, resize, move and key
// presses become the window's business.

#include <QWidget>

#include <kernel/OS.h>

class BWindow;

namespace MorvaneKit {

class WindowWidget : public QWidget {
public:
	explicit WindowWidget(BWindow* window) : fWindow(window) {}
	void Forget() { fWindow = nullptr; }

protected:
	void closeEvent(QCloseEvent* event) override;
	void resizeEvent(QResizeEvent* event) override;
	void moveEvent(QMoveEvent* event) override;
	void keyPressEvent(QKeyEvent* event) override;
	void changeEvent(QEvent* event) override;

private:
	BWindow* fWindow;
};

// Queues a dispatch of the looper with that queue on the display's event
// loop; callable from any thread.
void ScheduleDispatch(port_id port);

// Keeps the list of windows that exist, so that the display can close
// those left when it goes.
void RegisterWindow(BWindow* window, bool exists);
void DeleteAllWindows();

}	// namespace MorvaneKit
