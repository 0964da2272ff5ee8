#include <interface/Display.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <app/Application.h>
#include <interface/Alert.h>
#include <interface/Font.h>
#include <interface/Window.h>

#include "app/LooperAccess.h"
#include "app/MainLoop.h"
#include "qt/QtConversions.h"
#include "qt/WindowWidget.h"

using MorvaneKit::LooperAccess;
using MorvaneKit::ToQString;

namespace MorvaneKit {

namespace {

std::mutex sWindowsLock;
std::set<BWindow*> sWindows;


void DispatchPort(port_id port)
{
	BLooper* looper = LooperAccess::FromPort(port);
	if (looper == nullptr)
		return;
	LooperAccess::DispatchPending(looper);
	if (LooperAccess::IsTerminating(looper) && !LooperAccess::IsDispatching(looper)) {
		if (auto* window = dynamic_cast<BWindow*>(looper))
			delete window;
	}
}


// The application's queue runs from Qt's event loop.
class DisplayLoop : public MainLoop {
public:
	void Run(BApplication* application) override
	{
		BDisplay::AttachApplication(application);
		QApplication::exec();
	}

	void Stop() override
	{
		QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
			Qt::QueuedConnection);
	}
};


// An alert as a modal dialog: the text, then the buttons in the order given,
// the last one the default; Escape presses the button that has it as its
// shortcut, or nothing.
class AlertDialog : public QDialog {
public:
	explicit AlertDialog(const BAlert& alert)
	{
		setWindowTitle(ToQString(alert.Title()));
		setModal(true);
		auto* layout = new QVBoxLayout(this);
		auto* text = new QLabel(ToQString(alert.Text()));
		text->setWordWrap(true);
		text->setObjectName(QStringLiteral("alert_text"));
		text->setMinimumWidth(300);
		layout->addWidget(text);
		auto* buttons = new QHBoxLayout;
		buttons->addStretch();
		for (int32 index = 0; index < alert.CountButtons(); index++) {
			auto* button = new QPushButton(ToQString(alert.ButtonLabel(index)));
			button->setObjectName(QStringLiteral("alert_button%1").arg(index));
			if (index == alert.DefaultButton())
				button->setDefault(true);
			if (alert.Shortcut(index) == B_ESCAPE)
				fEscapeButton = index;
			QObject::connect(button, &QPushButton::clicked, this, [this, index] { done(index); });
			buttons->addWidget(button);
		}
		layout->addLayout(buttons);
	}

	void reject() override
	{
		if (fEscapeButton >= 0)
			done(fEscapeButton);
	}

private:
	int32 fEscapeButton = -1;
};


QtMessageHandler sPreviousHandler = nullptr;

// A display without a screen says for every window that it cannot raise or
// size it; that is what it is, not news.
void QuietOffscreenHandler(QtMsgType type, const QMessageLogContext& context,
	const QString& message)
{
	if (message.startsWith(QLatin1String("This plugin does not support")))
		return;
	if (sPreviousHandler != nullptr)
		sPreviousHandler(type, context, message);
	else
		fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}


int32 ShowAlert(const BAlert& alert)
{
	AlertDialog dialog(alert);
	return dialog.exec();
}

}	// namespace


void ScheduleDispatch(port_id port)
{
	QCoreApplication* application = QCoreApplication::instance();
	if (application == nullptr)
		return;
	QMetaObject::invokeMethod(application, [port] { DispatchPort(port); }, Qt::QueuedConnection);
}


void RegisterWindow(BWindow* window, bool exists)
{
	std::lock_guard<std::mutex> guard(sWindowsLock);
	if (exists)
		sWindows.insert(window);
	else
		sWindows.erase(window);
}


void DeleteAllWindows()
{
	for (;;) {
		BWindow* window;
		{
			std::lock_guard<std::mutex> guard(sWindowsLock);
			if (sWindows.empty())
				return;
			window = *sWindows.begin();
		}
		delete window;
	}
}

}	// namespace MorvaneKit


struct BDisplay::Connection {
	Connection(int& argc, char** argv) : application(argc, argv) {}

	QApplication application;
	MorvaneKit::DisplayLoop loop;
	BAlert::Presenter previousPresenter;
};


BDisplay::BDisplay(int& argc, char** argv)
	:
	fConnection(new Connection(argc, argv))
{
	if (QGuiApplication::platformName() == QLatin1String("offscreen"))
		MorvaneKit::sPreviousHandler = qInstallMessageHandler(MorvaneKit::QuietOffscreenHandler);
	QApplication::setQuitOnLastWindowClosed(false);
	QApplication::setFont(MorvaneKit::ToQFont(*be_plain_font));
	MorvaneKit::SetMainLoop(&fConnection->loop);
	fConnection->previousPresenter = BAlert::SetPresenter(MorvaneKit::ShowAlert);
}


BDisplay::~BDisplay()
{
	MorvaneKit::DeleteAllWindows();
	BAlert::SetPresenter(std::move(fConnection->previousPresenter));
	MorvaneKit::SetMainLoop(nullptr);
	delete fConnection;
}


void BDisplay::ProcessEvents(bigtime_t maxTime)
{
	QCoreApplication::sendPostedEvents();
	if (maxTime <= 0) {
		QCoreApplication::processEvents(QEventLoop::AllEvents);
		return;
	}
	// Sleeps until an event comes or the time is over, instead of spinning.
	QTimer wake;
	wake.setSingleShot(true);
	wake.start(int(std::max<bigtime_t>(1, maxTime / 1000)));
	QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}


void BDisplay::AttachApplication(BApplication* application)
{
	port_id port = application->Port();
	LooperAccess::DriveFromEventLoop(application, [port] { MorvaneKit::ScheduleDispatch(port); });
	MorvaneKit::ScheduleDispatch(port);
}


BWindow* BDisplay::FindWindow(const char* title)
{
	if (title == nullptr)
		return nullptr;
	std::lock_guard<std::mutex> guard(MorvaneKit::sWindowsLock);
	for (BWindow* window : MorvaneKit::sWindows) {
		if (strcmp(window->Title(), title) == 0)
			return window;
	}
	return nullptr;
}


bool BDisplay::IsOpen()
{
	return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}


bigtime_t BDisplay::system_time_now()
{
	return system_time();
}
