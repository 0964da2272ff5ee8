#pragma once

// Whether a catalogue read from a backup's catalogue record may become a
// catalogue file as it is: it records a program version, its entry arrays
// agree item by item, and every entry's path is absolute with no empty, "."
// or ".." component. A record that fails is not repaired; the insert builds
// the catalogue from the file headers instead.

#include "Catalogue.h"

[[nodiscard]] bool IsSoundCatalogueRecord(const Catalogue& catalogue);
