#pragma once
// The browser as the program opens it: the frame and view over the program's
// picture-access object, its settings, language texts, message boxes and picture jobs.
#include <functional>
#include <memory>
#include <string>

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
};

class CBrowserWindow {
public:
    explicit CBrowserWindow(const BrowserWindowParts& parts);
    ~CBrowserWindow();

    CViewerFrame& Frame() { return *frame_; }
    plat::WindowHandle FrameHandle() const { return frame_->handle(); }
    plat::WindowHandle ViewHandle() const { return frame_->View().handle(); }
    std::string CurrentFolder() const { return frame_->View().Model().Folder(); }

private:
    BrowserWindowParts parts_;
    std::unique_ptr<BrowserSource> source_;
    std::unique_ptr<ImageFileIfJobAccess> access_;
    std::unique_ptr<CViewerFrame> frame_;
};

// Drive kind of a save destination chosen on this system.
DriveKind SaveDriveKind(const std::string& path);
