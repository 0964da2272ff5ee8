#include "PictureIcon.h"

#include <algorithm>
#include <map>
#include <utility>

#include <QApplication>
#include <QByteArray>
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
	// Lists show the same few pictures on many rows: each is drawn once.
	static std::map<std::pair<QByteArray, qreal>, QIcon> drawn;
	QByteArray data(picture.Recording()->data(), int(picture.Recording()->size()));
	auto found = drawn.find({data, ratio});
	if (found != drawn.end())
		return found->second;
	if (drawn.size() >= 256)
		drawn.clear();
	QPixmap pixmap(QSize(int(bounds.width() * ratio + 0.5), int(bounds.height() * ratio + 0.5)));
	pixmap.setDevicePixelRatio(ratio);
	pixmap.fill(Qt::transparent);
	{
		QPainter painter(&pixmap);
		painter.setRenderHint(QPainter::Antialiasing, true);
		painter.drawPicture(QPointF(-bounds.left(), -bounds.top()), *picture.Recording());
	}
	QIcon icon(pixmap);
	drawn[{data, ratio}] = icon;
	return icon;
}

}	// namespace MorvaneKit
