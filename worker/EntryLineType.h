#pragma once

// The report line type that names an entry of a backup by its kind.

#include "ArchiveFormat.h"
#include "ReportLineType.h"

inline int32 EntryLineType(uint16 rawKind)
{
	switch (EntryKind(rawKind)) {
		case EntryKind::Directory:
			return kLineDirectory;
		case EntryKind::SymLink:
			return kLineSymLink;
		case EntryKind::VolumeRoot:
			return kLineVolumeRoot;
		case EntryKind::File:
			break;
	}
	return kLineFile;
}
