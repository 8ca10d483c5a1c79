#include "platform/shell/FileDrag.h"

#include <QDrag>
#include <QWidget>

#include <atomic>
#include <memory>

namespace plat {

namespace {

// -1: no script; else the DragResult of the next drag.
std::atomic<int32_t> g_scripted{-1};

}  // namespace

void scriptNextDrag(DragResult result) { g_scripted = static_cast<int32_t>(result); }

DragResult dragFilesOut(QWidget* source, FileDragData* data, const QPixmap& pixmap) {
    std::unique_ptr<FileDragData> owned(data);
    if (!owned || !source) return DragResult::NoFiles;
    const int32_t scripted = g_scripted.exchange(-1);
    if (scripted >= 0) {
        const auto result = static_cast<DragResult>(scripted);
        if (result == DragResult::Dropped && owned->urls().isEmpty()) return DragResult::NoFiles;
        return result;
    }
    auto* drag = new QDrag(source);
    drag->setMimeData(owned.release());
    if (!pixmap.isNull()) drag->setPixmap(pixmap);
    const Qt::DropAction action = drag->exec(Qt::CopyAction, Qt::CopyAction);
    drag->deleteLater();
    return action == Qt::CopyAction ? DragResult::Dropped : DragResult::Cancelled;
}

DragResult dragFilesOut(QWidget* source, const std::vector<std::filesystem::path>& paths, const QPixmap& pixmap) {
    if (fileUrlsOf(paths).isEmpty()) return DragResult::NoFiles;
    return dragFilesOut(source, new FileDragData(paths), pixmap);
}

}  // namespace plat
