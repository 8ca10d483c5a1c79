#pragma once
// Dragging pictures out of a window as files: a copy-only drag whose data are
// the files' URLs (see FileDragData).
#include "platform/shell/FileDragData.h"

#include <QPixmap>

#include <cstdint>
#include <filesystem>
#include <vector>

class QWidget;

namespace plat {

enum class DragResult : int32_t {
    Dropped = 0,  // a target took the files (copy)
    Cancelled,    // let go over no target, Escape, or refused
    NoFiles,      // nothing to drag
};

// Starts the drag from `source` (UI thread; returns when the drag ends). The
// data object (paths or a provider) is taken over.
DragResult dragFilesOut(QWidget* source, FileDragData* data, const QPixmap& pixmap = {});
DragResult dragFilesOut(QWidget* source, const std::vector<std::filesystem::path>& paths, const QPixmap& pixmap = {});

// Tests: the next drag shows nothing and ends with `result`; a scripted drop
// reads the files as a drop target would.
void scriptNextDrag(DragResult result);

}  // namespace plat
