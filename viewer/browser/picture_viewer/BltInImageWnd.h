#pragma once
// The pane of a viewer form in which the picture is drawn: panning by
// dragging, Control-click to zoom in, Alt-click to zoom out, a context menu.
#include "viewer/browser/picture_viewer/ViewerGeometry.h"

#include <QWidget>

class CBltInFormView;

class CBltInImageWnd : public QWidget {
public:
    explicit CBltInImageWnd(CBltInFormView* form);

    int32_t OriginX() const { return originX_; }
    int32_t OriginY() const { return originY_; }
    void SetOrigin(int32_t x, int32_t y);
    // Scrolls the contents to a new origin (drag) or along one axis (scroll bars).
    void ScrollTo(int32_t x, int32_t y);
    void SetDragScroll(bool on) { dragScroll_ = on; }
    bool DragScroll() const { return dragScroll_; }
    void SetZoomModes(bool zoomIn, bool zoomOut);
    bool ZoomInMode() const { return zoomInMode_; }
    bool ZoomOutMode() const { return zoomOutMode_; }
    void ApplyCursor(PaneCursor cursor);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void enterEvent(QEnterEvent* event) override;

private:
    PaneInput Input(Qt::KeyboardModifiers modifiers) const;
    void ShowContextMenu(const QPoint& at);

    CBltInFormView* form_;
    int32_t originX_ = 0;
    int32_t originY_ = 0;
    int32_t anchorX_ = 0;
    int32_t anchorY_ = 0;
    bool dragging_ = false;
    bool dragScroll_ = false;
    bool zoomInMode_ = false;
    bool zoomOutMode_ = false;
};
