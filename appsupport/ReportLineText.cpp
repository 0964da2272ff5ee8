#include "ReportLineText.h"

#include "MVLocale.h"
#include "MVReportLine.h"

namespace ReportLineText {

std::string Render(const BMessage& message, int32 index)
{
	int32 textID = message.GetInt32("text_id", index, -1);
	const void* data = nullptr;
	ssize_t size = 0;
	if (message.FindData("reportline", MVReportLine::kTypeCode, index, &data, &size) != B_OK)
		return Render(textID, nullptr, 0);
	return Render(textID, data, size_t(size));
}


std::string Render(int32 textID, const void* flattened, size_t size)
{
	MVReportLine line;
	if (flattened != nullptr && line.Unflatten(flattened, size) != B_OK)
		return "[unreadable report line, text " + std::to_string(textID) + "]";
	if (MVLocale::GetInstance()->Text(textID) == nullptr)
		return "[unknown text " + std::to_string(textID) + "]";
	return line.Render(textID);
}

}	// namespace ReportLineText
