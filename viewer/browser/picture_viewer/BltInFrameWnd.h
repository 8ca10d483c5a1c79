#pragma once
// A top-level window showing one picture of the browser: the viewer form and a
// status bar with the picture size, the zoom and the rotation. The browser
// makes one with OpenViewerFrame() for each picture the open job hands it.
#include "platform/msg/MessageReceiver.h"
#include "viewer/browser/picture_viewer/ViewerGeometry.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class JobAccess;
class CBltInFormView;
class CViewerFrameList;
struct PictureRecord;

// What a viewer frame needs from the browser.
struct BltInFrameServices {
    JobAccess* access = nullptr;                 // local paths of pictures
    CViewerFrameList* frames = nullptr;          // the browser's list (the frame registers itself)
    std::function<void()> stopReaders;           // before a picture is turned
    std::function<void()> endLongOperation;      // access state 1 when the rotation could not
    std::function<void(int32_t kind)> libraryResult;  // 4: library missing, 3: failing
    std::function<void(const std::string& path, int32_t turns)> printPicture;   // as the viewer shows it
    std::function<void(uint32_t messageId)> errorBox;  // a language message in an error box
    std::function<ScreenMetrics()> screen;       // tests give their own screen
};

// The frame's picture-shown message: wParam points to the picture's local path
// (valid during the send), lParam the quarter turns; the answer is the result.
inline constexpr uint32_t kViewerShowPicture = 0x0400 + 0x1A;

class CBltInFrameWnd : public QMainWindow {
public:
    CBltInFrameWnd(std::unique_ptr<PictureRecord> record, const std::string& title, BltInFrameServices services);
    ~CBltInFrameWnd() override;

    plat::WindowHandle Handle() const { return receiver_->handle(); }
    const std::string& Title() const { return title_; }
    CBltInFormView* Form() const { return form_; }
    const PictureRecord* Picture() const { return record_.get(); }
    const FrameSize& FirstSize() const { return size_; }
    const BltInFrameServices& Services() const { return services_; }

    // Shows the picture at path with quarter turns (another rotation of the
    // same picture); 0, or the failure (the frame then closes unless 6 or 7).
    int32_t ShowPicture(const std::string& path, int32_t turns);
    // Takes a freshly loaded picture on the window's thread.
    void SwapPicture(std::unique_ptr<PictureRecord> record, int32_t turns);
    void SetStatusText(uint32_t textId);
    void UpdatePanes();
    QString PaneText(int pane) const;
    void BringToFront();
    // Prints this picture through the browser (the pane's print command).
    void PrintPicture();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);

    std::unique_ptr<PictureRecord> record_;
    std::string title_;
    BltInFrameServices services_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    CBltInFormView* form_ = nullptr;
    QLabel* panes_[4] = {};
    FrameSize size_;
    int32_t key_ = 0;
};

// Makes, registers and shows the frame of a picture the open job handed over
// (the browser's UM_OPEN_VIEWER). Null when it cannot be made.
CBltInFrameWnd* OpenViewerFrame(std::unique_ptr<PictureRecord> record, const std::string& title,
                                BltInFrameServices services);
