#include "Warning.h"

#include <interface/Alert.h>

#include "GuiTexts.h"

void WarnUser(const char* title, const char* text)
{
	(new BAlert(title, text, GuiText(kTextOk), nullptr, nullptr, B_WIDTH_AS_USUAL,
		B_WARNING_ALERT))->Go();
}
