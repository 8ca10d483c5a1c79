#include "viewer/browser/picture_viewer/BltInFormView.h"

#include "viewer/browser/picture_viewer/BltInBmpBtn.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/picture_viewer/BltInImageWnd.h"
#include "viewer/browser/picture_viewer/BltInViewerThread.h"
#include "viewer/browser/picture_viewer/ViewerTexts.h"
#include "viewer/art/ProgramArt.h"
#include "viewer/shell/common/HelpRequest.h"
#include "viewer/shell/ui/WaitMsgDlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

constexpr int kBar = 16;
constexpr uint32_t kFormHelpId = 176;   // the form's own help when no button is lit
constexpr int kButton = 28;

enum : uint32_t {
    kTextRotateLeft = 62580,
    kTextRotateRight = 62581,
    kTextZoomOut = 62582,
    kTextZoomIn = 62583,
    kTextRotating = 62235,
    kMsgRotateFailed = 61649,
};

ScrollRequest RequestOf(int action) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub: return ScrollRequest::LineBack;
        case QAbstractSlider::SliderSingleStepAdd: return ScrollRequest::LineForward;
        case QAbstractSlider::SliderPageStepSub: return ScrollRequest::PageBack;
        case QAbstractSlider::SliderPageStepAdd: return ScrollRequest::PageForward;
        case QAbstractSlider::SliderToMinimum: return ScrollRequest::Top;
        case QAbstractSlider::SliderToMaximum: return ScrollRequest::Bottom;
        default: return ScrollRequest::ThumbTrack;
    }
}

}  // namespace

CBltInFormView::CBltInFormView(CBltInFrameWnd* frame, int32_t startZoom)
    : QWidget(frame), frame_(frame), zoom_(ZoomState::At(startZoom)) {
    setFocusPolicy(Qt::StrongFocus);
    pane_ = new CBltInImageWnd(this);
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {hbar_, vbar_}) {
        const bool vertical = bar == vbar_;
        bar->setEnabled(false);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, vertical](int action) { OnBar(vertical, action); });
    }
    zoomOut_ = MakeButton(kCtlZoomOut, 3, kTextZoomOut, "-");
    zoomIn_ = MakeButton(kCtlZoomIn, 2, kTextZoomIn, "+");
    rotateRight_ = MakeButton(kCtlRotateRight, 1, kTextRotateRight, "R");
    rotateLeft_ = MakeButton(kCtlRotateLeft, 0, kTextRotateLeft, "L");
    connect(zoomOut_, &QToolButton::clicked, this, [this] { ZoomOut(); });
    connect(zoomIn_, &QToolButton::clicked, this, [this] { ZoomIn(); });
    connect(rotateRight_, &QToolButton::clicked, this, [this] { Rotate(true); });
    connect(rotateLeft_, &QToolButton::clicked, this, [this] { Rotate(false); });
    // Both rotate buttons wait for the end of the browser's long operation.
    EnableRotate(false);
    UpdateZoomButtons();
}

CBltInFormView::~CBltInFormView() { painting_.store(false); }

CBltInBmpBtn* CBltInFormView::MakeButton(int32_t id, int32_t set, uint32_t statusText, const char* glyph) {
    auto* button = new CBltInBmpBtn(id, set, statusText, this);
    button->setObjectName(QString::number(id));
    button->setAccessibleName(QString::fromLatin1(glyph));
    button->setToolTip(ViewerText(uint32_t(id)));
    button->SetStatusSink([this](uint32_t text) { frame_->SetStatusText(text); });
    return button;
}

void CBltInFormView::SetPicture(const PictureRecord* record, int32_t turns) {
    record_ = record;
    turns_ = turns;
}

bool CBltInFormView::ZoomInButtonEnabled() const { return zoomIn_->isEnabled(); }
bool CBltInFormView::ZoomOutButtonEnabled() const { return zoomOut_->isEnabled(); }
bool CBltInFormView::RotateEnabled() const { return rotateRight_->isEnabled(); }
bool CBltInFormView::ScrollBarEnabled() const { return hbar_->isEnabled() || vbar_->isEnabled(); }

void CBltInFormView::EnableRotate(bool enabled) {
    rotateRight_->setEnabled(enabled);
    rotateLeft_->setEnabled(enabled);
}

void CBltInFormView::UnhighlightButtons() {
    for (CBltInBmpBtn* b : {zoomOut_, zoomIn_, rotateRight_, rotateLeft_}) b->Unhighlight();
}

void CBltInFormView::UpdateZoomButtons() {
    zoomIn_->setEnabled(zoom_.zoomInAllowed);
    zoomOut_->setEnabled(zoom_.zoomOutAllowed);
}

void CBltInFormView::ZoomIn() {
    if (!zoom_.ZoomIn()) return;
    UpdateZoomButtons();
    DoLayout(false);
    pane_->update();
    frame_->UpdatePanes();
}

void CBltInFormView::ZoomOut() {
    if (!zoom_.ZoomOut()) return;
    UpdateZoomButtons();
    DoLayout(false);
    pane_->update();
    frame_->UpdatePanes();
}

void CBltInFormView::PlaceChildren() {
    const int w = width();
    const int h = height();
    const int paneW = std::max(1, w - kBar - kButton);
    const int paneH = std::max(1, h - kBar - kButton);
    pane_->setGeometry(0, 0, paneW, paneH);
    hbar_->setGeometry(0, paneH, paneW, kBar);
    vbar_->setGeometry(paneW, 0, kBar, paneH);
    int x = 4;
    for (CBltInBmpBtn* b : {rotateLeft_, rotateRight_, zoomOut_, zoomIn_}) {
        b->setGeometry(x, paneH + kBar + 2, kButton - 4, kButton - 4);
        x += kButton;
    }
}

void CBltInFormView::SetBar(QScrollBar* bar, const AxisLayout& axis) {
    bar->setRange(0, std::max(0, axis.barMaximum));
    bar->setPageStep(std::max(1, axis.zoomedSize - axis.barMaximum));
    bar->setValue(axis.barPosition);
    bar->setEnabled(axis.enabled);
}

void CBltInFormView::DoLayout(bool forced) {
    if (!record_ || !pane_) return;
    ViewerLayout next;
    if (!ComputeLayout(*record_, zoom_.zoom, pane_->width(), pane_->height(), forced, layout_, &next)) return;
    layout_ = next;
    settingBars_ = true;
    SetBar(hbar_, layout_.horizontal);
    SetBar(vbar_, layout_.vertical);
    settingBars_ = false;
    pane_->SetDragScroll(layout_.dragScroll);
    pane_->SetOrigin(layout_.horizontal.position, layout_.vertical.position);
}

void CBltInFormView::Scroll(bool vertical, ScrollRequest request, int32_t thumb) {
    QScrollBar* bar = vertical ? vbar_ : hbar_;
    AxisLayout& axis = vertical ? layout_.vertical : layout_.horizontal;
    if (!bar->isEnabled()) return;
    const int32_t current = axis.position;
    const int32_t next = ScrollTarget(request, vertical, current, thumb, pane_->height(), axis.barMaximum);
    if (next == current) return;
    axis.position = next;
    axis.barPosition = next;
    settingBars_ = true;
    bar->setValue(next);
    settingBars_ = false;
    pane_->ScrollTo(layout_.horizontal.position, layout_.vertical.position);
}

void CBltInFormView::OnBar(bool vertical, int action) {
    if (settingBars_) return;
    QScrollBar* bar = vertical ? vbar_ : hbar_;
    const int32_t thumb = bar->sliderPosition();
    const AxisLayout& axis = vertical ? layout_.vertical : layout_.horizontal;
    // The bar moves itself; the form decides where it ends.
    QMetaObject::invokeMethod(this, [this, vertical, action, thumb, was = axis.position] {
        QScrollBar* b = vertical ? vbar_ : hbar_;
        settingBars_ = true;
        b->setValue(was);
        settingBars_ = false;
        Scroll(vertical, RequestOf(action), thumb);
    }, Qt::QueuedConnection);
}

void CBltInFormView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceChildren();
    DoLayout(false);
}

void CBltInFormView::wheelEvent(QWheelEvent* event) {
    if (!vbar_->isEnabled()) return;
    Scroll(true, event->angleDelta().y() < 0 ? ScrollRequest::LineForward : ScrollRequest::LineBack);
}

void CBltInFormView::ModesForKeys(Qt::KeyboardModifiers modifiers) {
    const bool control = modifiers & Qt::ControlModifier;
    const bool alt = modifiers & Qt::AltModifier;
    const bool overPane = pane_->underMouse();
    if (control && !alt && overPane) {
        pane_->SetZoomModes(zoom_.zoomInAllowed, false);
        pane_->ApplyCursor(zoom_.zoomInAllowed ? PaneCursor::ZoomIn : PaneCursor::NoZoom);
    } else if (alt && !control && overPane) {
        pane_->SetZoomModes(false, zoom_.zoomOutAllowed);
        pane_->ApplyCursor(zoom_.zoomOutAllowed ? PaneCursor::ZoomOut : PaneCursor::NoZoom);
    } else {
        pane_->SetZoomModes(false, false);
        if (!control && !alt) {
            const bool held = QGuiApplication::mouseButtons() & Qt::LeftButton;
            pane_->ApplyCursor(!ScrollBarEnabled() ? PaneCursor::Arrow
                                                   : held ? PaneCursor::ClosedHand : PaneCursor::OpenHand);
        }
    }
}

void CBltInFormView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_PageUp: Scroll(true, ScrollRequest::PageBack); return;
        case Qt::Key_PageDown: Scroll(true, ScrollRequest::PageForward); return;
        case Qt::Key_F1: RequestHelp(HelpControlId()); return;
        default: break;
    }
    ModesForKeys(event->modifiers());
    QWidget::keyPressEvent(event);
}

void CBltInFormView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintViewerArt(painter, rect(), kButton);
}

uint32_t CBltInFormView::HelpControlId() const {
    for (CBltInBmpBtn* b : {zoomOut_, zoomIn_, rotateRight_, rotateLeft_})
        if (b->Highlighted()) return static_cast<uint32_t>(b->ControlId());
    return kFormHelpId;
}

void CBltInFormView::keyReleaseEvent(QKeyEvent* event) {
    ModesForKeys(event->modifiers());
    QWidget::keyReleaseEvent(event);
}

void CBltInFormView::Rotate(bool clockwise) {
    if (!RotateEnabled() || !record_) return;
    const BltInFrameServices& services = frame_->Services();
    if (!services.access) return;
    const int32_t turns = NextQuarterTurns(turns_, clockwise);
    if (services.stopReaders) services.stopReaders();
    // The frame may be closed while the wait runs (the browser closes its
    // viewers when the card goes): the dialog is the frame's child on the heap,
    // and nothing of the form is touched once it is gone.
    const std::function<void()> endLongOperation = services.endLongOperation;
    QPointer<CBltInFormView> alive(this);
    QPointer<CWaitMsgDlg> wait = new CWaitMsgDlg(0, ViewerText(kTextRotating).toStdString(), false, frame_);
    CBltInRotateThread job(services.access, frame_->Title(), turns, wait->handle());
    bool ok = false;
    if (job.Start()) {
        ok = wait->DoModal() == QDialog::Accepted;
        job.Join();
    }
    delete wait.data();
    if (!alive || !isVisible()) {
        if (endLongOperation) endLongOperation();
        return;
    }
    std::unique_ptr<PictureRecord> picture = job.TakePicture();
    const int32_t result = job.Result();
    if (endLongOperation) endLongOperation();
    if (ok && result == 0 && picture) {
        frame_->SwapPicture(std::move(picture), turns);
        return;
    }
    if ((result == kViewerNoLibrary || result == kViewerLibraryFails) && services.libraryResult)
        services.libraryResult(result == kViewerNoLibrary ? 4 : 3);
    if (services.errorBox) services.errorBox(kMsgRotateFailed);
    if (frame_->isVisible()) frame_->close();
}
