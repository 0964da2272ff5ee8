#include "FuzzReplay.h"

// The model run of CatalogueViewFuzz.cpp.
bool CatalogueViewAttaches(const uint8_t* data, size_t size);

// An answer is accepted when the model takes an entry from it.
bool ReaderAccepts(const uint8_t* data, size_t size)
{
	return CatalogueViewAttaches(data, size);
}
