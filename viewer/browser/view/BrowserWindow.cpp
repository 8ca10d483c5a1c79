#include "viewer/browser/view/BrowserWindow.h"

#include <filesystem>
#include <list>

#include "platform/fs/FileOps.h"
#include "platform/msg/MessageBox.h"
#include "platform/shell/FileChooser.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/LangFormat.h"
#include "viewer/browser/PictureInfoText.h"
#include "viewer/browser/PictureJobs.h"
#include "viewer/browser/PrintJob.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/picture_viewer/BltInViewerThread.h"
#include "viewer/browser/picture_viewer/DragOut.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "platform/gdi/PrintDocument.h"
#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/OpenProgressDlg.h"

#include <QPointer>
#include "viewer/shell/common/FolderTools.h"
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/sources/ImageFileIf.h"

namespace {

plat::MessageIcon IconOf(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Stop: return plat::MessageIcon::Stop;
    case BoxIcon::Exclamation: return plat::MessageIcon::Exclamation;
    case BoxIcon::Information: return plat::MessageIcon::Information;
    case BoxIcon::None: return plat::MessageIcon::None;
    }
    return plat::MessageIcon::None;
}

}  // namespace

DriveKind SaveDriveKind(const std::string& path) {
    if (!path.empty() && path[0] == '\\') return DriveKind::Unknown;   // a network name
    return DriveKind::Fixed;
}

CBrowserWindow::CBrowserWindow(const BrowserWindowParts& parts) : parts_(parts) {
    source_ = std::make_unique<ImageFileSource>(*parts_.files);
    access_ = std::make_unique<ImageFileIfJobAccess>(parts_.files);
    access_->SetReaderStop([this] { frame_->View().Model().StopWorkerThreads(); });

    ViewerViewServices view;
    view.text = [](uint32_t id) { return LangText(id); };
    view.box = [this](const BoxDecision& d, const std::string& text) {
        plat::MessageBoxRequest request;
        request.owner = frame_ ? frame_->handle() : plat::WindowHandle{};
        request.text = text;
        request.icon = IconOf(d.icon);
        plat::showMessageBox(request);
    };
    view.askOkCancel = [this](const std::string& text) {
        plat::MessageBoxRequest request;
        request.owner = frame_ ? frame_->handle() : plat::WindowHandle{};
        request.text = text;
        request.buttons = plat::MessageButtons::OkCancel;
        request.icon = plat::MessageIcon::Question;
        request.defaultButton = 2;
        return plat::showMessageBox(request) == plat::kAnswerOk;
    };
    view.closeTarget = parts_.closeMainWindow;
    view.suspendDeviceCheck = [] { return CImageFileIf::SuspendDeviceCheck(); };
    view.resumeDeviceCheck = [this] { return source_->ResumeDeviceCheck(); };
    view.removeFiles = [this](BrowserItemList& items, const std::string& folder) {
        std::list<std::string> names;
        for (const BrowserItem& item : items) names.push_back(item.fileName);
        return RunRemoveFilesJob(frame_.get(), items, names, *access_, folder);
    };
    view.chooseFolder = [this](const std::string& start) {
        return plat::chooseFolder(frame_.get(), LangText(62213), start).value_or(std::string());
    };
    view.driveKind = SaveDriveKind;
    view.readTransferMarks = [this] { parts_.files->GetTransferMarkList(); };
    view.infoText = [this](int32_t index) {
        std::string text;
        BrowserViewModel& model = frame_->View().Model();
        std::lock_guard<std::recursive_mutex> lock(model.ItemLock());
        if (index >= 0 && static_cast<size_t>(index) < model.Items().size())
            BuildPictureInfoText(text, model.Items().item(static_cast<size_t>(index)).record.get(),
                                 source_->IsCamera());
        return text;
    };
    view.statusReadable = [](const std::string& path) {
        plat::FileStatus st;
        return static_cast<bool>(plat::fileStatus(std::filesystem::path(path), &st));
    };
    view.saveFiles = [this](BrowserItemList& items, const std::string& folder, const std::string& target) {
        return RunSaveJob(frame_.get(), frame_->View().handle(), items, *access_, folder, target);
    };
    if (parts_.changeAttributes)
        view.setAttribute = [this](int32_t kind, bool on, BrowserItemList& items, const std::string& folder) {
            return parts_.changeAttributes(kind, on, items, folder, frame_->View().handle());
        };
    view.removeFolder = [this](const std::string& folder) {
        return RunRemoveFolderJob(frame_.get(), *access_, folder);
    };
    view.formatCard = [this] { return parts_.files->If_FormatCard(); };
    view.clearTargetConnected = parts_.clearTargetConnected;
    view.folderListed = [this](const std::string& folder) {
        // The drag-out and viewer copies of the newest folder's pictures are stale now.
        if (parts_.tempFolder.empty() || folder.empty() || folder == "." || folder == ".." ||
            folder.find('/') != std::string::npos || !parts_.files->If_IsCurrentFolder(folder))
            return;
        CleanFolder(parts_.tempFolder + "/" + folder, false, 0, false);
        CleanFolder(parts_.tempFolder + "/temp/" + folder, false, 0, false);
    };
    view.webUpload = parts_.webUpload;
    view.replyToCamera = parts_.replyToCamera;

    view.targetConnected = parts_.targetConnected;
    view.accessState = [this](int32_t flag) { BroadcastAccessState(flag); };
    view.openSelection = [this](BrowserItemList& items, const std::string& folder) { OpenSelection(items, folder); };
    view.openViewerFrame = [this](std::unique_ptr<PictureRecord>& picture, const std::string& title) {
        OpenViewerFrame(picture, title);
    };
    view.printSelection = [this](int32_t mode, BrowserItemList& items, const std::string& folder) {
        Print(mode, items, folder, {}, 0);
    };
    view.indexSheets = [this](BrowserItemList& items, const std::string& folder) {
        const std::string sheets = ChooseSheetFolder(frame_.get());
        if (!sheets.empty()) RunIndexSheetJob(frame_.get(), items, *access_, folder, sheets);
    };
    view.settingsSheet = [this] { return parts_.settingsSheet && parts_.settingsSheet(frame_.get()); };
    view.viewSettings = [this] {
        return parts_.settings ? ViewSettingsCopy::FromSettings(*parts_.settings) : ViewSettingsCopy{};
    };
    view.transfer = [this](BrowserItemList& items, const std::string& folder, const ViewSettingsCopy& copy) {
        if (!parts_.transfer) return;
        if (parts_.settings) {
            parts_.settings->WriteImageSize(copy.imageSize);
            parts_.settings->WriteTransferDestChecks(copy.checkWeb, copy.checkLocal);
        }
        parts_.transfer(frame_.get(), items, folder);
    };
    view.dragOut = [this](const std::string& folder) { DragOut(folder); };
    view.help = [this](int32_t controlId) {
        if (parts_.help) parts_.help(static_cast<uint32_t>(controlId));
    };

    ViewerFrameServices frame;
    frame.closeViewers = [this] { CloseViewers(); };
    frame.suspendDeviceCheck = [] { return CImageFileIf::SuspendDeviceCheck(); };
    frame.cleanTempFolder = [this] {
        if (!parts_.tempFolder.empty()) CleanFolder(parts_.tempFolder, false, 0, false);
    };
    frame.closeMainWindow = parts_.closeMainWindow;
    frame.openTransferPanel = parts_.openTransferPanel;
    frame.clearTargetConnected = parts_.clearTargetConnected;
    frame.targetConnected = parts_.targetConnected;

    const ViewSettingsCopy settings =
        parts_.settings ? ViewSettingsCopy::FromSettings(*parts_.settings) : ViewSettingsCopy{};
    frame_ = std::make_unique<CViewerFrame>(*source_, settings, view, frame);
}

CBrowserWindow::~CBrowserWindow() {
    CloseViewers();
    if (frame_ && parts_.settings) {
        const QRect r = frame_->frameGeometry();
        FrameGeometry geometry{r.left(), r.top(), r.right() + 1, r.bottom() + 1, frame_->isMaximized()};
        frame_->View().SaveSettings(*parts_.settings, geometry);
    }
    frame_.reset();
}

// ---------------------------------------------------------------- built-in viewers

void CBrowserWindow::BroadcastAccessState(int32_t flag) {
    for (const plat::WindowHandle viewer : viewers_.All())
        plat::postMessage(viewer, UM_ACCESS_STATE, static_cast<plat::WParam>(flag), 0);
}

void CBrowserWindow::CloseViewers() {
    // Each frame leaves the list as it closes; one that does not is dropped.
    for (const plat::WindowHandle viewer : viewers_.All()) plat::sendMessage(viewer, plat::kMsgClose, 0, 0);
}

void CBrowserWindow::ErrorText(uint32_t textId) {
    plat::MessageBoxRequest request;
    request.owner = frame_ ? frame_->handle() : plat::WindowHandle{};
    request.text = LangText(textId);
    request.icon = plat::MessageIcon::Stop;
    plat::showMessageBox(request);
}

void CBrowserWindow::OpenSelection(BrowserItemList& items, const std::string& folder) {
    CViewerView& view = frame_->View();
    ViewerOpenJob job;
    job.access = access_.get();
    if (parts_.settings) job.settings = parts_.settings->GetViewerSettings();
    job.folder = folder;
    job.tempFolder = parts_.tempFolder;
    for (const BrowserItem& item : items)
        job.items.push_back({item.fileName, item.selected, item.record && item.record->movie != 0,
                             item.record ? item.record->rotation : 0});
    auto thread = std::make_unique<CBltInViewerThread>(view.handle());
    CBltInViewerThread* running = thread.get();
    // The dialog is the frame's child: it may go with the frame while it runs.
    QPointer<COpenProgressDlg> progress =
        new COpenProgressDlg(SelectedCount(items), [running] { running->Cancel(); }, frame_.get());
    BrowserViewerHost host(&viewers_, view.handle(), progress->handle(), [&view] { return view.ViewerRequested(); });
    job.host = &host;
    thread->Setup(progress->handle(), plat::Event::create(plat::Event::Reset::Auto, false, "CANCEL_EVENT"), job);
    if (thread->Begin() != 1) {
        thread->Abandon();
        delete progress.data();
        plat::postMessage(view.handle(), UM_ERROR, static_cast<plat::WParam>(static_cast<int64_t>(-118)), 0);
        return;
    }
    const int end = progress->DoModal();
    thread->Join();
    delete progress.data();
    if (end != 1 && frame_) {
        frame_->raise();
        frame_->activateWindow();
    }
}

void CBrowserWindow::OpenViewerFrame(std::unique_ptr<PictureRecord>& picture, const std::string& title) {
    BltInFrameServices services;
    services.access = access_.get();
    services.frames = &viewers_;
    services.stopReaders = [this] {
        frame_->View().Model().StopWorkerThreads();
        BroadcastAccessState(0);
    };
    services.endLongOperation = [this] { BroadcastAccessState(1); };
    const plat::WindowHandle view = frame_->View().handle();
    services.libraryResult = [view](int32_t kind) {
        plat::postMessage(view, UM_LIBRARY_RESULT, static_cast<plat::WParam>(kind), 1);
    };
    services.printPicture = [this](const std::string& path, int32_t turns) {
        BrowserItemList none;
        Print(kPrintOneAPage, none, {}, path, turns);
    };
    services.errorBox = [this](uint32_t textId) { ErrorText(textId); };
    ::OpenViewerFrame(std::move(picture), title, std::move(services));
}

void CBrowserWindow::Print(int32_t mode, BrowserItemList& items, const std::string& folder,
                           const std::string& singlePath, int32_t singleTurns) {
    plat::gdi::PrintTarget target;
    if (!plat::gdi::runPrintDialog(frame_.get(), &target)) return;
    RunPrintJob(frame_.get(), mode, items, *access_, folder, singlePath, target, singleTurns);
}

// ---------------------------------------------------------------- drag-out

void CBrowserWindow::DragOut(const std::string& folder) {
    CViewerView& view = frame_->View();
    const plat::WindowHandle viewHandle = view.handle();
    const auto fail = [viewHandle](int32_t code) {
        plat::postMessage(viewHandle, UM_ERROR, static_cast<plat::WParam>(static_cast<int64_t>(code)), 0);
    };
    DragCopyJob job;
    job.access = access_.get();
    job.folder = folder;
    if (!MakeWorkFolderIn(parts_.tempFolder, folder, &job.workFolder)) {
        fail(kDragDeviceCheck);
        return;
    }
    {
        BrowserViewModel& model = view.Model();
        std::lock_guard<std::recursive_mutex> lock(model.ItemLock());
        for (const BrowserItem& item : model.Items().list())
            job.items.push_back({item.fileName, item.selected, item.record && item.record->hidden != 0});
    }
    DragPicturesOut(&view.Pane(), std::move(job), [this](int32_t flag) { BroadcastAccessState(flag); }, fail);
}
