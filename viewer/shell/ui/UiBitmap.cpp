#include "viewer/shell/ui/UiBitmap.h"

#include <QColor>
#include <QPainter>

#include <cstdlib>

QPixmap UiBitmap(uint32_t id, int width, int height)
{
    if (id == 0)
        return {};
    if (const char* dir = std::getenv("LUMORA_ART_DIR")) {
        QPixmap file(QString::fromUtf8(dir) + "/" + QString::number(id) + ".png");
        if (!file.isNull())
            return file;
    }
    QPixmap pixmap(width > 0 ? width : 1, height > 0 ? height : 1);
    pixmap.fill(QColor::fromHsv(static_cast<int>((id * 47) % 360), 90, 200));
    QPainter painter(&pixmap);
    painter.setPen(QColor(60, 60, 60));
    painter.drawRect(0, 0, pixmap.width() - 1, pixmap.height() - 1);
    return pixmap;
}
