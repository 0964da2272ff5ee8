#pragma once

// MVReportView: the report viewer. A list of the reports the server keeps
// above the text of the chosen one, in the current language, growing live
// while its job runs; saving as text, printing and deleting reports.
//
// The view is a viewer of one report at a time: choosing another first
// unsubscribes from the one shown, so that no line of it shows afterwards.

#include <map>
#include <string>
#include <vector>

#include <app/Message.h>

#include "MVToolView.h"

class MVDeleteRequestWindow;

class BColumnListView;
class BFilePanel;
class BRow;
class BTextView;

class MVReportView : public MVToolView {
public:
	explicit MVReportView(BRect frame);
	~MVReportView() override;

	void AttachedToWindow() override;
	void DetachedFromWindow() override;
	void MessageReceived(BMessage* message) override;
	void GetPref(BMessage* settings) const override;
	void SetPref(const BMessage& settings) override;
	void LoadFile(const entry_ref& ref) override;

	// The report shown now, 0 for none.
	int32 ShownReport() const { return fShown; }
	// Whether a line of that type passes the filter.
	bool Shows(int32 lineType) const;

private:
	void _ReloadList();
	void _Choose(int32 index);
	void _Subscribe(uint32 what, int32 reportID);
	void _ShowReport(BMessage* delivery);
	void _AppendLine(const BMessage& line, int32 index);
	void _Save();
	void _SaveTo(BMessage* message);
	void _Print();
	std::vector<int32> _SelectedReports() const;
	std::string _SelectedTitles() const;
	void _Delete();
	void _DeleteConfirmed(BMessage* message);
	void _OpenSettings();
	void _SettingsClosed(BMessage* message);
	// The text view's font from the settings, with a live change on top.
	void _ApplyFont(const BMessage* change);
	void _UpdateButtons();
	int32 _ReportOf(const BRow* row) const;

	BColumnListView* fList;
	BTextView* fText;
	BMessage fSettings;
	std::map<const BRow*, int32> fReports;
	int32 fShown = 0;
	BFilePanel* fPanel = nullptr;
	BWindow* fSettingsWindow = nullptr;
	MVDeleteRequestWindow* fDeleteWindow = nullptr;
};
