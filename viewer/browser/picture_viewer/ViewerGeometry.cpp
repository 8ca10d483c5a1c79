#include "viewer/browser/picture_viewer/ViewerGeometry.h"

#include "viewer/browser/PictureDrawing.h"
#include "viewer/shell/common/ViewTables.h"
#include "viewer/sources/PictureRecords.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

int32_t Scaled(int32_t side, int32_t zoom) { return int32_t(int64_t(side) * zoom / 100); }

struct Extras {
    int32_t horizontal = 0;
    int32_t vertical = 0;
    int32_t status = 0;
};

Extras FrameExtras(const ScreenMetrics& m) {
    Extras e;
    e.status = std::abs(m.statusFontHeight) + 10;
    const int32_t border = m.frameWidth + m.borderWidth + 1;
    e.horizontal = 2 * border + 28;
    e.vertical = e.horizontal + e.status + m.captionHeight;
    return e;
}

void ClampFrameSize(FrameSize* f, const ScreenMetrics& m) {
    if (f->width < kViewerMinWidth) f->width = kViewerMinWidth;
    if (f->width >= m.screenWidth) {
        f->width = kViewerDefaultWidth;
        if (f->height >= m.screenHeight) f->maximize = true;
    }
    if (f->height < kViewerMinHeight) f->height = kViewerMinHeight;
    if (f->height > m.screenHeight) f->height = kViewerDefaultHeight;
}

// Keeps the pane's centre on the same picture point when the zoomed size changes.
int32_t CentredPosition(int32_t pane, int32_t oldPosition, int32_t oldSize, int32_t newSize, bool first) {
    if (first || oldSize <= 0) return 0;
    const int64_t centre = int64_t(pane / 2 + oldPosition) * newSize / oldSize;
    const int64_t pos = centre - pane / 2;
    return int32_t(std::clamp<int64_t>(pos, 0, std::max(0, newSize - pane)));
}

AxisLayout LayAxis(int32_t zoomed, int32_t oldZoomed, int32_t pane, const AxisLayout& prev, bool first) {
    AxisLayout a;
    a.zoomedSize = zoomed;
    a.barMaximum = zoomed - pane;
    if (zoomed >= pane) {
        a.enabled = true;
        a.position = CentredPosition(pane, prev.position, oldZoomed, zoomed, first);
        a.barPosition = a.position;
    } else {
        a.enabled = false;
        a.position = -((pane - zoomed) / 2);
        // A bar with no range before keeps position 0 (no division by zero).
        a.barPosition = prev.barMaximum > 0 && !first
                            ? int32_t(int64_t(prev.barPosition) * a.barMaximum / prev.barMaximum)
                            : 0;
    }
    return a;
}

}  // namespace

SideFit FitSide(int32_t pictureSide, int32_t room) {
    if (pictureSide <= room) return {100, pictureSide + 5};
    int32_t zoom = 100;
    for (;;) {
        const int32_t next = GetZoomStep(zoom, false);
        if (next <= 0) return {zoom, room + 5};
        zoom = next;
        const double scaled = double(pictureSide) * zoom / 100.0;
        if (scaled < room) return {zoom, int32_t(std::trunc(scaled)) + 5};
        if (zoom == kZoomMin) return {zoom, room + 5};
    }
}

FrameSize ComputeFrameSize(int32_t pictureWidth, int32_t pictureHeight, const ScreenMetrics& m) {
    const Extras e = FrameExtras(m);
    FrameSize f;
    f.statusHeight = e.status;
    const int32_t roomBelow = m.screenHeight - pictureHeight - e.vertical;
    const int32_t roomBeside = m.screenWidth - pictureWidth - e.horizontal;
    if (roomBelow >= roomBeside) {
        const SideFit fit = FitSide(pictureWidth, m.screenWidth - e.horizontal);
        f.startZoom = fit.zoom;
        f.width = fit.side + e.horizontal;
        f.height = e.vertical + Scaled(pictureHeight, fit.zoom) + 5;
    } else {
        const SideFit fit = FitSide(pictureHeight, m.screenHeight - e.vertical);
        f.startZoom = fit.zoom;
        f.height = fit.side + e.vertical;
        f.width = e.horizontal + Scaled(pictureWidth, fit.zoom) + 5;
    }
    ClampFrameSize(&f, m);
    return f;
}

ZoomState ZoomState::At(int32_t zoom) {
    ZoomState z;
    z.zoom = zoom;
    z.zoomOutAllowed = zoom > kZoomMin;
    z.zoomInAllowed = zoom < kZoomMax;
    return z;
}

bool ZoomState::ZoomIn() {
    const int32_t next = GetZoomStep(zoom, true);
    if (next <= 0 || !zoomInAllowed) return false;
    zoom = next;
    zoomInAllowed = zoom < kZoomMax;
    zoomOutAllowed = true;
    return true;
}

bool ZoomState::ZoomOut() {
    const int32_t next = GetZoomStep(zoom, false);
    if (next <= 0 || !zoomOutAllowed) return false;
    zoom = next;
    zoomOutAllowed = zoom > kZoomMin;
    zoomInAllowed = true;
    return true;
}

bool ComputeLayout(const PictureRecord& record, int32_t zoom, int32_t paneWidth, int32_t paneHeight, bool forced,
                   const ViewerLayout& prev, ViewerLayout* next) {
    const double z = zoom / 100.0;
    const ScaledTiles now = ScaleTiles(record, z);
    const bool first = prev.zoomFactor == 0.0;
    ScaledTiles before;
    if (!first) before = ScaleTiles(record, prev.zoomFactor);
    if (!forced && !first && before.totalWidth == now.totalWidth && before.totalHeight == now.totalHeight &&
        prev.paneWidth == paneWidth && prev.paneHeight == paneHeight) {
        *next = prev;
        return false;
    }
    ViewerLayout l;
    l.zoomFactor = z;
    l.paneWidth = paneWidth;
    l.paneHeight = paneHeight;
    l.horizontal = LayAxis(now.totalWidth, before.totalWidth, paneWidth, prev.horizontal, first);
    l.vertical = LayAxis(now.totalHeight, before.totalHeight, paneHeight, prev.vertical, first);
    l.dragScroll = l.horizontal.enabled || l.vertical.enabled;
    *next = l;
    return true;
}

int32_t ScrollTarget(ScrollRequest request, bool vertical, int32_t current, int32_t thumb, int32_t pageSize,
                     int32_t maximum) {
    int32_t pos = current;
    const int32_t page = vertical ? pageSize : 100;
    switch (request) {
        case ScrollRequest::LineBack: pos = current - 10; break;
        case ScrollRequest::LineForward: pos = current + 10; break;
        case ScrollRequest::PageBack: pos = current - page; break;
        case ScrollRequest::PageForward: pos = current + page; break;
        case ScrollRequest::ThumbPosition:
        case ScrollRequest::ThumbTrack: pos = thumb; break;
        case ScrollRequest::Top: pos = 0; break;  // the first row or column must be reachable
        case ScrollRequest::Bottom: pos = maximum; break;
    }
    return std::clamp(pos, 0, std::max(0, maximum));
}

PaneCursor SetCursorFor(const PaneInput& in) {
    if (in.alt && in.zoomOutButtonEnabled) return PaneCursor::ZoomOut;
    if (in.control && in.zoomInButtonEnabled) return PaneCursor::ZoomIn;
    if (in.alt && !in.zoomOutAllowed) return PaneCursor::NoZoom;
    if (in.control) return in.zoomInAllowed ? PaneCursor::Arrow : PaneCursor::NoZoom;
    if (!in.scrollable) return PaneCursor::Arrow;
    return in.overCaption ? PaneCursor::Arrow : PaneCursor::OpenHand;
}

int32_t NextQuarterTurns(int32_t turns, bool clockwise) {
    return ((turns + (clockwise ? 1 : 3)) % 4 + 4) % 4;
}

bool SplitViewerTitle(std::string_view title, std::string* folder, std::string* file) {
    const size_t cut = title.find('\\');
    if (cut == std::string_view::npos || cut == 0 || cut + 1 >= title.size()) return false;
    *folder = std::string(title.substr(0, cut));
    *file = std::string(title.substr(cut + 1));
    return true;
}

std::string ViewerTitle(const std::string& folder, const std::string& file) { return folder + "\\" + file; }
