#include "viewer/browser/picture_viewer/BltInFrameWnd.h"

#include "viewer/art/ProgramArt.h"
#include "viewer/shell/ui/BrowserStatusBar.h"

#include "viewer/browser/ImageBuffer.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/picture_viewer/BltInFormView.h"
#include "viewer/browser/picture_viewer/ViewerFrameList.h"
#include "viewer/browser/picture_viewer/ViewerJobs.h"
#include "viewer/browser/picture_viewer/ViewerTexts.h"
#include "platform/msg/Messages.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/PictureRecords.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>

namespace {

enum : uint32_t {
    kTextReady = 62417,
    kTextSizeBefore = 62574,
    kTextSizeBetween = 62575,
    kTextZoomBefore = 62576,
    kTextZoomAfter = 62577,
    kTextTurnBefore = 62578,
    kTextTurnAfter = 62579,
    kMsgPathFailed = 61644,
    kMsgGeneral = 61602,
};

ScreenMetrics SystemScreen(const QWidget* w) {
    ScreenMetrics m;
    const QFontMetrics font(QGuiApplication::font());
    m.statusFontHeight = font.height();
    const QStyle* style = w->style();
    m.captionHeight = style->pixelMetric(QStyle::PM_TitleBarHeight);
    m.frameWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    m.borderWidth = 1;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m.screenWidth = area.width();
        m.screenHeight = area.height();
    }
    return m;
}

constexpr uint32_t kSmallIcon = 132;

}  // namespace

CBltInFrameWnd::CBltInFrameWnd(std::unique_ptr<PictureRecord> record, const std::string& title,
                               BltInFrameServices services)
    : record_(std::move(record)), title_(title), services_(std::move(services)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromStdString(title_));
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return OnMessage(m, w, l); }, this);
    const ScreenMetrics screen = services_.screen ? services_.screen() : SystemScreen(this);
    size_ = ComputeFrameSize(int32_t(record_->width), int32_t(record_->height), screen);
    setMinimumSize(kViewerMinWidth, kViewerMinHeight);
    setWindowIcon(QIcon(QPixmap::fromImage(ProgramPicture(kSmallIcon))));

    // The status bar tells what it is for while the mouse is over it.
    auto* bar = new CBrowserStatusBar(this);
    bar->SetFrame(Handle());
    setStatusBar(bar);
    for (int i = 0; i < 4; ++i) {
        panes_[i] = new QLabel(this);
        panes_[i]->setObjectName(QString("pane%1").arg(i));
        if (i == 0) statusBar()->addWidget(panes_[i], 1);
        else statusBar()->addPermanentWidget(panes_[i]);
    }
    statusBar()->setMinimumHeight(size_.statusHeight);

    form_ = new CBltInFormView(this, size_.startZoom);
    form_->SetPicture(record_.get(), record_->rotation);
    form_->SetPaintingAllowed(true);
    setCentralWidget(form_);
    SetStatusText(0);
    UpdatePanes();
    resize(size_.width, size_.height);
    if (services_.frames) key_ = services_.frames->Register(title_, Handle());
}

CBltInFrameWnd::~CBltInFrameWnd() {
    if (services_.frames && key_) services_.frames->Unregister(key_);
    key_ = 0;
    if (form_) form_->SetPaintingAllowed(false);
}

void CBltInFrameWnd::closeEvent(QCloseEvent* event) {
    // Leaves the browser's list before the window goes, so no job finds it.
    if (services_.frames && key_) services_.frames->Unregister(key_);
    key_ = 0;
    QMainWindow::closeEvent(event);
}

void CBltInFrameWnd::SetStatusText(uint32_t textId) { panes_[0]->setText(ViewerText(textId ? textId : kTextReady)); }

QString CBltInFrameWnd::PaneText(int pane) const { return panes_[pane]->text(); }

void CBltInFrameWnd::UpdatePanes() {
    if (!record_) return;
    panes_[1]->setText(ViewerText(kTextSizeBefore) + QString::number(record_->width) + ViewerText(kTextSizeBetween) +
                       QString::number(record_->height));
    panes_[2]->setText(ViewerText(kTextZoomBefore) + QString::number(form_->Zoom()) + ViewerText(kTextZoomAfter));
    panes_[3]->setText(ViewerText(kTextTurnBefore) + QString::number(form_->Turns() * 90) + ViewerText(kTextTurnAfter));
}

void CBltInFrameWnd::BringToFront() {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
}

void CBltInFrameWnd::SwapPicture(std::unique_ptr<PictureRecord> record, int32_t turns) {
    form_->SetPaintingAllowed(false);
    record->rotation = turns;
    form_->SetPicture(record.get(), turns);
    record_.swap(record);
    FreePictureRecord(record, true);
    form_->SetPaintingAllowed(true);
    form_->DoLayout(true);
    UpdatePanes();
    update();
    form_->update();
}

int32_t CBltInFrameWnd::ShowPicture(const std::string& path, int32_t turns) {
    if (turns != form_->Turns()) {
        // The old picture stays until the new one is there.
        std::unique_ptr<PictureRecord> loaded;
        CImageBuffer buffer;
        int32_t result = LoadImageBuffer(buffer, path, loaded, turns);
        if (result != 0 || !loaded) {
            result = ViewerLoadResult(result != 0 ? result : 1);
            if (result == kViewerNoLibrary || result == kViewerLibraryFails) return result;
            // A camera that went away is the reason, whatever the load said.
            if (services_.access && services_.access->SessionLost() != 0) result = kViewerCameraGone;
            if (services_.errorBox) services_.errorBox(uint32_t(GetErrorStringID(result, 0)));
            close();
            return result;
        }
        SwapPicture(std::move(loaded), turns);
    }
    BringToFront();
    return 0;
}

void CBltInFrameWnd::PrintPicture() {
    std::string folder, file, path;
    int32_t result = -99;
    if (services_.access && SplitViewerTitle(title_, &folder, &file))
        result = services_.access->GetFullPath(folder, file, &path);
    if (result != 0) {
        if (services_.errorBox) services_.errorBox(result == -99 ? kMsgPathFailed : kMsgGeneral);
        close();
        return;
    }
    if (services_.printPicture) services_.printPicture(path, form_->Turns());
}

plat::LResult CBltInFrameWnd::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam) {
    switch (message) {
        case UM_SHOW_HINT: SetStatusText(uint32_t(wParam)); return 0;
        case plat::kMsgClose: close(); return 0;
        case UM_ACCESS_STATE: form_->EnableRotate(wParam == 1); return 0;
        case kViewerShowPicture: {
            const auto* path = reinterpret_cast<const std::string*>(wParam);
            return path ? ShowPicture(*path, int32_t(lParam)) : 0;
        }
        default: return 0;
    }
}

CBltInFrameWnd* OpenViewerFrame(std::unique_ptr<PictureRecord> record, const std::string& title,
                                BltInFrameServices services) {
    if (!record) return nullptr;
    auto* frame = new CBltInFrameWnd(std::move(record), title, std::move(services));
    if (frame->FirstSize().maximize) frame->showMaximized();
    else frame->show();
    frame->Form()->DoLayout(true);
    return frame;
}
