#include "MVLogInfoWindow.h"

#include <string>
#include <utility>
#include <vector>

#include <interface/Button.h>
#include <interface/StringView.h>

#include "GuiTexts.h"
#include "MVLogDataModel.h"

namespace {

constexpr float kWidth = 420;
constexpr float kLine = 22;

const char* MediaText(MVMediaKind kind)
{
	switch (kind) {
		case MVMediaKind::kImageFolder:
			return "Folder of image files";
		case MVMediaKind::kTape:
			return "Tape";
		case MVMediaKind::kUnknown:
			break;
	}
	return "Not recorded";
}

}	// namespace


MVLogInfoWindow::MVLogInfoWindow(BPoint where, const MVLogDataItem& item)
	:
	BWindow(BRect(where.x, where.y, where.x + kWidth, where.y + 40), GuiText(kTextGetInfo),
		B_TITLED_WINDOW, B_NOT_RESIZABLE | B_NOT_ZOOMABLE)
{
	std::vector<std::pair<const char*, std::string>> lines;
	if (item.IsBackup()) {
		lines = {
			{"Title", item.data.fullPath},
			{"Backup", item.data.name},
			{"Date", MVLogDataModel::ColumnText(item, MVLogColumn::Date)},
			{"Size", MVLogDataModel::ColumnText(item, MVLogColumn::Size) + " bytes"},
			{"Stored on", MediaText(item.data.mediaKind)},
			{"Password", item.data.isProtected ? "Yes" : "No"},
		};
	} else {
		lines = {
			{"Name", item.data.name},
			{"Kind", MVLogDataModel::ColumnText(item, MVLogColumn::Type)},
			{"Path", item.data.fullPath},
			{"Backup", item.Backup()->data.name},
			{"Size", MVLogDataModel::ColumnText(item, MVLogColumn::Size) + " bytes"},
			{"Modified", MVLogDataModel::ColumnText(item, MVLogColumn::Date)},
			{"Medium", MVLogDataModel::ColumnText(item, MVLogColumn::MediaNumber)},
			{"Offset", MVLogDataModel::ColumnText(item, MVLogColumn::Offset)},
			{"Index", MVLogDataModel::ColumnText(item, MVLogColumn::Index)},
		};
	}
	float height = 16 + kLine * float(lines.size()) + 44;
	ResizeTo(kWidth, height);
	auto* background = new BView(Bounds(), "bkg_view", B_FOLLOW_ALL, B_WILL_DRAW);
	AddChild(background);
	float top = 10;
	for (const auto& [label, value] : lines) {
		background->AddChild(new BStringView(BRect(10, top, 100, top + 18), nullptr, label));
		background->AddChild(new BStringView(BRect(104, top, kWidth - 10, top + 18),
			(std::string("str_") + label).c_str(), value.c_str()));
		top += kLine;
	}
	background->AddChild(new BButton(BRect(kWidth - 110, height - 36, kWidth - 10,
		height - 10), "btn_close", "Close", new BMessage(B_QUIT_REQUESTED)));
}
