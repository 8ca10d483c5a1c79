#include "viewer/shell/ui/UiBitmap.h"

#include "viewer/art/ProgramArt.h"

#include <QColor>

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
    const QImage art = ProgramPicture(id, QSize(width, height));
    if (!art.isNull())
        return QPixmap::fromImage(art);
    // An id without art stays visible as a neutral tile rather than a hole.
    QPixmap pixmap(width > 0 ? width : 1, height > 0 ? height : 1);
    pixmap.fill(QColor(214, 220, 236));
    return pixmap;
}
