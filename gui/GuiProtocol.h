#pragma once

// Commands inside the GUI: menus, tool bar and the windows it owns.

#include <support/SupportDefs.h>

enum : uint32 {
	kCmdHelp = 'hlps',
	kCmdLoadSelection = 'lsel',
	kCmdSaveSelection = 'ssel',
	kCmdSelectAll = 'sall',
	kCmdClearSelection = 'sclr',
	kCmdQuickBackupTool = 'qbvw',
	kCmdBackupTool = 'bavw',
	kCmdRestoreTool = 'rsvw',
	kCmdCompareTool = 'cpvw',
	kCmdJobQueueTool = 'jqvw',
	kCmdReportTool = 'rpvw',
	kCmdStatusSettings = 'bsts',
	kCmdStatusSettingsClosed = 'stqt',
	kCmdStatusWindowClosed = 'bstq',
	kCmdRestartWithLastTool = 'last',
	kCmdAutoprefs = 'paut',
	kCmdSavePreferences = 'psav',
	kCmdLanguage = 'lang',
	kCmdToolbarNone = 'tbno',
	kCmdToolbarIconOnly = 'tbio',
	kCmdToolbarTextOnly = 'tbto',
	kCmdToolbarIconAndText = 'tbit',
	kCmdToolbarIconAboveText = 'tbi2',
	// Report commands and report-store news for the report tool.
	kCmdReportClear = 'RCLR',
	kCmdReportPrint = 'RPRN',
	kCmdReportSave = 'RSAV',
	kCmdReportSettings = 'RSET',
	kMsgReportDeletedNews = 'rpDC',
	kMsgReportInsertedNews = 'rpIN',
	kMsgReportRemovedNews = 'rpRM',
	// The running-jobs window's buttons.
	kCmdJobPauseButton = 'stps',
	kCmdJobContinueButton = 'stcn',
	kCmdJobAbortButton = 'stab',
	kCmdRemoveFinishedItem = 'strm',
	// A request window's button, and its closing news to the main window
	// ("title", "answer": the reply for the server, when a button was
	// chosen).
	kCmdRequestAnswer = 'rqan',
	kMsgRequestWindowClosed = 'rqcl',
	// The answer to a job's question when it brought no reply message of its
	// own; "which" is the button chosen.
	kMsgQuestionAnswer = 'mvqa',
};

// Keys of the GUI's preferences.
constexpr const char* kPrefMainFrame = "MV_MAINWINPOS";
constexpr const char* kPrefLastView = "lastview";
constexpr const char* kPrefLastTool = "lasttool";
constexpr const char* kPrefAutoprefs = "MV_AUTOPREFS";
constexpr const char* kPrefToolbar = "toolbar";
constexpr const char* kPrefLanguage = "MV_LANGUAGE";
constexpr const char* kPrefStatus = "status";

// Keys inside the "status" preference.
constexpr const char* kStatusAutoOpen = "autoopen";
constexpr const char* kStatusFrame = "statuswinpos";
constexpr const char* kStatusCloseWhenEmpty = "closeempty";
constexpr const char* kStatusRemoveFinished = "removefinished";
constexpr const char* kStatusRemoveDelay = "removedelay";
constexpr const char* kStatusFollowMain = "followmain";

// Names of the main window's auxiliary windows.
constexpr const char* kStatusWindowName = "win_status";
constexpr const char* kStatusSettingsName = "win_statussettings";
