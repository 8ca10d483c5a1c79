#include "viewer/browser/picture_viewer/BltInImageWnd.h"

#include "platform/gdi/Surface.h"
#include "viewer/browser/PictureDrawing.h"
#include "viewer/browser/picture_viewer/BltInFormView.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/picture_viewer/ViewerTexts.h"
#include "viewer/sources/PictureRecords.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace {

enum PaneCommand : int32_t {
    kCmdClose = 32832,
    kCmdRotateRight = 32834,
    kCmdRotateLeft = 32835,
    kCmdZoomIn = 32836,
    kCmdZoomOut = 32837,
    kCmdPrint = 32838,
};

Qt::CursorShape ShapeOf(PaneCursor c) {
    switch (c) {
        case PaneCursor::OpenHand: return Qt::OpenHandCursor;
        case PaneCursor::ClosedHand: return Qt::ClosedHandCursor;
        case PaneCursor::NoZoom: return Qt::ForbiddenCursor;
        case PaneCursor::ZoomIn:
        case PaneCursor::ZoomOut: return Qt::CrossCursor;
        case PaneCursor::Arrow: break;
    }
    return Qt::ArrowCursor;
}

}  // namespace

CBltInImageWnd::CBltInImageWnd(CBltInFormView* form) : QWidget(form), form_(form) {
    setObjectName("picture");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CBltInImageWnd::SetOrigin(int32_t x, int32_t y) {
    originX_ = x;
    originY_ = y;
    update();
}

void CBltInImageWnd::ScrollTo(int32_t x, int32_t y) {
    const int32_t dx = originX_ - x;
    const int32_t dy = originY_ - y;
    originX_ = x;
    originY_ = y;
    if (dx || dy) scroll(dx, dy);
}

void CBltInImageWnd::SetZoomModes(bool zoomIn, bool zoomOut) {
    zoomInMode_ = zoomIn;
    zoomOutMode_ = zoomOut;
}

void CBltInImageWnd::ApplyCursor(PaneCursor cursor) { setCursor(ShapeOf(cursor)); }

PaneInput CBltInImageWnd::Input(Qt::KeyboardModifiers modifiers) const {
    PaneInput in;
    in.control = modifiers & Qt::ControlModifier;
    in.alt = modifiers & Qt::AltModifier;
    in.zoomInAllowed = form_->ZoomFlags().zoomInAllowed;
    in.zoomOutAllowed = form_->ZoomFlags().zoomOutAllowed;
    in.zoomInButtonEnabled = form_->ZoomInButtonEnabled();
    in.zoomOutButtonEnabled = form_->ZoomOutButtonEnabled();
    in.scrollable = form_->ScrollBarEnabled();
    return in;
}

void CBltInImageWnd::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    const PictureRecord* record = form_->Picture();
    if (!record || !form_->PaintingAllowed().load()) return;
    plat::gdi::PageMetrics metrics;
    metrics.width = width();
    metrics.height = height();
    plat::gdi::Surface surface(&painter, metrics);
    const QRect r = event->rect();
    const DrawRect clip{r.left() + originX_, r.top() + originY_, r.right() + 1 + originX_, r.bottom() + 1 + originY_};
    DrawPictureTiles(surface, *record, form_->PaintingAllowed(), clip, form_->Zoom() / 100.0, originX_, originY_);
}

void CBltInImageWnd::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    form_->UnhighlightButtons();
    ApplyCursor(SetCursorFor(Input(QGuiApplication::queryKeyboardModifiers())));
}

void CBltInImageWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const PaneInput in = Input(event->modifiers());
    if (!in.control && !in.alt && in.scrollable) {
        dragging_ = true;
        ApplyCursor(PaneCursor::ClosedHand);
        anchorX_ = originX_ + int32_t(event->position().x());
        anchorY_ = originY_ + int32_t(event->position().y());
        return;
    }
    ApplyCursor(SetCursorFor(in));
}

void CBltInImageWnd::mouseMoveEvent(QMouseEvent* event) {
    const PaneInput in = Input(event->modifiers());
    if (dragging_ && (event->buttons() & Qt::LeftButton) && in.scrollable && !in.control && !in.alt) {
        ApplyCursor(PaneCursor::ClosedHand);
        const int32_t x = anchorX_ - int32_t(event->position().x());
        const int32_t y = anchorY_ - int32_t(event->position().y());
        const ViewerLayout& l = form_->Layout();
        const int32_t nx = l.horizontal.enabled ? std::clamp(x, 0, std::max(0, l.horizontal.barMaximum)) : originX_;
        const int32_t ny = l.vertical.enabled ? std::clamp(y, 0, std::max(0, l.vertical.barMaximum)) : originY_;
        form_->Scroll(false, ScrollRequest::ThumbTrack, nx);
        form_->Scroll(true, ScrollRequest::ThumbTrack, ny);
        return;
    }
    if (!dragging_) ApplyCursor(SetCursorFor(in));
}

void CBltInImageWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    dragging_ = false;
    const PaneInput in = Input(event->modifiers());
    ApplyCursor(SetCursorFor(in));
    if (zoomOutMode_ && in.zoomOutAllowed && form_->Zoom() != kZoomMin) form_->ZoomOut();
    else if (zoomInMode_ && in.zoomInAllowed && form_->Zoom() != kZoomMax) form_->ZoomIn();
}

void CBltInImageWnd::contextMenuEvent(QContextMenuEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return;
    ShowContextMenu(event->globalPos());
}

void CBltInImageWnd::ShowContextMenu(const QPoint& at) {
    QMenu menu(this);
    auto add = [&](int32_t id, uint32_t textId) {
        QAction* a = menu.addAction(ViewerText(textId));
        a->setData(id);
        return a;
    };
    // Menu texts are the language texts of the command ids.
    add(kCmdClose, kCmdClose);
    menu.addSeparator();
    QAction* right = add(kCmdRotateRight, kCmdRotateRight);
    QAction* left = add(kCmdRotateLeft, kCmdRotateLeft);
    menu.addSeparator();
    QAction* in = add(kCmdZoomIn, kCmdZoomIn);
    QAction* out = add(kCmdZoomOut, kCmdZoomOut);
    menu.addSeparator();
    QAction* print = add(kCmdPrint, kCmdPrint);
    if (!form_->ZoomFlags().zoomOutAllowed) out->setEnabled(false);
    else if (!form_->ZoomFlags().zoomInAllowed) in->setEnabled(false);
    const bool rotate = form_->RotateEnabled();
    right->setEnabled(rotate);
    left->setEnabled(rotate);
    print->setEnabled(rotate);
    QAction* chosen = menu.exec(at);
    activateWindow();
    if (!chosen) return;
    CBltInFrameWnd* frame = form_->Frame();
    switch (chosen->data().toInt()) {
        case kCmdClose: QMetaObject::invokeMethod(frame, "close", Qt::QueuedConnection); break;
        case kCmdRotateRight: QMetaObject::invokeMethod(form_, [f = form_] { f->Rotate(true); }, Qt::QueuedConnection); break;
        case kCmdRotateLeft: QMetaObject::invokeMethod(form_, [f = form_] { f->Rotate(false); }, Qt::QueuedConnection); break;
        case kCmdZoomIn: form_->ZoomIn(); break;
        case kCmdZoomOut: form_->ZoomOut(); break;
        case kCmdPrint: frame->PrintPicture(); break;
        default: break;
    }
}
