// The entry points of the LZRW1 compressor add-on.

#include <new>

#include "CruncherAddOn.h"
#include "MVLZRW1.h"

MVCruncher* instantiate_mvcruncher()
{
	return new (std::nothrow) MVLZRW1();
}

MVCruncher* instantiate2_mvcruncher(BMessage* archive)
{
	return new (std::nothrow) MVLZRW1();
}
