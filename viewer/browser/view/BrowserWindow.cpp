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
    view.setAttribute = [this](int32_t kind, bool on, BrowserItemList& items, const std::string& folder) {
        for (BrowserItem& item : items) {
            if (!item.selected || !item.record) continue;
            const int32_t r = kind == 2 ? parts_.files->If_SetHideStatus(folder, item.fileName, on)
                                        : parts_.files->If_SetProtectStatus(folder, item.fileName, on);
            if (r != 0) return r;
            (kind == 2 ? item.record->hidden : item.record->protect) = on ? 1 : 0;
        }
        return 0;
    };

    ViewerFrameServices frame;
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
    if (frame_ && parts_.settings) {
        const QRect r = frame_->frameGeometry();
        FrameGeometry geometry{r.left(), r.top(), r.right() + 1, r.bottom() + 1, frame_->isMaximized()};
        frame_->View().SaveSettings(*parts_.settings, geometry);
    }
    frame_.reset();
}
