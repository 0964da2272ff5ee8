#include "GuiTexts.h"

#include "MVLocale.h"

const char* GuiText(int32 id)
{
	const char* text = MVLocale::GetInstance()->Text(id);
	return text != nullptr ? text : "";
}
