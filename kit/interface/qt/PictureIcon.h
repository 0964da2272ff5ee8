#pragma once

// A picture as an icon, drawn at the display's pixel ratio so that it stays
// sharp on a scaled screen; its logical size is the picture's. A picture
// that draws nothing gives a null icon. Icons are kept by the picture's
// drawing, so showing one picture many times draws it once. Main thread.

#include <QIcon>

class BPicture;

namespace MorvaneKit {

QIcon PictureIcon(const BPicture& picture);

}	// namespace MorvaneKit
