#include "viewer/browser/picture_viewer/BltInBmpBtn.h"

#include <QEnterEvent>

CBltInBmpBtn::CBltInBmpBtn(int32_t controlId, int32_t bitmapSet, uint32_t statusTextId, QWidget* parent)
    : QToolButton(parent), controlId_(controlId), bitmapSet_(bitmapSet), statusTextId_(statusTextId) {
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
}

void CBltInBmpBtn::Unhighlight() {
    if (!highlighted_) return;
    highlighted_ = false;
    update();
    if (statusSink_) statusSink_(0);
}

void CBltInBmpBtn::enterEvent(QEnterEvent* event) {
    QToolButton::enterEvent(event);
    highlighted_ = true;
    update();
    if (statusSink_) statusSink_(statusTextId_);
}

void CBltInBmpBtn::leaveEvent(QEvent* event) {
    QToolButton::leaveEvent(event);
    Unhighlight();
}
