#include "viewer/browser/view/ThumbPaneWnd.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "platform/gdi/Surface.h"

namespace {

const QColor kUnfocused(227, 230, 240);
const QColor kFocused(233, 227, 240);

}  // namespace

CThumbPaneWnd::CThumbPaneWnd(BrowserViewModel& model, BitmapSource bitmaps, PaneActions actions, QWidget* parent)
    : QWidget(parent),
      model_(model),
      bitmaps_(std::move(bitmaps)),
      actions_(std::move(actions)),
      selection_(model.Items(), model.ThumbSize()) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    // While the rubber band is held above or below the pane, the pane keeps
    // scrolling and the band keeps growing without the mouse moving.
    autoScroll_ = new QTimer(this);
    autoScroll_->setInterval(100);
    connect(autoScroll_, &QTimer::timeout, this, [this] { AutoScrollStep(); });
}

int32_t CThumbPaneWnd::ContentBottom() const {
    std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
    const int32_t count = static_cast<int32_t>(model_.Items().size());
    if (count == 0) return 15;
    const GridCell last = CellForIndex(count - 1, width(), model_.ThumbSize());
    return std::max<int32_t>(15, ItemRect(last.left, last.top, model_.ThumbSize()).bottom);
}

void CThumbPaneWnd::AutoScrollStep() {
    if (!pressed_ || !band_) {
        autoScroll_->stop();
        return;
    }
    const int32_t bottom = std::clamp(bandRect_.bottom + autoStep_, 15, std::max<int32_t>(15, ContentBottom()));
    if (bottom == bandRect_.bottom) return;
    previousBand_ = bandRect_;
    bandRect_.bottom = bottom;
    if (actions_.scrollBy) actions_.scrollBy(autoStep_);
    update();
}

void CThumbPaneWnd::ResetPane(bool clearAnchor) {
    offsetY_ = 15;
    if (clearAnchor) selection_.ClearAnchor();
    update();
}

void CThumbPaneWnd::SetScrollOffset(int32_t offset) {
    offsetY_ = offset;
    update();
}

void CThumbPaneWnd::SetFocusedLook(bool focused) {
    focused_ = focused;
    update();
}

void CThumbPaneWnd::RepaintItem(size_t index) {
    std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
    if (index >= model_.Items().size()) return;
    const ItemCell& c = model_.Items().cell(index);
    const GridRect r = ItemRect(c.left, c.top, model_.ThumbSize());
    update(QRect(r.left, r.top - offsetY_, r.right - r.left, r.bottom - r.top));
}

void CThumbPaneWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), focused_ ? kFocused : kUnfocused);
    ThumbPaneView view;
    view.thumbSize = model_.ThumbSize();
    view.paneActive = focused_;
    view.scrollY = offsetY_;
    view.clientWidth = width();
    view.clientHeight = height();
    std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
    const BrowserItems& items = model_.Items();
    if (items.empty()) return;
    for (size_t i = 0; i < items.size(); ++i) {
        const ItemCell& c = items.cell(i);
        ThumbPaneItem item;
        item.record = items.item(i).record.get();
        item.name = items.item(i).fileName;
        item.path = items.item(i).fileName;   // the name gives the type's icon
        item.cellX = c.left;
        item.cellY = c.top;
        item.pictureX = c.pictureX;
        item.pictureY = c.pictureY;
        item.selected = items.item(i).selected;
        item.loaded = c.placed;
        item.fileExists = true;
        view.items.push_back(std::move(item));
    }
    plat::gdi::Surface surface(&painter, plat::gdi::PageMetrics{width(), height()});
    PaintThumbCell(surface, view, bitmaps_);
    if (pressed_ && band_) PaintBand(painter);
}

void CThumbPaneWnd::PaintBand(QPainter& painter) const {
    const QRect band = BandOnScreen();
    if (band.width() < 1 && band.height() < 1) return;
    painter.save();
    painter.setBrush(QColor(47, 111, 224, 48));
    painter.setPen(QPen(QColor(47, 111, 224), 1, Qt::DotLine));
    painter.drawRect(band.adjusted(0, 0, -1, -1));
    painter.restore();
}

QRect CThumbPaneWnd::BandOnScreen() const {
    const QRect content = QRect(QPoint(bandRect_.left, bandRect_.top), QPoint(bandRect_.right, bandRect_.bottom)).normalized();
    return content.translated(0, -offsetY_);
}

void CThumbPaneWnd::SelectionDone() {
    std::vector<size_t> changed = selection_.Changed();
    selection_.ClearChanged();
    for (size_t i : changed) RepaintItem(i);
    model_.RecountSelection(true);
    if (actions_.selectionChanged) actions_.selectionChanged();
}

void CThumbPaneWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !model_.RunActive() || model_.Items().empty()) return;
    setFocus(Qt::MouseFocusReason);
    selection_.SetThumbSize(model_.ThumbSize());
    pressed_ = true;
    pressPoint_ = ContentPoint(event->position().toPoint());
    bandRect_ = previousBand_ = GridRect{pressPoint_.x(), pressPoint_.y(), pressPoint_.x(), pressPoint_.y()};
    std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
    pressedItem_ = selection_.HitTest(pressPoint_.x(), pressPoint_.y());
    band_ = pressedItem_ < 0;
    pressedOnSelected_ = false;
    if (band_) return;
    const Qt::KeyboardModifiers mods = event->modifiers();
    pressedOnSelected_ = selection_.Press(pressedItem_, mods & Qt::ShiftModifier, mods & Qt::ControlModifier);
    std::vector<size_t> changed = selection_.Changed();
    selection_.ClearChanged();
    for (size_t i : changed) RepaintItem(i);
}

void CThumbPaneWnd::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint p = ContentPoint(event->position().toPoint());
    if (band_) {
        previousBand_ = bandRect_;
        const int32_t y = std::clamp(p.y(), 15, std::max<int32_t>(15, offsetY_ + height()));
        bandRect_ = GridRect{pressPoint_.x(), pressPoint_.y(), std::clamp(p.x(), 0, width()), y};
        // Above or below the pane the band's edge moves on by itself, 30 pixels a tick.
        autoStep_ = event->position().y() < 0 ? -30 : event->position().y() > height() ? 30 : 0;
        if (autoStep_ == 0)
            autoScroll_->stop();
        else if (!autoScroll_->isActive())
            autoScroll_->start();
        update();
        return;
    }
    if (pressedOnSelected_ && p != pressPoint_) {
        pressed_ = false;
        pressedOnSelected_ = false;
        if (model_.Idle() && actions_.dragOut)
            actions_.dragOut();
        else
            SelectionDone();
    }
}

void CThumbPaneWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        RightButtonUp(event->position().toPoint(), event->modifiers() & Qt::ControlModifier,
                      event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    if (!model_.RunActive()) return;
    {
        std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
        const Qt::KeyboardModifiers mods = event->modifiers();
        if (band_)
            selection_.ReleaseBand(bandRect_, previousBand_, mods & Qt::ShiftModifier, mods & Qt::ControlModifier);
        else if (pressedOnSelected_)
            selection_.ReleaseOnSelected(pressedItem_);
    }
    band_ = false;
    autoScroll_->stop();
    pressedOnSelected_ = false;
    update();
    SelectionDone();
}

void CThumbPaneWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = ContentPoint(event->position().toPoint());
    std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
    if (selection_.HitTest(p.x(), p.y()) >= 0 && actions_.openViewer) actions_.openViewer();
}

void CThumbPaneWnd::RightButtonUp(QPoint at, bool ctrl, QPoint global) {
    if (!model_.RunActive()) return;
    setFocus(Qt::MouseFocusReason);
    {
        std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
        selection_.SetThumbSize(model_.ThumbSize());
        const QPoint p = ContentPoint(at);
        selection_.RightClick(selection_.HitTest(p.x(), p.y()), ctrl);
    }
    SelectionDone();
    if (actions_.contextMenu) actions_.contextMenu(global);
}

int32_t CThumbPaneWnd::SelectByMark(bool transferMark, bool on) {
    int32_t n = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
        n = selection_.SelectWhere([transferMark, on](const PictureRecord& r) {
            return ((transferMark ? r.transferMarked : r.protect) != 0) == on;
        });
    }
    SelectionDone();
    return n;
}

void CThumbPaneWnd::SelectAll() {
    {
        std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
        selection_.SelectAll();
    }
    SelectionDone();
}

void CThumbPaneWnd::KeepCurrentVisible() {
    const int32_t current = selection_.Current();
    if (current < 0 || static_cast<size_t>(current) >= model_.Items().size()) return;
    const int32_t top = model_.Items().cell(static_cast<size_t>(current)).top;
    const int32_t bottom = top + model_.ThumbSize() + 32;
    int32_t delta = 0;
    if (top < offsetY_)
        delta = (top - 15) - offsetY_;
    else if (bottom > offsetY_ + height())
        delta = bottom - (offsetY_ + height());
    if (delta != 0 && actions_.scrollBy) actions_.scrollBy(delta);
}

void CThumbPaneWnd::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (model_.Idle() && actions_.openViewer) actions_.openViewer();
        return;
    case Qt::Key_Delete:
        if (model_.Idle() && actions_.deleteSelected) actions_.deleteSelected();
        return;
    case Qt::Key_A:
        if (event->modifiers() & Qt::ControlModifier) SelectAll();
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (actions_.scrollBy) actions_.scrollBy(event->key() == Qt::Key_PageUp ? -height() : height());
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (band_) return;
        static const std::pair<int, PaneSelection::Arrow> arrows[] = {
            {Qt::Key_Left, PaneSelection::Arrow::Left}, {Qt::Key_Right, PaneSelection::Arrow::Right},
            {Qt::Key_Up, PaneSelection::Arrow::Up}, {Qt::Key_Down, PaneSelection::Arrow::Down}};
        {
            std::lock_guard<std::recursive_mutex> lock(model_.ItemLock());
            selection_.SetThumbSize(model_.ThumbSize());
            for (const auto& [key, arrow] : arrows)
                if (key == event->key()) selection_.MoveCurrent(arrow, shift);
            KeepCurrentVisible();
        }
        SelectionDone();
        return;
    }
    default:
        QWidget::keyPressEvent(event);
    }
}

void CThumbPaneWnd::focusInEvent(QFocusEvent* event) {
    SetFocusedLook(true);
    QWidget::focusInEvent(event);
}

void CThumbPaneWnd::focusOutEvent(QFocusEvent* event) {
    SetFocusedLook(false);
    QWidget::focusOutEvent(event);
}
