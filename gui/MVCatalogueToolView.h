#pragma once

// MVCatalogueToolView: what the restore and compare tools share. The
// settings message, which is also the body of the job; the catalogue view
// whose marks say what the job reads; the start window with the passwords
// of the protected backups marked, the scheduler, and job-settings files.
// A tool adds its options and buttons.

#include <string>
#include <vector>

#include <app/Message.h>

#include "JobSettingsPanel.h"
#include "ScheduleEditor.h"
#include "MVToolView.h"

class MVLogDataView;
class MVRestoreStartWin;

class MVCatalogueToolView : public MVToolView {
public:
	// What makes the tool a restore or a compare tool.
	struct Kind {
		const char* viewName;
		const char* alertTitle;
		const char* magic;
		int32 jobType;
		int32 nothingMarkedText;
		int32 startTitleText;
		uint32 startCommand;
		uint32 startReply;
		uint32 schedulerCommand;
		const char* const* widthKeys;
	};

	~MVCatalogueToolView() override;

	void AttachedToWindow() override;
	void MessageReceived(BMessage* message) override;
	void GetPref(BMessage* settings) const override;
	void SetPref(const BMessage& settings) override;
	void LoadFile(const entry_ref& ref) override;

protected:
	// catalogueFrame: where the catalogue view goes.
	MVCatalogueToolView(BRect frame, const Kind& kind, BRect catalogueFrame);

	struct Button {
		const char* name;
		const char* label;
		uint32 command;
	};

	// The buttons along the bottom, from the left.
	void AddButtons(const std::vector<Button>& buttons);
	// The marks changed; the start window follows them already.
	virtual void MarksChanged();
	virtual void ShowOwnSettings();
	// The marked backups that a password protects.
	std::vector<std::string> ProtectedBackups() const;
	// A start window with the stored "start_info", replying with the code.
	MVRestoreStartWin* OpenStartWindow(int32 titleText,
		const std::vector<std::string>& protectedBackups, uint32 replyCode);
	// A start window's reply: false when it was cancelled; else its
	// settings are stored as "start_info" and the job gets the settings.
	bool StartConfirmed(const BMessage& reply, BMessage* job);

	BMessage fSettings;
	MVLogDataView* fCatalogue;
	const Kind fKind;

private:
	void _Start();
	void _StartClosed(BMessage* message);

	MVRestoreStartWin* fStartWindow = nullptr;
	JobSettingsPanel fFiles;
	ScheduleEditor fSchedule;
};
