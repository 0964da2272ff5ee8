#include "PictureIcon.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>
#include <QPicture>
#include <QPixmap>

#include <interface/Picture.h>

namespace MorvaneKit {

QIcon PictureIcon(const BPicture& picture)
{
	QRect bounds = picture.Recording()->boundingRect();
	if (bounds.isEmpty())
		return QIcon();
	qreal ratio = std::max<qreal>(1, qApp != nullptr ? qApp->devicePixelRatio() : 1);
	QPixmap pixmap(QSize(int(bounds.width() * ratio + 0.5), int(bounds.height() * ratio + 0.5)));
	pixmap.setDevicePixelRatio(ratio);
	pixmap.fill(Qt::transparent);
	{
		QPainter painter(&pixmap);
		painter.setRenderHint(QPainter::Antialiasing, true);
		painter.drawPicture(QPointF(-bounds.left(), -bounds.top()), *picture.Recording());
	}
	return QIcon(pixmap);
}

}	// namespace MorvaneKit
