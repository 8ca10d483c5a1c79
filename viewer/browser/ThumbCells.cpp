#include "viewer/browser/ThumbCells.h"

#include "viewer/shell/common/ViewTables.h"

#include "platform/gdi/Dib.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QStyle>

#include <cstdlib>

namespace {

bool Meets(int32_t x, int32_t y, int32_t side, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return x < right && left < x + side && y < bottom && top < y + side;
}

void Blit(plat::gdi::Surface& dc, const BitmapSource& bitmaps, uint32_t id, int32_t x, int32_t y) {
    const std::vector<uint8_t>* dib = bitmaps ? bitmaps(id) : nullptr;
    plat::gdi::DibHeader h;
    if (!dib || !plat::gdi::readDibHeader(dib->data(), dib->size(), &h)) return;
    dc.stretchDib(x, y, h.width, h.height, dib->data(), dib->size());
}

}  // namespace

QImage GetFileTypeIcon(const std::string& path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path));
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    // a desktop without an icon theme: the style's plain file icon, so that a
    // picture without a thumbnail still shows it is there
    if (icon.isNull())
        if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
            icon = app->style()->standardIcon(QStyle::SP_FileIcon);
    if (icon.isNull()) return {};
    return icon.pixmap(kIconSize, kIconSize).toImage();
}

std::string ThumbCellName(const std::string& name, int32_t thumbSize) {
    if (thumbSize == 64 && name.size() > 4) return name.substr(0, name.size() - 4);
    return name;
}

int32_t PaintThumbCell(plat::gdi::Surface& dc, const ThumbPaneView& view, const BitmapSource& bitmaps,
                       const LangTextFn& text) {
    if (view.items.empty()) return 0;
    const int32_t left = view.scrollX, top = view.scrollY;
    const int32_t right = left + view.clientWidth, bottom = top + view.clientHeight - 30;
    const BitmapIdPair frames = GetThumbFrameBitmapIds(view.thumbSize, view.paneActive ? 1 : 0);
    const uint32_t marks[3] = {view.paneActive ? 458u : 457u, view.paneActive ? 460u : 459u,
                               view.paneActive ? 456u : 455u};
    const int32_t points = std::atoi(text(62202).c_str());
    dc.setFont(text(62201), dc.pointsToUnits(points > 0 ? points : 9));
    const int32_t side = ThumbSizeToCellSize(view.thumbSize);
    for (const ThumbPaneItem& item : view.items) {
        if (!item.loaded) break;
        if (!Meets(item.cellX, item.cellY, side, left, top, right, bottom)) continue;
        const int32_t cx = item.cellX - view.scrollX, cy = item.cellY - view.scrollY;
        Blit(dc, bitmaps, uint32_t(item.selected ? frames.selected : frames.normal), cx, cy);
        const PictureRecord* r = item.record;
        if (r && !r->blocks.empty()) {
            const BitmapRecord& tile = r->blocks.front();
            dc.stretchDib(item.pictureX - view.scrollX, item.pictureY - view.scrollY, int32_t(r->width),
                          int32_t(r->height), tile.block.data(), tile.block.size());
        } else if (item.fileExists) {
            const QImage icon = GetFileTypeIcon(item.path);
            if (!icon.isNull()) dc.drawImage(cx + (side - kIconSize) / 2, cy + (side - kIconSize) / 2, icon);
        }
        const std::string name = ThumbCellName(item.name, view.thumbSize);
        if (view.thumbSize > 96 && r) {
            const int32_t flags[3] = {r->movie, r->protect, r->transferMarked};
            for (int i = 0; i < 3; ++i)
                if (flags[i]) Blit(dc, bitmaps, marks[i], cx + i * kMarkSize, cy + side + 2);
            dc.textOut(cx + 39 + (side - 39) / 2 - dc.textWidth(name) / 2, cy + side + 4, name);
        } else {
            dc.textOut(cx + side / 2 - dc.textWidth(name) / 2, cy + side + 4, name);
        }
    }
    return 1;
}
