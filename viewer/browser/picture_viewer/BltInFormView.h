#pragma once
// The client of a viewer frame: the picture pane, two scroll bars, four tool
// buttons (turn left, turn right, zoom out, zoom in), keyboard zoom and
// scrolling, and turning the picture behind a wait dialog.
#include "viewer/browser/picture_viewer/ViewerGeometry.h"

#include <QWidget>

#include <atomic>
#include <cstdint>

class QScrollBar;
class CBltInBmpBtn;
class CBltInFrameWnd;
class CBltInImageWnd;
struct PictureRecord;

// Control ids of the form.
enum ViewerControl : int32_t {
    kCtlZoomOut = 1090,
    kCtlZoomIn = 1092,
    kCtlRotateRight = 1009,
    kCtlRotateLeft = 1015,
    kCtlPicture = 1100,
};

class CBltInFormView : public QWidget {
public:
    CBltInFormView(CBltInFrameWnd* frame, int32_t startZoom);
    ~CBltInFormView() override;

    // The picture shown (the frame owns it) and its quarter turns.
    void SetPicture(const PictureRecord* record, int32_t turns);
    const PictureRecord* Picture() const { return record_; }
    int32_t Turns() const { return turns_; }
    int32_t Zoom() const { return zoom_.zoom; }
    const ZoomState& ZoomFlags() const { return zoom_; }
    const ViewerLayout& Layout() const { return layout_; }

    // Painting stops at once when cleared (the pane tests it between tiles).
    void SetPaintingAllowed(bool allowed) { painting_.store(allowed); }
    const std::atomic<bool>& PaintingAllowed() const { return painting_; }

    void ZoomIn();
    void ZoomOut();
    void DoLayout(bool forced);
    void Scroll(bool vertical, ScrollRequest request, int32_t thumb = 0);
    // The rotate buttons follow the browser's long operations.
    void EnableRotate(bool enabled);
    bool RotateEnabled() const;
    void Rotate(bool clockwise);
    void UnhighlightButtons();
    bool ScrollBarEnabled() const;
    CBltInFrameWnd* Frame() const { return frame_; }
    CBltInImageWnd* Pane() const { return pane_; }
    bool ZoomInButtonEnabled() const;
    bool ZoomOutButtonEnabled() const;
    // What F1 asks help for: the lit button, else the form.
    uint32_t HelpControlId() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    CBltInBmpBtn* MakeButton(int32_t id, int32_t set, uint32_t statusText, const char* glyph);
    void OnBar(bool vertical, int action);
    void SetBar(QScrollBar* bar, const AxisLayout& axis);
    void UpdateZoomButtons();
    void ModesForKeys(Qt::KeyboardModifiers modifiers);
    void PlaceChildren();

    CBltInFrameWnd* frame_;
    CBltInImageWnd* pane_ = nullptr;
    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
    CBltInBmpBtn* zoomOut_ = nullptr;
    CBltInBmpBtn* zoomIn_ = nullptr;
    CBltInBmpBtn* rotateRight_ = nullptr;
    CBltInBmpBtn* rotateLeft_ = nullptr;
    const PictureRecord* record_ = nullptr;
    int32_t turns_ = 0;
    ZoomState zoom_;
    ViewerLayout layout_;
    std::atomic<bool> painting_{true};
    bool settingBars_ = false;
};
