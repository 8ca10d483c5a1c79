#pragma once
// The browser's top-level window: the view, the status bar with its panes, the
// minimum size, and the way out (closing the browser ends the program; a
// camera's transfer request switches to the transfer panel instead).
#include <QMainWindow>

#include <functional>
#include <memory>

#include "platform/msg/MessageReceiver.h"
#include "viewer/browser/view/FrameRules.h"
#include "viewer/browser/view/ViewerView.h"

class QLabel;
class QTimer;

struct ViewerFrameServices {
    std::function<bool()> suspendDeviceCheck;
    std::function<void()> closeViewers;          // every built-in viewer frame of the view
    std::function<void()> cleanTempFolder;
    std::function<void()> closeMainWindow;       // the program ends with the browser
    std::function<void()> openTransferPanel;     // the main window switches to the panel
    std::function<void()> clearTargetConnected;
    std::function<bool()> targetConnected;
};

class CViewerFrame : public QMainWindow {
public:
    CViewerFrame(BrowserSource& source, const ViewSettingsCopy& settings, ViewerViewServices viewServices,
                 ViewerFrameServices services, QWidget* parent = nullptr);
    ~CViewerFrame() override;

    plat::WindowHandle handle() const { return receiver_->handle(); }
    CViewerView& View() { return *view_; }
    // Status pane 0: the language text id, or the idle text for 0.
    void ShowStatus(int32_t textId);
    QString StatusText(int pane) const;
    void RefreshStatusPanes();
    // The user accepted a camera's transfer request: back to the transfer panel.
    void AcceptCameraRequest();
    bool CommandEnabled(int32_t command) const;
    // A command of the menu bar, of WM_COMMAND or of the view's buttons.
    void OnCommand(int32_t command);
    // Menu help: the marked command, 0 when the menu closes.
    void MenuSelect(uint32_t command);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::string Text(uint32_t id) const;

    ViewerViewServices viewServices_;
    ViewerFrameServices services_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    CViewerView* view_ = nullptr;
    QLabel* panes_[5] = {};
    QTimer* statusTimer_ = nullptr;
    bool switching_ = false;
    MenuHelp menuHelp_;
};
