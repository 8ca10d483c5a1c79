#pragma once
// The thumbnail pane: paints the view's items in their grid cells and turns
// mouse and keys into selections (PaneSelection). What a selection leads to
// (information text, buttons, opening, deleting, the context menu) goes back to
// the view through PaneActions.
#include <QWidget>

class QPainter;
class QTimer;

#include <functional>

#include "viewer/browser/ThumbCells.h"
#include "viewer/browser/view/BrowserViewModel.h"
#include "viewer/browser/view/PaneSelection.h"

struct PaneActions {
    std::function<void()> selectionChanged;          // recount done; update the buttons
    std::function<void()> openViewer;                // double click, Enter
    std::function<void()> deleteSelected;            // Delete
    std::function<void(QPoint)> contextMenu;         // right button up, global position
    std::function<void()> dragOut;                   // press on a selection and move
    std::function<void(int32_t)> scrollBy;           // autoscroll and arrow keys: move the scroll bar
};

class CThumbPaneWnd : public QWidget {
public:
    CThumbPaneWnd(BrowserViewModel& model, BitmapSource bitmaps, PaneActions actions, QWidget* parent = nullptr);

    // New items: offset back to the top; with clearAnchor the anchor goes too.
    void ResetPane(bool clearAnchor);
    void SetScrollOffset(int32_t offset);
    int32_t ScrollOffset() const { return offsetY_; }
    void SetFocusedLook(bool focused);
    PaneSelection& Selection() { return selection_; }
    // Right button up at a point of the pane: the selection as a user expects
    // it, then the context menu at global.
    void RightButtonUp(QPoint at, bool ctrl, QPoint global);
    // Selects exactly the pictures with (on) or without the transfer mark or
    // the protect flag; their count.
    int32_t SelectByMark(bool transferMark, bool on);
    void RepaintItem(size_t index);
    void SelectAll();
    // The rubber band on the screen while it is dragged (empty otherwise).
    QRect BandOnScreen() const;
    bool BandShown() const { return pressed_ && band_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPoint ContentPoint(const QPoint& client) const { return client + QPoint(0, offsetY_); }
    void SelectionDone();
    void KeepCurrentVisible();
    void PaintBand(QPainter& painter) const;
    // The bottom of the last item's cell in content coordinates.
    int32_t ContentBottom() const;
    // One tick of the rubber band's autoscroll: the band's edge and the scroll bar move by the step.
    void AutoScrollStep();

    BrowserViewModel& model_;
    BitmapSource bitmaps_;
    PaneActions actions_;
    PaneSelection selection_;
    int32_t offsetY_ = 15;
    bool focused_ = false;
    bool pressed_ = false;
    bool band_ = false;
    bool pressedOnSelected_ = false;
    int32_t pressedItem_ = -1;
    QPoint pressPoint_;
    GridRect bandRect_;
    GridRect previousBand_;
    QTimer* autoScroll_ = nullptr;
    int32_t autoStep_ = 0;   // -30 above the pane, +30 below it
};
