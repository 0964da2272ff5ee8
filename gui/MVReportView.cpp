#include "MVReportView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <interface/Alert.h>
#include <interface/Button.h>
#include <interface/ColumnListView.h>
#include <interface/FilePanel.h>
#include <interface/PrintJob.h>
#include <interface/TextView.h>
#include <interface/Window.h>
#include <storage/AtomicFileWriter.h>

#include "BackupApplication.h"
#include "GuiProtocol.h"
#include "GuiTexts.h"
#include "JobType.h"
#include "MVDeleteRequestWindow.h"
#include "MVLogSettingWindow.h"
#include "ReportDelivery.h"
#include "ReportLineText.h"
#include "ReportLineType.h"
#include "ServerProtocol.h"

namespace {

constexpr uint32 kCmdReportChosen = 'RFLT';


// Every line type shows unless the filter's bit for it is clear.
constexpr int32 kShowAllLines = -1;

const char* const kWidthKeys[] = {"RPLTITLECOLWIDTH", "RPLTYPECOLWIDTH", "RPLDATECOLWIDTH"};


const char* TypeName(int32 jobType)
{
	switch (jobType) {
		case kJobFullBackup:
			return GuiText(kTextBackup);
		case kJobIncrementalBackup:
			return "Incr. Backup";
		case kJobDifferentialBackup:
			return "Diff. Backup";
		case kJobRestore:
			return GuiText(kTextRestore);
		case kJobCompare:
			return GuiText(kTextCompare);
		default:
			return "Insert";
	}
}




// Report lines line up their values with tabs; in the viewer's fixed font
// a label and its value are put in two columns instead.
std::string InColumns(const std::string& line)
{
	constexpr size_t kValueColumn = 24;
	size_t tab = line.find('\t');
	if (tab == std::string::npos)
		return line;
	size_t value = line.find_first_not_of('\t', tab);
	std::string label = line.substr(0, tab);
	std::string rest = value == std::string::npos ? "" : InColumns(line.substr(value));
	label.append(label.size() < kValueColumn ? kValueColumn - label.size() : 1, ' ');
	return label + rest;
}


rgb_color ColourOf(int32 lineType)
{
	switch (lineType) {
		case kLineError:
			return make_color(190, 20, 20);
		case kLineWarning:
			return make_color(170, 100, 0);
		default:
			return make_color(0, 0, 0);
	}
}

}	// namespace


MVReportView::MVReportView(BRect frame)
	:
	MVToolView(frame, "MV_REPORTVIEW")
{
	float width = frame.Width();
	float height = frame.Height();
	float listBottom = std::min(150.0f, height / 3);
	fList = new BColumnListView(BRect(8, 8, width - 8, listBottom), "report_list",
		B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP);
	fList->AddColumn(new BStringColumn("Title", 250, 40, 2000), 0);
	fList->AddColumn(new BStringColumn("Type", 100, 40, 400), 1);
	fList->AddColumn(new BStringColumn("Date", 170, 40, 400), 2);
	fList->SetSelectionMode(B_MULTIPLE_SELECTION_LIST);
	fList->SetSelectionMessage(new BMessage(kCmdReportChosen));
	AddChild(fList);

	fText = new BTextView(BRect(8, listBottom + 8, width - 8, height - 44), "report_text",
		BRect(0, 0, width - 24, 100), B_FOLLOW_ALL, B_WILL_DRAW);
	fText->MakeEditable(false);
	fText->SetWordWrap(false);
	_ApplyFont(nullptr);
	AddChild(fText);

	struct Button {
		const char* name;
		int32 text;
		uint32 command;
	};
	const Button buttons[] = {
		{"btn_save", kTextSave, kCmdReportSave},
		{"btn_print", -1, kCmdReportPrint},
		{"btn_settings", kTextSettings, kCmdReportSettings},
		{"btn_delete", kTextDelete, kCmdReportClear},
	};
	float left = 8;
	for (const Button& button : buttons) {
		const char* label = button.text >= 0 ? GuiText(button.text) : "Print";
		AddChild(new BButton(BRect(left, height - 36, left + 100, height - 10), button.name,
			label, new BMessage(button.command), B_FOLLOW_LEFT | B_FOLLOW_BOTTOM));
		left += 108;
	}
}


MVReportView::~MVReportView()
{
	delete fPanel;
	for (BWindow* window : {fSettingsWindow, static_cast<BWindow*>(fDeleteWindow)}) {
		if (window != nullptr && window->Lock())
			window->Quit();
	}
}


void MVReportView::AttachedToWindow()
{
	AimButtonsHere();
	(void)fList->SetTarget(this);
	_ReloadList();
}


void MVReportView::DetachedFromWindow()
{
	if (fShown != 0)
		_Subscribe(kMsgReportClose, fShown);
	fShown = 0;
}


void MVReportView::_ReloadList()
{
	BMessage request(kMsgReportGetList);
	BMessage list;
	if (BackupApplication::Get()->PostServer(&request, &list) != B_OK)
		return;
	fList->Clear();
	fReports.clear();
	int32 reportID;
	for (int32 slot = 0; list.FindInt32("report_id", slot, &reportID) == B_OK; slot++) {
		auto* row = new BRow;
		const char* title = list.GetString("title", slot, "");
		row->SetField(new BStringField(title[0] != '\0' ? title : GuiText(kTextNoTitle)), 0);
		row->SetField(new BStringField(TypeName(list.GetInt32("job_type", slot, 0))), 1);
		int32 date = 0;
		(void)list.FindTime("date", slot, &date);
		row->SetField(new BStringField(DateText(date).c_str()), 2);
		fList->AddRow(row);
		fReports[row] = reportID;
		if (reportID == fShown)
			fList->AddToSelection(row);
	}
	_UpdateButtons();
}


int32 MVReportView::_ReportOf(const BRow* row) const
{
	auto found = fReports.find(row);
	return found != fReports.end() ? found->second : 0;
}


void MVReportView::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kCmdReportChosen: {
			BRow* row = fList->CurrentSelection();
			_Choose(row != nullptr ? _ReportOf(row) : 0);
			if (fDeleteWindow != nullptr) {
				BMessage names(kMsgDeleteRequestNames);
				names.AddString("names", _SelectedTitles().c_str());
				(void)fDeleteWindow->PostMessage(&names);
			}
			break;
		}
		case kMsgDeleteRequestReply:
			_DeleteConfirmed(message);
			break;
		case ReportDelivery::kMsgReport:
			_ShowReport(message);
			break;
		case kMsgReportLine:
			if (message->GetInt32("report_id", fShown) == fShown)
				_AppendLine(*message, 0);
			break;
		case kMsgReportInsertedNews:
		case kMsgReportRemovedNews:
		case kMsgReportDeletedNews:
			_ReloadList();
			break;
		case kCmdReportSave:
			_Save();
			break;
		case B_SAVE_REQUESTED:
			_SaveTo(message);
			break;
		case kCmdReportPrint:
			_Print();
			break;
		case kCmdReportClear:
			_Delete();
			break;
		case kCmdReportSettings:
			_OpenSettings();
			break;
		case kMsgLogSettingsClosed:
			_SettingsClosed(message);
			break;
		case kMsgLogFontChanged:
		case kMsgLogSizeChanged:
			_ApplyFont(message);
			break;
		case B_CANCEL:
			break;
		default:
			MVToolView::MessageReceived(message);
			break;
	}
}


void MVReportView::_Choose(int32 reportID)
{
	if (reportID == fShown)
		return;
	// The old report's lines stop before the new one's start.
	if (fShown != 0)
		_Subscribe(kMsgReportClose, fShown);
	fText->SetText("");
	fShown = reportID;
	if (fShown != 0)
		_Subscribe(kMsgReportOpen, fShown);
	_UpdateButtons();
}


void MVReportView::_Subscribe(uint32 what, int32 reportID)
{
	BMessage request(what);
	request.AddMessenger("user", BMessenger(this));
	request.AddInt32("report_id", reportID);
	(void)BackupApplication::Get()->PostServer(&request);
}


void MVReportView::_ShowReport(BMessage* delivery)
{
	BMessage report;
	if (ReportDelivery::Receive(delivery, &report) != B_OK)
		return;
	// A report that arrives after another was chosen is not the one shown.
	if (report.GetInt32("report_id", fShown) != fShown)
		return;
	fText->SetText("");
	int32 textID;
	for (int32 index = 0; report.FindInt32("text_id", index, &textID) == B_OK; index++)
		_AppendLine(report, index);
	_UpdateButtons();
}


bool MVReportView::Shows(int32 lineType) const
{
	BMessage report;
	(void)fSettings.FindMessage("report", &report);
	int32 filter = report.GetInt32("logfilter", kShowAllLines);
	return lineType < 0 || lineType >= 31 || (filter & (1 << lineType)) != 0;
}


void MVReportView::_AppendLine(const BMessage& line, int32 index)
{
	int32 lineType = line.GetInt32("linetype", index, kLineInfo);
	if (!Shows(lineType))
		return;
	std::string text = InColumns(ReportLineText::Render(line, index)) + "\n";
	fText->InsertStyled(text.c_str(), ColourOf(lineType), lineType == kLineError);
}


void MVReportView::_Save()
{
	if (fText->TextLength() == 0) {
		(new BAlert("Report", GuiText(kTextNothingToSave), GuiText(kTextOk)))->Go();
		return;
	}
	delete fPanel;
	BMessenger self(this);
	std::string folder = fSettings.GetString("savepath", "");
	entry_ref where(folder.empty() ? BackupApplication::Get()->ProgramFolder() : folder);
	fPanel = new BFilePanel(B_SAVE_PANEL, &self, &where, 0, false);
	fPanel->SetSaveText("MVBackupReport.txt");
	fPanel->Show();
}


void MVReportView::_SaveTo(BMessage* message)
{
	entry_ref folder;
	const char* name = message->GetString("name", nullptr);
	if (message->FindRef("directory", &folder) != B_OK || name == nullptr)
		return;
	(void)fSettings.SetString("savepath", folder.path.c_str());
	std::string path = folder.path + "/" + name;
	const char* text = fText->Text();
	if (AtomicFileWriter::WriteFile(path.c_str(), text, strlen(text), 0600) != B_OK) {
		std::string failure = "Can't save the report to '" + path + "'!";
		(new BAlert("Report", failure.c_str(), GuiText(kTextContinue)))->Go();
	}
}


void MVReportView::_Print()
{
	if (fText->TextLength() == 0) {
		(new BAlert("Report", GuiText(kTextNothingToPrint), GuiText(kTextOk)))->Go();
		return;
	}
	BPrintJob job("Report");
	if (job.ConfigPage() != B_OK || job.ConfigJob() != B_OK)
		return;
	if (job.BeginJob() != B_OK)
		return;
	BRect page = job.PrintableRect();
	BFont font(*be_fixed_font);
	font.SetSize(9);
	// One page at a time: the text is cut at whole lines.
	std::string text = fText->Text();
	size_t start = 0;
	int32 linesPerPage = std::max(1, int32(page.Height() / font.LineHeight()) - 1);
	while (start < text.size()) {
		size_t end = start;
		for (int32 line = 0; line < linesPerPage && end < text.size(); line++) {
			size_t next = text.find('\n', end);
			end = next == std::string::npos ? text.size() : next + 1;
		}
		std::string pageText = text.substr(start, end - start);
		(void)job.DrawText(pageText.c_str(), BRect(0, 0, page.Width(), page.Height()), &font);
		job.SpoolPage();
		start = end;
	}
	(void)job.CommitJob();
}


std::vector<int32> MVReportView::_SelectedReports() const
{
	std::vector<int32> reports;
	for (BRow* row = fList->CurrentSelection(); row != nullptr;
			row = fList->CurrentSelection(row)) {
		reports.push_back(_ReportOf(row));
	}
	return reports;
}


std::string MVReportView::_SelectedTitles() const
{
	std::string titles;
	for (BRow* row = fList->CurrentSelection(); row != nullptr;
			row = fList->CurrentSelection(row)) {
		auto* title = static_cast<BStringField*>(row->GetField(0));
		titles += (titles.empty() ? "" : ", ") + std::string(title->String());
	}
	return titles;
}


void MVReportView::_Delete()
{
	if (fList->CurrentSelection() == nullptr) {
		BAlert* alert = new BAlert("Delete Report", GuiText(kTextNoReportToDelete),
			GuiText(kTextOk));
		alert->SetShortcut(0, B_ESCAPE);
		alert->Go();
		return;
	}
	if (fDeleteWindow != nullptr) {
		fDeleteWindow->Activate();
		return;
	}
	BMessage settings;
	(void)fSettings.FindMessage("deletereport", &settings);
	BRect frame = Window()->Frame();
	fDeleteWindow = new MVDeleteRequestWindow(BPoint(frame.left + 60, frame.top + 60),
		GuiText(kTextDeleteReports), GuiText(kTextReallyDelete), _SelectedTitles(), settings,
		kMsgDeleteRequestReply, BMessenger(this));
	fDeleteWindow->Show();
}


void MVReportView::_DeleteConfirmed(BMessage* message)
{
	fDeleteWindow = nullptr;
	BMessage settings;
	if (!message->GetBool("result", false) || message->FindMessage("settings", &settings) != B_OK)
		return;
	(void)fSettings.SetMessage("deletereport", &settings);
	// What is selected now: the window showed the selection as it changed.
	std::vector<int32> reports = _SelectedReports();
	if (reports.empty())
		return;
	BMessage remove(kMsgReportDelete);
	for (int32 report : reports)
		remove.AddInt32("report_id", report);
	(void)BackupApplication::Get()->PostServer(&remove);
	_Choose(0);
}


void MVReportView::_OpenSettings()
{
	if (fSettingsWindow != nullptr) {
		fSettingsWindow->Activate();
		return;
	}
	BMessage ask(kMsgReportGetPolicy);
	BMessage policy;
	if (BackupApplication::Get()->PostServer(&ask, &policy) != B_OK)
		policy.MakeEmpty();
	BMessage report;
	(void)fSettings.FindMessage("report", &report);
	BRect frame = Window()->Frame();
	frame.OffsetBy(40, 40);
	fSettingsWindow = new MVLogSettingWindow(BRect(frame.left, frame.top, frame.left + 439,
		frame.top + 339), report, policy, BMessenger(this));
	fSettingsWindow->Show();
}


void MVReportView::_SettingsClosed(BMessage* message)
{
	fSettingsWindow = nullptr;
	BMessage report;
	if (message->GetBool("result", false) && message->FindMessage("settings", &report) == B_OK)
		(void)fSettings.SetMessage("report", &report);
	// A cancelled window takes its live font changes back.
	_ApplyFont(nullptr);
}


void MVReportView::_ApplyFont(const BMessage* change)
{
	BMessage report;
	(void)fSettings.FindMessage("report", &report);
	BFont font(*be_fixed_font);
	const char* family = report.GetString("logtextfamily", nullptr);
	if (family != nullptr) {
		font.SetFamilyAndStyle(family, report.GetString("logtextstyle", "Regular"));
	}
	font.SetSize(float(std::clamp(report.GetInt32("logtextsize", 12), 6, 72)));
	if (change != nullptr && change->what == kMsgLogFontChanged)
		font.SetFamilyAndStyle(change->GetString("font", ""), change->GetString("style", ""));
	if (change != nullptr && change->what == kMsgLogSizeChanged)
		font.SetSize(float(std::clamp(change->GetInt32("size", 12), 6, 72)));
	fText->SetFontAndColor(&font, make_color(0, 0, 0));
}


void MVReportView::_UpdateButtons()
{
	bool shown = fShown != 0;
	static_cast<BButton*>(FindView("btn_save"))->SetEnabled(shown);
	static_cast<BButton*>(FindView("btn_print"))->SetEnabled(shown);
}


void MVReportView::GetPref(BMessage* settings) const
{
	*settings = fSettings;
	StoreColumnWidths(fList, kWidthKeys, settings);
}


void MVReportView::SetPref(const BMessage& settings)
{
	fSettings = settings;
	_ApplyFont(nullptr);
	RestoreColumnWidths(fList, kWidthKeys, settings);
}


void MVReportView::LoadFile(const entry_ref& ref)
{
}
