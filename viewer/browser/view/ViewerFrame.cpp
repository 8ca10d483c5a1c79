#include "viewer/browser/view/ViewerFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/shell/common/ViewerMessages.h"

CViewerFrame::CViewerFrame(BrowserSource& source, const ViewSettingsCopy& settings, ViewerViewServices viewServices,
                           ViewerFrameServices services, QWidget* parent)
    : QMainWindow(parent), viewServices_(std::move(viewServices)), services_(std::move(services)) {
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t message, plat::WParam wParam, plat::LParam) -> plat::LResult {
            if (message == UM_SHOW_HINT) ShowStatus(static_cast<int32_t>(wParam));
            return 0;
        },
        this);
    setWindowTitle(QString::fromStdString(Text(62102)));
    setMinimumSize(650, 480);

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

    ViewerViewServices forView = viewServices_;
    forView.statusText = [this](int32_t id) { ShowStatus(id); };
    view_ = new CViewerView(source, settings, forView, this);
    setCentralWidget(view_);
    ShowStatus(0);

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
    BrowserViewModel& model = view_->Model();
    FrameInputs in;
    in.idle = model.Idle();
    in.paneFocus = view_->Pane().hasFocus();
    in.treeFocus = view_->Tree().hasFocus();
    in.items = static_cast<int32_t>(model.Items().size());
    in.selected = model.Counts().selected;
    in.selectedMovies = model.Counts().selectedMovies;
    in.selectedWithoutThumb = model.Counts().selectedWithoutThumb;
    in.treeHasItems = view_->Tree().topLevelItemCount() > 0;
    in.rootSelected = view_->Tree().currentItem() == view_->Tree().topLevelItem(0);
    in.checkLocal = view_->Settings().checkLocal != 0;
    in.checkWeb = view_->Settings().checkWeb != 0;
    in.targetConnected = services_.targetConnected && services_.targetConnected();
    return IsFrameCommandEnabled(command, in);
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
