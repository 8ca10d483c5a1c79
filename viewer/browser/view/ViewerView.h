#pragma once
// The browser view: folder tree, thumbnail pane, information box, buttons and
// the pane's scroll bar over the browser's view model. Reports of the readers
// and the view's own messages reach it through its window handle.
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/msg/MessageReceiver.h"
#include "viewer/browser/ThumbCells.h"
#include "viewer/browser/view/BrowserViewModel.h"
#include "viewer/browser/view/CommandRules.h"
#include "viewer/browser/view/ViewState.h"
#include "viewer/shell/ui/HotButtonSlot.h"

#include <QPoint>

#include <atomic>

class QAbstractButton;
class BmpBtnViewer;
class QLabel;
class QScrollBar;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class CInfoEdit;
class CThumbPaneWnd;

// What the view asks of the program around it; tests give their own.
struct ViewerViewServices {
    std::function<std::string(uint32_t)> text;                       // language texts
    std::function<void(const BoxDecision&, const std::string&)> box;  // a message box
    std::function<std::string(int32_t)> infoText;                    // information text of item i
    std::function<void(int32_t textId)> targetMessage;               // to the main window
    std::function<void()> closeTarget;                               // to the main window
    std::function<void(int32_t)> statusText;                         // to the frame; 0 resets
    std::function<void(int32_t)> accessState;                        // to the registered viewer frames
    BitmapSource bitmaps;
    // Deleting pictures: the OK/Cancel question, the device check around it and
    // the remove-files job under its dialog (0, or the failing delete's code).
    std::function<bool(const std::string& text)> askOkCancel;
    std::function<bool()> suspendDeviceCheck;
    std::function<int32_t()> resumeDeviceCheck;   // 0 when restarted
    std::function<int32_t(BrowserItemList& items, const std::string& folder)> removeFiles;
    // Saving: the folder chooser (empty on Cancel), what the destination is, the save job.
    std::function<std::string(const std::string& start)> chooseFolder;
    std::function<DriveKind(const std::string& path)> driveKind;
    std::function<bool(const std::string& path)> statusReadable;
    std::function<int32_t(BrowserItemList& items, const std::string& folder, const std::string& target)> saveFiles;
    // Hide (kind 2) or protect (kind 1) on or off for the selected pictures.
    std::function<int32_t(int32_t kind, bool on, BrowserItemList& items, const std::string& folder)> setAttribute;
    std::function<void()> readTransferMarks;   // the card's transfer-mark list, when a target opens
    // Start: a target already open when the view is made is opened at once.
    std::function<bool()> targetConnected;
    // The built-in viewer: the open job under its progress dialog for the
    // selection, and a frame for each picture it hands over (UM_OPEN_VIEWER).
    std::function<void(BrowserItemList& items, const std::string& folder)> openSelection;
    // Takes the picture when it makes a frame (picture left null); else leaves it.
    std::function<void(std::unique_ptr<PictureRecord>& picture, const std::string& title)> openViewerFrame;
    // Picture jobs and the program's windows reached from the view's commands.
    std::function<void(int32_t mode, BrowserItemList& items, const std::string& folder)> printSelection;
    std::function<void(BrowserItemList& items, const std::string& folder)> indexSheets;
    std::function<bool()> settingsSheet;            // true when the settings were stored
    std::function<ViewSettingsCopy()> viewSettings; // the stored settings the view copies
    // Mode 1 over the selection; the view's picture size and checks are stored first.
    std::function<void(BrowserItemList& items, const std::string& folder, const ViewSettingsCopy& view)> transfer;
    std::function<void(int32_t controlId)> help;
    // Drag-out of the selected pictures of folder as files (the pane's drag).
    std::function<void(const std::string& folder)> dragOut;
    std::function<void(int32_t menuId, QWidget* at, QPoint global, const std::function<bool(int32_t)>& enabled,
                       const std::function<bool(int32_t)>& checked, const std::function<void(int32_t)>& run)>
        popupMenu;                                   // a language menu at a point
    // A folder's list was read: the work folders of the source's newest folder are emptied.
    std::function<void(const std::string& folder)> folderListed;
    // Removing a folder: the job under its wait dialog; 1 removed, 0 not (its
    // message shown), -118 when the job could not start.
    std::function<int32_t(const std::string& folder)> removeFolder;
    // Formatting the target's card or the camera's card (asks, formats, reports): 0 when formatted.
    std::function<int32_t()> formatCard;
    std::function<void()> clearTargetConnected;
    // A camera's transfer request: whether the uploader is installed, the reply
    // written to the card ("waiting" or "canceled"), and the switch to the transfer panel.
    bool webUpload = false;
    std::function<bool(bool waiting)> replyToCamera;
    std::function<void()> acceptCameraRequest;
};

class CViewerView : public QWidget, private BrowserViewHost {
public:
    // Every command of the view's buttons, menus and tree (menu and control ids).
    void OnCommand(int32_t command);
    // Whether a command of the menus is enabled now.
    bool CommandEnabled(int32_t command) const;
    bool CommandChecked(int32_t command) const;
    // The view's part that has (or last had) the focus.
    enum class Focus { None, Tree, Pane, Info };
    Focus FocusedPart() const;
    int32_t ImageSize() const { return settings_.imageSize; }
    // The frame's wiring to the built-in viewers: access state to each of them.
    void OpenSelectionInViewer();
    bool ViewerRequested() const { return viewerRequest_.load(); }
    CViewerView(BrowserSource& source, const ViewSettingsCopy& settings, ViewerViewServices services,
                QWidget* parent = nullptr);
    ~CViewerView() override;

    plat::WindowHandle handle() const { return receiver_->handle(); }
    BrowserViewModel& Model() { return *model_; }
    CThumbPaneWnd& Pane() { return *pane_; }
    QTreeWidget& Tree() { return *tree_; }
    const ViewSettingsCopy& Settings() const { return settings_; }
    const DisplayMode& Mode() const { return mode_; }
    ButtonStates Buttons() const { return buttons_; }

    // Target opened: the tree of the source's folders under rootName, the first folder selected.
    void OpenTarget(const std::string& rootName);
    // The folder shown; the root when empty.
    void SelectFolder(const std::string& folder);
    // The target's folders changed: the tree again, the current folder kept when it is still there.
    void RebuildTree();
    void ApplyNextDisplayMode();
    void ApplyDisplayMode(int32_t mode);
    void SetThumbSize(int32_t size);
    void ShowErrorBox(int32_t code);
    void ShowLibraryResult(int32_t kind, bool fatal);
    void UpdateViewerButtons();
    // Delete with the pane focused: asks, removes the selected pictures and closes the gaps.
    void DeleteSelectedPictures();
    // Quarter turns of the selected thumbnails: 1 clockwise, 3 counter-clockwise.
    void RotateSelected(int32_t direction);
    void SaveSelected();
    void SetAttribute(int32_t kind, bool on);
    void PrintSelection(int32_t mode);
    void RemoveFolder(const std::string& folder);
    void SelectByMark(int32_t command);
    void ShowPaneMenu(QPoint global);
    void ShowTreeMenu(QPoint global);
    void ShowInfoMenu(QPoint global);
    void ShowThumbSizeMenu();
    void ShowPictureSizeMenu();
    void FormatCard();
    // A camera whose card is in the drive asks for a transfer.
    void OnTransferRequest();
    // The target's status changed: is the folder on show still there, then the tree again.
    void OnTargetChanged();
    bool SaveSettings(CViewSettings& settings, const FrameGeometry& frame) const;
    // The window whose status bar shows the hints of the hover buttons.
    void SetHintWindow(plat::WindowHandle frame);
    // The hover button of a control id (nullptr for none).
    BmpBtnViewer* HoverButton(int32_t id) const {
        auto found = hoverButtons_.find(id);
        return found == hoverButtons_.end() ? nullptr : found->second;
    }
    HotButtonSlot& HotButton() { return hotButton_; }
    int32_t BusyFrameShown() const { return busy_.Frame(); }
    // The control whose help F1 asks for now.
    int32_t HelpControlId() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // BrowserViewHost
    int32_t PaneWidth() override;
    void ResetPane(int32_t contentHeight) override;
    void ItemPlaced(size_t index) override;
    void ItemsChanged() override;
    void BusyAnimation(bool on) override;
    void UpdateButtons() override { UpdateViewerButtons(); }
    void BroadcastAccessState(int32_t flag) override;
    void ResetStatusText() override;
    void SelectionChanged(int32_t index) override;
    void ReportError(int32_t code) override;
    void ReportLibraryResult(int32_t kind) override;
    void TargetMessage(int32_t textId) override;
    void TargetChanged(int32_t status) override;
    void FolderListed(const std::string& folder) override;

    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);
    void FolderChanged();
    void CheckTreeSelection();
    void Layout();
    void ScrollTo(int32_t delta);
    void BuildButtons();
    void UpdateDisplayModeButton();
    void UpdateSizeButtons();
    void ShowBusyFrame();
    void RefitScroll();

    BrowserSource& source_;
    ViewerViewServices services_;
    ViewSettingsCopy settings_;
    DisplayMode mode_;
    PaneScroll scroll_;
    BusyFrame busy_;
    ButtonStates buttons_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    std::unique_ptr<BrowserViewModel> model_;
    QTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* root_ = nullptr;
    CThumbPaneWnd* pane_ = nullptr;
    CInfoEdit* info_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    QLabel* busyLabel_ = nullptr;
    QTimer* busyTimer_ = nullptr;
    QTimer* treeTimer_ = nullptr;   // a tree selection made with the keys is taken after a pause
    QTreeWidgetItem* rightClicked_ = nullptr;
    std::atomic<bool> viewerRequest_{false};   // the open job reads it on its thread
    bool printing_ = false;
    std::map<int32_t, QAbstractButton*> controls_;
    std::map<int32_t, BmpBtnViewer*> hoverButtons_;
    HotButtonSlot hotButton_;   // the one button under the mouse
    QMetaObject::Connection focusWatch_;
    std::string folder_;
    bool rootSelected_ = true;
};
