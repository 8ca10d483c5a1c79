#include "viewer/browser/picture_viewer/BltInBmpBtn.h"

#include "viewer/shell/ui/UiBitmap.h"

#include <QEnterEvent>
#include <QPainter>

std::array<uint32_t, 4> BltInButtonPictures(int32_t bitmapSet) {
    // Turn left, turn right, zoom in, zoom out.
    static constexpr std::array<uint32_t, 4> kFirst = {505, 509, 517, 513};
    if (bitmapSet < 0 || bitmapSet > 3) return {};
    const uint32_t first = kFirst[static_cast<size_t>(bitmapSet)];
    return {first, first + 1, first + 2, first + 3};
}

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

uint32_t CBltInBmpBtn::ShownPicture() const {
    const std::array<uint32_t, 4> pictures = BltInButtonPictures(bitmapSet_);
    if (!isEnabled()) return pictures[3];
    if (isDown()) return pictures[2];
    return highlighted_ ? pictures[1] : pictures[0];
}

void CBltInBmpBtn::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), UiBitmap(ShownPicture(), width(), height()));
}
