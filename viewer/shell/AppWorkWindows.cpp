#include "viewer/shell/AppWorkWindows.h"

#include "viewer/shell/AttributeJob.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/MainFrame.h"
#include "viewer/shell/SourceTargetParts.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "viewer/browser/view/BrowserWindow.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/transfer/TransTypes.h"
#include "viewer/transfer/CardJobFile.h"
#include "viewer/transfer/ui/AcquireDlg.h"
#include "viewer/transfer/ui/TransPreviewDlg.h"
#include "viewer/transfer/ui/TransSimpleDlg.h"

#include <QApplication>
#include <QTimer>

AppWorkWindows::AppWorkWindows(CLumoraApp& app)
    : app_(app), transferHost_(app), acquireHost_(app, transferHost_)
{
}

AppWorkWindows::~AppWorkWindows()
{
    DestroyAll();
}

void AppWorkWindows::RetireBrowser()
{
    if (!browser_)
        return;
    browser_->Frame().hide();
    retiredBrowsers_.push_back(std::move(browser_));
    ScheduleRetiredDeletion();
}

void AppWorkWindows::RetirePanel()
{
    if (!panel_)
        return;
    panel_->hide();
    retiredPanels_.push_back(std::move(panel_));
    ScheduleRetiredDeletion();
}

void AppWorkWindows::ScheduleRetiredDeletion()
{
    QTimer::singleShot(0, &deletionContext_, [this] {
        retiredPanels_.clear();
        retiredBrowsers_.clear();
    });
}

bool AppWorkWindows::OpenTransferPanel(int index)
{
    RetireBrowser();
    RetirePanel();
    panel_ = std::make_unique<CAcquireDlg>(&acquireHost_);
    if (index >= 0)
        panel_->SetTarget(index);
    panel_->ShowCentred();
    return true;
}

bool AppWorkWindows::OpenBrowser(bool maximised)
{
    auto* parts = dynamic_cast<SourceTargetParts*>(&app_.Parts());
    if (!parts || (!parts->HasPictureAccess() && !parts->CreatePictureAccess()))
        return false;
    RetireBrowser();
    RetirePanel();
    BrowserWindowParts windowParts;
    windowParts.files = parts->PictureAccess();
    windowParts.settings = app_.Settings();
    windowParts.tempFolder = app_.TempFolder();
    CLumoraApp& app = app_;
    const auto postToFrame = [&app](uint32_t message) {
        if (CMainFrame* frame = app.MainFrame())
            plat::postMessage(frame->Handle(), message, 0, 0);
    };
    windowParts.closeMainWindow = [postToFrame] { postToFrame(plat::kMsgClose); };
    windowParts.openTransferPanel = [postToFrame] { postToFrame(UM_OPEN_TRANSFER_PANEL); };
    windowParts.clearTargetConnected = [&app] { app.targetOpen = false; };
    windowParts.targetConnected = [&app] { return app.targetOpen; };
    windowParts.settingsSheet = [&app](QWidget* parent) {
        RunAppSettingsSheet(app.Settings(), parent);
        return true;
    };
    windowParts.transfer = [this](QWidget* parent, BrowserItemList& items, const std::string& folder) {
        TransferSelection(parent, items, folder);
    };
    windowParts.help = [&app](uint32_t contextId) {
        if (CMainFrame* frame = app.MainFrame())
            frame->ShowHelpTopic(contextId);
    };
    windowParts.changeAttributes = [files = parts->PictureAccess()](int32_t kind, bool on, BrowserItemList& items,
                                                                    const std::string& folder,
                                                                    plat::WindowHandle view) {
        return RunAttributeJob(*files, kind, on, items, folder, view);
    };
    windowParts.webUpload = app_.WebUploadAvailable();
    windowParts.replyToCamera = [&app](bool waiting) {
        return CCardJobFile(app.currentIndex).WriteReply(waiting ? CCardJobFile::kWaiting : CCardJobFile::kCanceled);
    };
    browser_ = std::make_unique<CBrowserWindow>(windowParts);
    if (maximised)
        browser_->Frame().showMaximized();
    else
        browser_->Frame().showNormal();
    browser_->Frame().raise();
    browser_->Frame().activateWindow();
    return true;
}

// The browser's transfer: the selection in mode 1, under the transfer dialog the
// settings choose, with the device check stopped meanwhile.
void AppWorkWindows::TransferSelection(QWidget* parent, BrowserItemList& items, const std::string& folder)
{
    TransSelection selection;
    selection.folder = folder;
    for (const BrowserItem& item : items)
        selection.items.push_back({item.fileName, item.selected, item.record ? item.record->rotation : 0});
    CImageFileIf::SuspendDeviceCheck();
    auto job = std::make_unique<CtrlTransferJob>(&transferHost_, selection);
    const bool preview = app_.Settings() && app_.Settings()->GetTransferSettings().Thumbnail != 0;
    std::unique_ptr<CTransProgressDlg> dialog;
    if (preview)
        dialog = std::make_unique<CTransPreviewDlg>(std::move(job), CTransFileList::kSelection, parent);
    else
        dialog = std::make_unique<CTransSimpleDlg>(std::move(job), CTransFileList::kSelection, parent);
    const int result = dialog->exec();
    dialog.reset();
    // A source that went away is closed by the main frame.
    if (result != TransResult_SourceGone && CImageFileIf::ResumeDeviceCheck() < 0) {
        if (plat::WindowHandle view = BrowserView())
            plat::postMessage(view, UM_ERROR, static_cast<plat::WParam>(static_cast<int64_t>(-114)), 0);
    }
}

plat::WindowHandle AppWorkWindows::TransferPanel() const
{
    return panel_ ? panel_->handle() : plat::WindowHandle{};
}

plat::WindowHandle AppWorkWindows::BrowserFrame() const
{
    return browser_ ? browser_->FrameHandle() : plat::WindowHandle{};
}

plat::WindowHandle AppWorkWindows::BrowserView() const
{
    return browser_ ? browser_->ViewHandle() : plat::WindowHandle{};
}

void AppWorkWindows::SetPanelDeviceIndex(int index)
{
    if (panel_)
        panel_->SetTarget(index);
}

std::string AppWorkWindows::BrowserCurrentFolder() const
{
    return browser_ ? browser_->CurrentFolder() : std::string();
}

bool AppWorkWindows::IsFrameInModalState() const
{
    return QApplication::activeModalWidget() != nullptr;
}

void AppWorkWindows::DestroyAll()
{
    panel_.reset();
    browser_.reset();
    retiredPanels_.clear();
    retiredBrowsers_.clear();
}
