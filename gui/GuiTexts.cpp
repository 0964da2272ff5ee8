#include "GuiTexts.h"

#include <ctime>

#include "MVLocale.h"

const char* GuiText(int32 id)
{
	const char* text = MVLocale::GetInstance()->Text(id);
	return text != nullptr ? text : "";
}


std::string DateText(int32 seconds)
{
	time_t when = seconds;
	char text[32];
	if (ctime_r(&when, text) == nullptr)
		return "-";
	std::string date(text);
	if (!date.empty() && date.back() == '\n')
		date.pop_back();
	return date;
}
