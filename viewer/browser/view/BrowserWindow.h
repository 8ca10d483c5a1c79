#pragma once
// The browser as the program opens it: the frame and view over the program's
// picture-access object, its settings, language texts, message boxes and picture jobs.
#include <functional>
#include <memory>
#include <string>

#include "viewer/browser/picture_viewer/ViewerFrameList.h"
#include "viewer/browser/BrowserItem.h"
#include "viewer/browser/view/ViewerFrame.h"

class CImageFileIf;
class CViewSettings;
class ImageFileIfJobAccess;

struct BrowserWindowParts {
    CImageFileIf* files = nullptr;          // not owned
    CViewSettings* settings = nullptr;      // not owned
    std::string tempFolder;                 // emptied when the browser closes
    std::function<void()> closeMainWindow;
    std::function<void()> openTransferPanel;
    std::function<void()> clearTargetConnected;
    std::function<bool()> targetConnected;
    // The program's windows the browser's commands open.
    std::function<bool(QWidget* parent)> settingsSheet;   // true when stored
    std::function<void(QWidget* parent, BrowserItemList& items, const std::string& folder)> transfer;
    std::function<void(uint32_t contextId)> help;
    // Protect (kind 1) or hide (kind 2) over the selection, on the attribute job
    // under its wait dialog: the kept failure.
    std::function<int32_t(int32_t kind, bool on, BrowserItemList& items, const std::string& folder,
                          plat::WindowHandle view)>
        changeAttributes;
    // A camera's transfer request: the reply on the card ("waiting" or "canceled").
    std::function<bool(bool waiting)> replyToCamera;
    bool webUpload = false;
};

class CBrowserWindow {
public:
    explicit CBrowserWindow(const BrowserWindowParts& parts);
    ~CBrowserWindow();

    CViewerFrame& Frame() { return *frame_; }
    plat::WindowHandle FrameHandle() const { return frame_->handle(); }
    plat::WindowHandle ViewHandle() const { return frame_->View().handle(); }
    std::string CurrentFolder() const { return frame_->View().Model().Folder(); }
    // The built-in viewer frames open now (the view's registration list).
    CViewerFrameList& ViewerFrames() { return viewers_; }

private:
    void OpenSelection(BrowserItemList& items, const std::string& folder);
    void OpenViewerFrame(std::unique_ptr<PictureRecord>& picture, const std::string& title);
    void CloseViewers();
    void BroadcastAccessState(int32_t flag);
    void Print(int32_t mode, BrowserItemList& items, const std::string& folder, const std::string& singlePath,
               int32_t singleTurns);
    void ErrorText(uint32_t textId);
    void DragOut(const std::string& folder);

    BrowserWindowParts parts_;
    std::unique_ptr<BrowserSource> source_;
    std::unique_ptr<ImageFileIfJobAccess> access_;
    CViewerFrameList viewers_;
    std::unique_ptr<CViewerFrame> frame_;
};

// Drive kind of a save destination chosen on this system.
DriveKind SaveDriveKind(const std::string& path);
