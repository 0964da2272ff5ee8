#pragma once

// MVDirFilter: lets only folders and volumes through a file panel.

#include <interface/FilePanel.h>

class MVDirFilter : public BRefFilter {
public:
	bool Filter(const entry_ref* ref, BNode* node, struct stat* st,
		const char* mimeType) override;
};
