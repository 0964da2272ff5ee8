#pragma once

// BPicture: drawing recorded by a view (BeginPicture() ... EndPicture()) and
// drawn again with DrawPicture(), as picture buttons show their icons.

#include <memory>

#include <interface/Rect.h>

class QPicture;

class BPicture {
public:
	BPicture();
	BPicture(const BPicture& other);
	~BPicture();
	BPicture& operator=(const BPicture& other);

	// The rectangle the recorded drawing covers.
	BRect Bounds() const;
	QPicture* Recording() const { return fRecording.get(); }

private:
	std::unique_ptr<QPicture> fRecording;
};
