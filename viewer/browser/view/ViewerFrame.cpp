#include "viewer/browser/view/ViewerFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include "platform/msg/Messages.h"
#include "viewer/art/ProgramArt.h"
#include "viewer/browser/view/LangMenus.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/AboutDlg.h"
#include "viewer/shell/ui/BrowserStatusBar.h"

#include <QMenuBar>

namespace {
enum : int32_t { kCommandAbout = 57664, kCommandExit = 57665, kCommandBackToTransfer = 32839 };
// The program's small icon, and the status pane's card and camera pictures.
constexpr uint32_t kSmallIcon = 132;
constexpr uint32_t kCameraIcon = 449;
constexpr uint32_t kDriveIcon = 450;
}

CViewerFrame::CViewerFrame(BrowserSource& source, const ViewSettingsCopy& settings, ViewerViewServices viewServices,
                           ViewerFrameServices services, QWidget* parent)
    : QMainWindow(parent), viewServices_(std::move(viewServices)), services_(std::move(services)) {
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t message, plat::WParam wParam, plat::LParam) -> plat::LResult {
            if (message == UM_SHOW_HINT) ShowStatus(static_cast<int32_t>(wParam));
            if (message == plat::kMsgCommand) OnCommand(static_cast<int32_t>(wParam & 0xFFFF));
            return 0;
        },
        this);
    setWindowTitle(QString::fromStdString(Text(62102)));
    setWindowIcon(QIcon(QPixmap::fromImage(ProgramPicture(kSmallIcon))));
    setMinimumSize(650, 480);
    auto* bar = new CBrowserStatusBar(this);
    bar->SetFrame(receiver_->handle());
    setStatusBar(bar);

    static const uint32_t paneTemplates[] = {0, 62063, 62064, 62065, 62066};
    for (int i = 0; i < 5; ++i) {
        panes_[i] = new QLabel(this);
        if (i == 0) {
            statusBar()->addWidget(panes_[i], 1);
        } else {
            const QString model = QString::fromStdString(Text(paneTemplates[i]));
            panes_[i]->setMinimumWidth(panes_[i]->fontMetrics().horizontalAdvance(model));
            statusBar()->addPermanentWidget(panes_[i]);
        }
    }

    // Pane 1: whether the browser shows a card or a camera.
    if (services_.targetConnected && services_.targetConnected())
        panes_[1]->setPixmap(QPixmap::fromImage(ProgramPicture(source.IsCamera() ? kCameraIcon : kDriveIcon)));

    ViewerViewServices forView = viewServices_;
    forView.statusText = [this](int32_t id) { ShowStatus(id); };
    forView.acceptCameraRequest = [this] { AcceptCameraRequest(); };
    view_ = new CViewerView(source, settings, forView, this);
    view_->SetHintWindow(handle());
    setCentralWidget(view_);
    ShowStatus(0);

    // The menu bar: enabled as the commands are when it opens, with each
    // item's help in status pane 0 while it is marked.
    LangMenuHooks hooks;
    hooks.enabled = [this](int32_t command) { return CommandEnabled(command); };
    hooks.checked = [this](int32_t command) { return view_->CommandChecked(command); };
    hooks.run = [this](int32_t command) { OnCommand(command); };
    hooks.hovered = [this](int32_t command) { MenuSelect(static_cast<uint32_t>(command)); };
    FillLangMenuBar(menuBar(), 129, hooks);

    statusTimer_ = new QTimer(this);
    statusTimer_->setInterval(250);
    connect(statusTimer_, &QTimer::timeout, this, [this] { RefreshStatusPanes(); });
    statusTimer_->start();
}

CViewerFrame::~CViewerFrame() = default;

std::string CViewerFrame::Text(uint32_t id) const {
    return viewServices_.text ? viewServices_.text(id) : std::string();
}

void CViewerFrame::ShowStatus(int32_t textId) {
    panes_[0]->setText(QString::fromStdString(Text(textId != 0 ? static_cast<uint32_t>(textId) : 62417)));
}

QString CViewerFrame::StatusText(int pane) const { return pane >= 0 && pane < 5 ? panes_[pane]->text() : QString(); }

void CViewerFrame::RefreshStatusPanes() {
    BrowserViewModel& model = view_->Model();
    panes_[2]->setText(QString::fromStdString(model.Folder()));
    panes_[3]->setText(QString::fromStdString(Text(62401)) + QString::number(model.Items().size()));
    panes_[4]->setText(QString::fromStdString(Text(62402)) + QString::number(model.Counts().selected));
}

bool CViewerFrame::CommandEnabled(int32_t command) const {
    switch (command) {
    case kCommandAbout: case kCommandExit: return true;
    default: return view_->CommandEnabled(command);
    }
}

void CViewerFrame::OnCommand(int32_t command) {
    switch (command) {
    case kCommandExit: close(); return;
    case kCommandAbout: {
        CAboutDlg about(this);
        about.DoModal();
        return;
    }
    case kCommandBackToTransfer: AcceptCameraRequest(); return;
    default: view_->OnCommand(command); return;
    }
}

void CViewerFrame::MenuSelect(uint32_t command) {
    // A command marked in a menu shows its help; the menu closing resets it.
    const MenuHelp::Result r = menuHelp_.Select(command, command == 0 ? 0xFFFF : 0, command != 0);
    if (r.show == MenuHelp::Show::Text) ShowStatus(r.textId);
    else if (r.show == MenuHelp::Show::Reset) ShowStatus(0);
}

void CViewerFrame::AcceptCameraRequest() {
    view_->Model().StopThumbnailRun();
    if (services_.closeViewers) services_.closeViewers();
    if (services_.openTransferPanel) services_.openTransferPanel();
    switching_ = true;   // leave without the exit steps: the target stays open
    close();
}

void CViewerFrame::closeEvent(QCloseEvent* event) {
    if (!switching_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (services_.clearTargetConnected) services_.clearTargetConnected();
        view_->Model().StopThumbnailRun();
        if (services_.suspendDeviceCheck) services_.suspendDeviceCheck();
        if (services_.closeViewers) services_.closeViewers();
        if (services_.cleanTempFolder) services_.cleanTempFolder();
        if (services_.closeMainWindow) services_.closeMainWindow();
        QApplication::restoreOverrideCursor();
    }
    statusTimer_->stop();
    event->accept();
}
