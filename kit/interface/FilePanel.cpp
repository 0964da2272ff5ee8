#include <interface/FilePanel.h>

#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QFileInfo>
#include <QHideEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

#include <app/AppDefs.h>
#include <app/Application.h>
#include <app/Message.h>
#include <interface/Button.h>
#include <storage/Path.h>
#include <storage/VolumeTable.h>

#include "qt/FilePanelDialog.h"
#include "qt/QtConversions.h"
#include "qt/RefFilterModel.h"

using MorvaneKit::FromQString;
using MorvaneKit::ToQString;

namespace {

constexpr int kButtonGap = 10;

// Cancel left of the default button, other buttons left of both, whatever
// order the platform prefers.
class PanelButtonStyle : public QProxyStyle {
public:
	int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
		QStyleHintReturn* returnData) const override
	{
		if (hint == SH_DialogButtonLayout)
			return QDialogButtonBox::GnomeLayout;
		return QProxyStyle::styleHint(hint, option, widget, returnData);
	}
};


bool ToNative(const char* path, std::string* native)
{
	return path != nullptr && VolumeTable::ToNative(path, native) == B_OK;
}


bool ToSystem(const std::string& native, std::string* path)
{
	return VolumeTable::ToSystem(native.c_str(), path) == B_OK;
}


bool IsFolder(const std::string& native)
{
	struct stat st;
	return stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}	// namespace


namespace MorvaneKit {

void FilePanelDialog::done(int result)
{
	if (result == Accepted && fPanel != nullptr && !fPanel->HidesWhenDone())
		return;
	QFileDialog::done(result);
}


void FilePanelDialog::hideEvent(QHideEvent* event)
{
	QFileDialog::hideEvent(event);
	if (fPanel != nullptr && !event->spontaneous())
		fPanel->_Closed();
}

}	// namespace MorvaneKit


BFilePanel::BFilePanel(file_panel_mode mode, BMessenger* target, const entry_ref* directory,
	uint32 nodeFlavors, bool allowMultipleSelection, BMessage* message, BRefFilter* filter,
	bool modal, bool hideWhenDone)
	:
	fMode(mode),
	fTarget(target != nullptr ? *target : be_app_messenger),
	fMessage(message != nullptr ? new BMessage(*message) : nullptr),
	fFilter(filter),
	fNodeFlavors(nodeFlavors != 0 ? nodeFlavors : uint32(B_FILE_NODE)),
	fHideWhenDone(hideWhenDone),
	fModal(modal),
	fDialog(new MorvaneKit::FilePanelDialog(this)),
	fConnections(new QObject),
	fFilterModel(new MorvaneKit::RefFilterModel)
{
	fDialog->setObjectName(QStringLiteral("file panel"));
	fDialog->setOption(QFileDialog::DontUseNativeDialog);
	fDialog->setProxyModel(fFilterModel);
	fFilterModel->SetFilter(filter);
	_SetUpMode(allowMultipleSelection);
	_SetUpButtons();
	if (modal)
		fDialog->setWindowModality(Qt::ApplicationModal);

	QObject::connect(fDialog, &QFileDialog::filesSelected, fConnections,
		[this](const QStringList& files) {
			std::vector<std::string> paths;
			for (const QString& file : files)
				paths.push_back(FromQString(file));
			_Chosen(paths);
		});
	QObject::connect(fDialog, &QFileDialog::directoryEntered, fConnections,
		[this] { _DirectoryChanged(); });
	QObject::connect(fDialog, &QFileDialog::currentChanged, fConnections,
		[this] { SelectionChanged(); });

	if (directory == nullptr || SetPanelDirectory(directory) != B_OK)
		_DirectoryChanged();
}


BFilePanel::~BFilePanel()
{
	delete fConnections;
	fDialog->SetPanel(nullptr);
	for (BButton* button : fButtons)
		delete button;
	delete fDialog;
}


void BFilePanel::_SetUpMode(bool allowMultipleSelection)
{
	if (fMode == B_SAVE_PANEL) {
		fDialog->setAcceptMode(QFileDialog::AcceptSave);
		fDialog->setFileMode(QFileDialog::AnyFile);
	} else if ((fNodeFlavors & (B_FILE_NODE | B_SYMLINK_NODE)) == 0) {
		fDialog->setAcceptMode(QFileDialog::AcceptOpen);
		fDialog->setFileMode(QFileDialog::Directory);
		fDialog->setOption(QFileDialog::ShowDirsOnly);
	} else {
		fDialog->setAcceptMode(QFileDialog::AcceptOpen);
		fDialog->setFileMode(allowMultipleSelection ? QFileDialog::ExistingFiles
			: QFileDialog::ExistingFile);
	}
}


// The buttons go into a row of their own under everything else, the way the
// panel's added buttons can stand beside them.
void BFilePanel::_SetUpButtons()
{
	auto* box = fDialog->findChild<QDialogButtonBox*>();
	auto* grid = dynamic_cast<QGridLayout*>(fDialog->layout());
	if (box == nullptr || grid == nullptr)
		return;
	auto* style = new PanelButtonStyle;
	style->setParent(fDialog);
	box->setStyle(style);
	grid->removeWidget(box);
	box->setOrientation(Qt::Horizontal);
	// The row's stretch takes the room, so that added buttons sit close.
	box->setSizePolicy(QSizePolicy::Maximum, box->sizePolicy().verticalPolicy());
	fButtonRow = new QHBoxLayout;
	fButtonRow->setSpacing(0);
	fButtonRow->addStretch();
	fButtonRow->addWidget(box);
	grid->addLayout(fButtonRow, grid->rowCount(), 0, 1, grid->columnCount());

	if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel))
		cancel->setObjectName(QStringLiteral("cancel button"));
	QPushButton* accept = box->button(fMode == B_SAVE_PANEL ? QDialogButtonBox::Save
		: QDialogButtonBox::Open);
	if (accept != nullptr)
		accept->setObjectName(QStringLiteral("default button"));
}


void BFilePanel::Show()
{
	fDialog->show();
	// A display without a screen has no stacking to change.
	if (QGuiApplication::platformName() != QLatin1String("offscreen"))
		fDialog->raise();
	fDialog->activateWindow();
}


void BFilePanel::Hide()
{
	fDialog->hide();
}


bool BFilePanel::IsShowing() const
{
	return fDialog->isVisible();
}


void BFilePanel::SelectionChanged()
{
}


void BFilePanel::SendMessage(const BMessenger* target, BMessage* message)
{
	// A target that is gone misses the result; the panel goes on.
	if (target != nullptr && message != nullptr)
		(void)target->SendMessage(message);
}


void BFilePanel::SetTarget(BMessenger target)
{
	fTarget = target;
	for (BButton* button : fButtons)
		(void)button->SetTarget(target);
}


void BFilePanel::SetMessage(BMessage* message)
{
	fMessage.reset(message != nullptr ? new BMessage(*message) : nullptr);
}


void BFilePanel::SetRefFilter(BRefFilter* filter)
{
	fFilter = filter;
	fFilterModel->SetFilter(filter);
}


status_t BFilePanel::SetPanelDirectory(const entry_ref* directory)
{
	return SetPanelDirectory(directory != nullptr ? directory->path.c_str() : nullptr);
}


status_t BFilePanel::SetPanelDirectory(const char* path)
{
	std::string native;
	if (!ToNative(path, &native) || !IsFolder(native))
		return B_ENTRY_NOT_FOUND;
	fDialog->setDirectory(ToQString(native.c_str()));
	_DirectoryChanged();
	return B_OK;
}


status_t BFilePanel::GetPanelDirectory(entry_ref* directory) const
{
	if (directory == nullptr)
		return B_BAD_VALUE;
	std::string path;
	if (!ToSystem(FromQString(fDialog->directory().absolutePath()), &path))
		return B_ENTRY_NOT_FOUND;
	*directory = entry_ref(path);
	return B_OK;
}


void BFilePanel::SetTitle(const char* title)
{
	fDialog->setWindowTitle(ToQString(title));
}


void BFilePanel::SetButtonLabel(file_panel_button button, const char* label)
{
	fDialog->setLabelText(button == B_DEFAULT_BUTTON ? QFileDialog::Accept : QFileDialog::Reject,
		ToQString(label));
}


void BFilePanel::SetSaveText(const char* text)
{
	fDialog->selectFile(ToQString(text));
}


void BFilePanel::SetFeel(window_feel feel)
{
	bool floating = feel == B_FLOATING_APP_WINDOW_FEEL || feel == B_FLOATING_SUBSET_WINDOW_FEEL
		|| feel == B_FLOATING_ALL_WINDOW_FEEL;
	bool modal = fModal || feel == B_MODAL_APP_WINDOW_FEEL || feel == B_MODAL_ALL_WINDOW_FEEL
		|| feel == B_MODAL_SUBSET_WINDOW_FEEL;
	bool visible = fDialog->isVisible();
	Qt::WindowFlags flags = fDialog->windowFlags() & ~Qt::WindowType_Mask;
	flags |= floating ? Qt::Tool : Qt::Dialog;
	if (feel == B_FLOATING_ALL_WINDOW_FEEL || feel == B_MODAL_ALL_WINDOW_FEEL)
		flags |= Qt::WindowStaysOnTopHint;
	else
		flags &= ~Qt::WindowStaysOnTopHint;
	// Changing the flags hides the dialog; that is no closing of the panel.
	fDialog->SetPanel(nullptr);
	fDialog->setWindowFlags(flags);
	fDialog->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
	if (visible)
		fDialog->show();
	fDialog->SetPanel(this);
}


void BFilePanel::AddButton(BButton* button)
{
	if (button == nullptr || fButtonRow == nullptr)
		return;
	fButtons.push_back(button);
	(void)button->SetTarget(fTarget);
	BRect frame = button->Frame();
	QWidget* widget = button->Widget();
	widget->setMinimumSize(int(frame.Width()) + 1, int(frame.Height()) + 1);
	int index = fButtonRow->count() - 1;
	fButtonRow->insertWidget(index, widget);
	fButtonRow->insertSpacing(index + 1, kButtonGap);
	button->Show();
}


status_t BFilePanel::SelectAndOpen(const char* path)
{
	if (fMode != B_OPEN_PANEL)
		return B_BAD_VALUE;
	std::string native;
	struct stat st;
	if (!ToNative(path, &native) || lstat(native.c_str(), &st) != 0)
		return B_ENTRY_NOT_FOUND;
	if (!_MayOpen(native))
		return B_BAD_VALUE;
	QString chosen = ToQString(native.c_str());
	fDialog->selectFile(chosen);
	// The name field keeps what the user typed while it has the focus; the
	// choice goes into it all the same.
	if (auto* name = fDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
		name->setText(QFileInfo(chosen).fileName());
	_DirectoryChanged();
	fDialog->Accept();
	return B_OK;
}


QWidget* BFilePanel::Widget() const
{
	return fDialog;
}


void BFilePanel::_Chosen(const std::vector<std::string>& nativePaths)
{
	if (nativePaths.empty())
		return;
	if (fMode == B_SAVE_PANEL)
		_SendSave(nativePaths.front());
	else
		_SendRefs(nativePaths);
}


void BFilePanel::_SendRefs(const std::vector<std::string>& nativePaths)
{
	BMessage message(_ResultCode());
	if (fMessage)
		message = *fMessage;
	bool any = false;
	for (const std::string& native : nativePaths) {
		std::string path;
		if (!_MayOpen(native) || !ToSystem(native, &path))
			continue;
		entry_ref ref(path);
		message.AddRef("refs", &ref);
		any = true;
	}
	if (any)
		SendMessage(&fTarget, &message);
}


void BFilePanel::_SendSave(const std::string& nativePath)
{
	size_t slash = nativePath.rfind('/');
	if (slash == std::string::npos || slash + 1 == nativePath.size())
		return;
	std::string folder;
	if (!ToSystem(slash == 0 ? "/" : nativePath.substr(0, slash), &folder))
		return;
	BMessage message(_ResultCode());
	if (fMessage)
		message = *fMessage;
	entry_ref directory(folder);
	message.AddRef("directory", &directory);
	message.AddString("name", nativePath.substr(slash + 1).c_str());
	SendMessage(&fTarget, &message);
}


void BFilePanel::_Closed()
{
	BMessage cancel(B_CANCEL);
	cancel.AddInt32("old_what", int32(fMessage ? fMessage->what : _ResultCode()));
	SendMessage(&fTarget, &cancel);
}


void BFilePanel::_DirectoryChanged()
{
	fFilterModel->SetShownFolder(fDialog->directory().absolutePath());
	SelectionChanged();
}


// Whether the flavors let the user open the entry; a link counts as what it
// leads to, or as itself for B_SYMLINK_NODE.
bool BFilePanel::_MayOpen(const std::string& nativePath) const
{
	struct stat st;
	if (lstat(nativePath.c_str(), &st) != 0)
		return false;
	if (S_ISLNK(st.st_mode) && (fNodeFlavors & B_SYMLINK_NODE) != 0)
		return true;
	uint32 flavor = IsFolder(nativePath) ? B_DIRECTORY_NODE : B_FILE_NODE;
	return (fNodeFlavors & flavor) != 0;
}


uint32 BFilePanel::_ResultCode() const
{
	return fMode == B_SAVE_PANEL ? uint32(B_SAVE_REQUESTED) : uint32(B_REFS_RECEIVED);
}
