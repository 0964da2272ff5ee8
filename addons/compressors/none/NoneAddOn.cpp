// The entry points of the pass-through compressor add-on.

#include <new>

#include "CruncherAddOn.h"
#include "MVNone.h"

MVCruncher* instantiate_mvcruncher()
{
	return new (std::nothrow) MVNone();
}

MVCruncher* instantiate2_mvcruncher(BMessage* archive)
{
	return new (std::nothrow) MVNone();
}
