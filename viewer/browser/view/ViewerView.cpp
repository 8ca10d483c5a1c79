#include "viewer/browser/view/ViewerView.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QShortcut>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>

#include "platform/msg/Messaging.h"
#include "viewer/browser/PictureDrawing.h"
#include "viewer/browser/PrintJob.h"
#include "viewer/browser/view/FrameRules.h"
#include "viewer/browser/view/InfoEdit.h"
#include "viewer/browser/view/PaneSelection.h"
#include "viewer/browser/view/LangMenus.h"
#include "viewer/browser/view/LongOperation.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/art/ProgramArt.h"
#include "viewer/shell/common/LanguageContext.h"
#include "viewer/shell/common/ViewTables.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/BmpBtnViewer.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqIfMngResult.h"

namespace {

// The hover buttons of the view with their tooltip (and status hint) text ids
// and their bitmap sets; the sets of the display-mode, thumbnail-size and
// picture-size buttons follow the view's state (-1 here).
struct ButtonDef {
    int32_t id;
    uint32_t tip;
    int32_t set;
};
const ButtonDef kButtons[] = {
    {kIdOpenViewer, 62414, 4}, {kIdSave, 62403, 5},         {kIdPrint, 62404, 6},     {kIdDelete, 62405, 7},
    {kIdRotateLeft, 62406, 8}, {kIdRotateRight, 62407, 9},  {kIdSettings, 62408, 10}, {kIdTransfer, 62409, 11},
    {kIdHelp, 62410, 12},      {kIdDisplayMode, 62413, -1}, {kIdThumbSize, 62412, -1}, {kIdPictureSize, 62411, -1},
};

BitmapSource ProgramBitmaps() {
    return [](uint32_t id) { return ProgramDib(id); };
}

std::string FormatWith(std::string format, const std::string& arg) {
    const size_t at = format.find("%s");
    if (at != std::string::npos) format.replace(at, 2, arg);
    return format;
}

}  // namespace

CViewerView::CViewerView(BrowserSource& source, const ViewSettingsCopy& settings, ViewerViewServices services,
                         QWidget* parent)
    : QWidget(parent), source_(source), services_(std::move(services)), settings_(settings) {
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return OnMessage(m, w, l); }, this);
    const plat::WindowHandle self = receiver_->handle();
    BrowserViewHost& host = *this;
    model_ = std::make_unique<BrowserViewModel>(source_, host, [self](std::function<void()> work) {
        plat::postToWindowThread(self, [work = std::move(work)](plat::MessageReceiver&) { work(); });
    });
    model_->SetThumbSize(settings_.thumbSize);
    model_->SetBuildFromPicture(settings_.createThumbnail != 0);

    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    connect(tree_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem*, int) {
        treeTimer_->stop();
        FolderChanged();
    });
    treeTimer_ = new QTimer(this);
    treeTimer_->setInterval(500);
    treeTimer_->setSingleShot(true);
    connect(treeTimer_, &QTimer::timeout, this, [this] { CheckTreeSelection(); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { treeTimer_->start(); });

    PaneActions actions;
    actions.selectionChanged = [this] { UpdateViewerButtons(); };
    actions.deleteSelected = [this] { DeleteSelectedPictures(); };
    actions.scrollBy = [this](int32_t step) { ScrollTo(scroll_.Track(scroll_.Position() + step)); };
    actions.openViewer = [this] { plat::postMessage(handle(), UM_VIEW_SELECTION, 0, 0); };
    actions.contextMenu = [this](QPoint global) { ShowPaneMenu(global); };
    actions.dragOut = [this] {
        if (services_.dragOut) services_.dragOut(folder_);
        UpdateViewerButtons();
    };
    pane_ = new CThumbPaneWnd(*model_, services_.bitmaps ? services_.bitmaps : ProgramBitmaps(), actions, this);
    info_ = new CInfoEdit(this);
    info_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(info_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowInfoMenu(info_->mapToGlobal(at)); });
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { ShowTreeMenu(tree_->viewport()->mapToGlobal(at)); });
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (v != scroll_.Position()) ScrollTo(scroll_.Track(v));
    });
    busyLabel_ = new QLabel(this);
    busyTimer_ = new QTimer(this);
    busyTimer_->setInterval(500);
    connect(busyTimer_, &QTimer::timeout, this, [this] {
        busy_.Step();
        ShowBusyFrame();
    });
    ShowBusyFrame();
    BuildButtons();
    // The panels' art and the display-mode button follow the focus.
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this] {
        UpdateDisplayModeButton();
        update();
    });

    mode_.SetNext(settings_.viewInfo);
    ResetPane(0);
    if (services_.statusText) services_.statusText(0);
    ApplyNextDisplayMode();
    // A target already open (the browser opened from the transfer panel) is
    // shown at once; otherwise the main frame says when one opens.
    if (services_.targetConnected && services_.targetConnected())
        plat::postMessage(handle(), UM_TARGET_OPENED, 0, 0);
}

CViewerView::~CViewerView() {
    disconnect(focusWatch_);   // focus moves while the children go; this view is gone by then
    // The buttons outlive this object's members (Qt deletes them with the
    // widget): they must not reach the view's hot-button slot then.
    for (auto& [id, button] : hoverButtons_) button->SetHotSlot(nullptr);
    model_->StopThumbnailRun();
    model_.reset();
}

void CViewerView::BuildButtons() {
    for (const ButtonDef& def : kButtons) {
        auto* button = new BmpBtnViewer(this);
        button->setFocusPolicy(Qt::NoFocus);
        button->SetHotSlot(&hotButton_);
        button->SetTextId(def.tip);
        if (def.set >= 0) button->LoadBitmapSet(def.set, 0);
        if (services_.text) button->setToolTip(QString::fromStdString(services_.text(def.tip)));
        controls_[def.id] = button;
        hoverButtons_[def.id] = button;
    }
    UpdateSizeButtons();
    // Every button is the command of its control id (the pane's delete only with the pane focused).
    for (auto& [id, button] : controls_)
        connect(button, &QAbstractButton::clicked, this, [this, id = id] { OnCommand(id); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(f1, &QShortcut::activated, this, [this] {
        if (services_.help) services_.help(HelpControlId());
    });
    if (settings_.checkLocal == 0 && settings_.checkWeb == 0) controls_[kIdTransfer]->setEnabled(false);
}

// ---------------------------------------------------------------- tree and folders

void CViewerView::OpenTarget(const std::string& rootName) {
    std::vector<std::string> folders;
    if (const int32_t r = source_.GetFolderList(folders); r != 0) {
        ReportError(r);
        return;
    }
    tree_->clear();
    root_ = new QTreeWidgetItem(tree_, QStringList(QString::fromStdString(rootName)));
    for (const std::string& folder : folders) new QTreeWidgetItem(root_, QStringList(QString::fromStdString(folder)));
    root_->setExpanded(true);
    tree_->setCurrentItem(root_->childCount() > 0 ? root_->child(0) : root_);
    FolderChanged();
}

void CViewerView::RebuildTree() {
    if (!root_) return;
    std::vector<std::string> folders;
    if (const int32_t r = source_.GetFolderList(folders); r != 0) {
        ReportError(r);
        return;
    }
    const QString rootName = root_->text(0);
    tree_->clear();
    root_ = new QTreeWidgetItem(tree_, QStringList(rootName));
    QTreeWidgetItem* keep = root_;
    for (const std::string& folder : folders) {
        auto* item = new QTreeWidgetItem(root_, QStringList(QString::fromStdString(folder)));
        if (folder == folder_) keep = item;
    }
    root_->setExpanded(true);
    tree_->setCurrentItem(keep);
    if (keep == root_ && !rootSelected_) {
        // The folder on show is gone.
        model_->StopThumbnailRun();
        folder_.clear();
        rootSelected_ = true;
        ResetPane(0);
        UpdateViewerButtons();
    }
}

void CViewerView::SelectFolder(const std::string& folder) {
    if (!root_) return;
    QTreeWidgetItem* target = root_;
    for (int i = 0; i < root_->childCount(); ++i)
        if (root_->child(i)->text(0).toStdString() == folder) target = root_->child(i);
    tree_->setCurrentItem(target);
    FolderChanged();
}

void CViewerView::CheckTreeSelection() {
    QTreeWidgetItem* item = tree_->currentItem();
    const bool root = !item || item == root_;
    if (root != rootSelected_ || (!root && item->text(0).toStdString() != folder_)) FolderChanged();
}

void CViewerView::FolderChanged() {
    QTreeWidgetItem* item = tree_->currentItem();
    rootSelected_ = !item || item == root_;
    model_->StopThumbnailRun();
    busy_.Reset();
    ResetPane(0);
    if (rootSelected_) {
        folder_.clear();
        BusyAnimation(false);
        BroadcastAccessState(1);
        ResetStatusText();
    } else {
        folder_ = item->text(0).toStdString();
        if (!model_->StartFileListRead(folder_, 0)) ReportError(JqIfMngResult_NoMemory);
    }
    UpdateViewerButtons();
}

// ---------------------------------------------------------------- modes, sizes, layout

void CViewerView::ApplyNextDisplayMode() { ApplyDisplayMode(mode_.Apply()); }

void CViewerView::ApplyDisplayMode(int32_t mode) {
    settings_.viewInfo = mode;
    tree_->setVisible(DisplayMode::TreeShown(mode));
    info_->setVisible(DisplayMode::InfoShown(mode));
    if (DisplayMode::TreeShown(mode))
        tree_->setFocus();
    else
        pane_->setFocus();
    UpdateDisplayModeButton();
    Layout();
    update();
}

void CViewerView::UpdateDisplayModeButton() {
    auto found = hoverButtons_.find(kIdDisplayMode);
    if (found == hoverButtons_.end()) return;
    const int32_t mode = mode_.Current();
    const int32_t state = DisplayMode::ButtonState(mode, tree_->hasFocus(), info_->hasFocus());
    BmpBtnViewer* button = found->second;
    if (button->Set() == mode && button->State() == state) return;
    button->LoadBitmapSet(mode, state);
}

void CViewerView::UpdateSizeButtons() {
    hoverButtons_[kIdThumbSize]->LoadBitmapSet(ThumbSizeToSizeIndex(model_->ThumbSize()), 0);
    const int languageIndex = TheLanguage().IsBound() ? TheLanguage().LanguageIndex() : kFallbackLanguageIndex;
    hoverButtons_[kIdPictureSize]->LoadBitmapSet(
        ImageSizeButtonSet(static_cast<int>(settings_.imageSize), languageIndex), 0);
}

int32_t CViewerView::HelpControlId() const {
    // While a button is lit the help is the button's; otherwise the focused part's.
    for (const auto& [id, button] : hoverButtons_)
        if (button->IsHot()) return HelpIdForButtonSet(button->Set());
    if (tree_->hasFocus()) return kIdTree;
    if (info_->hasFocus()) return kIdInfo;
    return kIdPane;
}

void CViewerView::SetHintWindow(plat::WindowHandle frame) {
    for (auto& [id, button] : hoverButtons_) button->SetFrame(frame);
}

void CViewerView::SetThumbSize(int32_t size) {
    if (size == model_->ThumbSize()) return;
    settings_.thumbSize = size;
    model_->SetThumbSize(size);
    UpdateSizeButtons();
    model_->RestartThumbnailRun();
}

void CViewerView::ShowBusyFrame() {
    busyLabel_->setPixmap(QPixmap::fromImage(ProgramPicture(static_cast<uint32_t>(CountToBitmapId(busy_.Frame())))));
}

void CViewerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    BrowserArtLayout art;
    art.width = width();
    art.height = height();
    art.leftPanel = tree_->isVisible() || info_->isVisible();
    art.leftPanelFocused = tree_->hasFocus() || info_->hasFocus();
    art.thumbArea = pane_->geometry().united(scrollBar_->geometry());
    art.thumbAreaFocused = pane_->hasFocus();
    PaintBrowserArt(painter, art);
}

void CViewerView::Layout() {
    const int32_t v = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int32_t mode = mode_.Current();
    auto place = [&](QWidget* w, int32_t id) {
        const ViewRect r = ControlRect(id, mode, width(), height(), v);
        w->setGeometry(r.x, r.y, r.width, r.height);
    };
    place(tree_, kIdTree);
    place(info_, kIdInfo);
    place(pane_, kIdPane);
    place(scrollBar_, kIdScrollBar);
    place(busyLabel_, kIdBusy);
    for (auto& [id, button] : controls_) place(button, id);
    model_->Reflow();
    RefitScroll();
    pane_->update();
}

void CViewerView::RefitScroll() {
    int32_t lastTop = -1;
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        const BrowserItems& items = model_->Items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items.cell(i).placed) lastTop = std::max(lastTop, items.cell(i).top);
    }
    if (lastTop < 0) return;   // nothing placed: the range is the reset one
    scroll_.Refit(lastTop, model_->ThumbSize(), pane_->height());
    ScrollTo(0);
}

void CViewerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
}

void CViewerView::wheelEvent(QWheelEvent* event) { ScrollTo(scroll_.Wheel(event->angleDelta().y())); }

void CViewerView::ScrollTo(int32_t) {
    pane_->SetScrollOffset(15 + scroll_.Position());
    scrollBar_->setEnabled(scroll_.Enabled());
    scrollBar_->setRange(0, std::max(0, scroll_.Maximum() - scroll_.Page()));
    scrollBar_->setPageStep(scroll_.Page());
    scrollBar_->setSingleStep(10);
    scrollBar_->setValue(scroll_.Position());
}

// ---------------------------------------------------------------- host of the model

int32_t CViewerView::PaneWidth() { return pane_->width(); }

void CViewerView::ResetPane(int32_t) {
    scroll_.Reset();
    ScrollTo(0);
    pane_->ResetPane(true);
}

void CViewerView::ItemPlaced(size_t index) {
    int32_t top = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        if (index >= model_->Items().size()) return;
        top = model_->Items().cell(index).top;
    }
    scroll_.GrowTo(top, model_->ThumbSize(), pane_->height());
    ScrollTo(0);
    pane_->RepaintItem(index);
}

void CViewerView::ItemsChanged() { pane_->update(); }

void CViewerView::BusyAnimation(bool on) {
    busy_.Reset();
    ShowBusyFrame();
    if (on)
        busyTimer_->start();
    else
        busyTimer_->stop();
}

void CViewerView::BroadcastAccessState(int32_t flag) {
    if (services_.accessState) services_.accessState(flag);
}

void CViewerView::ResetStatusText() {
    if (services_.statusText) services_.statusText(0);
}

void CViewerView::SelectionChanged(int32_t index) {
    info_->SetInfoText(index >= 0 && services_.infoText ? services_.infoText(index) : std::string());
}

void CViewerView::ReportError(int32_t code) {
    plat::postMessage(handle(), UM_ERROR, static_cast<plat::WParam>(static_cast<int64_t>(code)), 0);
}

void CViewerView::ReportLibraryResult(int32_t kind) {
    plat::postMessage(handle(), UM_LIBRARY_RESULT, static_cast<plat::WParam>(kind), 1);
}

void CViewerView::TargetMessage(int32_t textId) {
    if (services_.targetMessage) services_.targetMessage(textId);
}

// Posted like the main frame's own status check, so a change found either way is
// handled alike and in the same order: folders first, then the files.
void CViewerView::TargetChanged(int32_t status) {
    if (status == JqIfMngResult_StatusFoldersChanged || status == JqIfMngResult_StatusBothChanged)
        plat::postMessage(handle(), UM_TARGET_CHANGED, 0, 0);
    if (status == JqIfMngResult_StatusFilesChanged || status == JqIfMngResult_StatusBothChanged)
        plat::postMessage(handle(), UM_TARGET_FILES_CHANGED, 0, 0);
}

// ---------------------------------------------------------------- messages and boxes

plat::LResult CViewerView::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam) {
    switch (message) {
    case UM_ERROR: ShowErrorBox(static_cast<int32_t>(static_cast<int64_t>(wParam))); return 0;
    case UM_LIBRARY_RESULT: ShowLibraryResult(static_cast<int32_t>(wParam), lParam != 0); return 0;
    case UM_TARGET_FILES_CHANGED: model_->OnTargetFilesChanged(); return 0;
    case UM_TARGET_CHANGED: OnTargetChanged(); return 0;
    case UM_TRANSFER_REQUEST: OnTransferRequest(); return 0;
    case UM_VIEW_SELECTION: OpenSelectionInViewer(); return 0;
    case UM_OPEN_VIEWER: {
        // The open job hands over a picture and its title; both are ours now.
        std::unique_ptr<PictureRecord> picture(reinterpret_cast<PictureRecord*>(wParam));
        std::unique_ptr<std::string> title(reinterpret_cast<std::string*>(lParam));
        if (viewerRequest_ && picture && title && services_.openViewerFrame)
            services_.openViewerFrame(picture, *title);
        if (picture) {
            FreePictureRecord(picture, true);
            viewerRequest_ = false;
        }
        return 0;
    }
    case UM_FILE_MISSING:
        if (!services_.askOkCancel || services_.askOkCancel(services_.text ? services_.text(61643) : std::string()))
            model_->OnTargetFilesChanged();
        return 0;
    case UM_TARGET_OPENED:
        if (services_.readTransferMarks) services_.readTransferMarks();
        OpenTarget(services_.text ? services_.text(source_.IsCamera() ? 62421 : 62422) : std::string());
        return 0;
    default: return 0;
    }
}

void CViewerView::ShowErrorBox(int32_t code) {
    // Whatever failed, a camera that went away is the message.
    if (source_.IsSessionLost() != 0) code = JqIfMngResult_NoAnswer;
    const BoxDecision d = DecideErrorBox(code);
    if (!d.show) {
        model_->SetIdle(true);
        UpdateViewerButtons();
        return;
    }
    std::string text;
    if (services_.text) {
        if (d.withProgramName)
            text = FormatWith(services_.text(static_cast<uint32_t>(d.textId)), services_.text(62051));
        else if (d.textId != 0)
            text = services_.text(static_cast<uint32_t>(d.textId));
        else
            text = services_.text(static_cast<uint32_t>(CImageFileIf::GetErrorStringID(code, 0)));
    }
    BroadcastAccessState(0);
    if (services_.box) services_.box(d, text);
    if (d.closeTarget) {
        if (services_.closeTarget) services_.closeTarget();
        return;
    }
    model_->SetIdle(true);
    ResetStatusText();
    BroadcastAccessState(1);
    UpdateViewerButtons();
}

void CViewerView::ShowLibraryResult(int32_t kind, bool fatal) {
    const BoxDecision d = DecideLibraryResult(kind, fatal);
    BroadcastAccessState(0);
    if (services_.box) services_.box(d, services_.text ? services_.text(static_cast<uint32_t>(d.textId)) : "");
    if (d.closeTarget) {
        if (services_.closeTarget) services_.closeTarget();
        return;
    }
    model_->SetIdle(true);
    ResetStatusText();
    BroadcastAccessState(1);
}

void CViewerView::UpdateViewerButtons() {
    ButtonInputs in;
    const SelectionCounts& c = model_->Counts();
    in.anySelected = c.anySelected;
    in.treeFocus = tree_->hasFocus();
    in.paneFocus = pane_->hasFocus();
    in.idle = model_->Idle();
    in.rootSelected = rootSelected_;
    in.treeHasItems = tree_->topLevelItemCount() > 0;
    in.selected = c.selected;
    in.selectedMovies = c.selectedMovies;
    in.selectedWithoutThumb = c.selectedWithoutThumb;
    in.movieSelected = c.anyMovie;
    in.checkLocal = settings_.checkLocal != 0;
    in.checkWeb = settings_.checkWeb != 0;
    buttons_ = ::UpdateViewerButtons(in);
    controls_[kIdOpenViewer]->setEnabled(buttons_.open);
    controls_[kIdSave]->setEnabled(buttons_.save);
    controls_[kIdPrint]->setEnabled(buttons_.print);
    controls_[kIdRotateLeft]->setEnabled(buttons_.rotate);
    controls_[kIdRotateRight]->setEnabled(buttons_.rotate);
    controls_[kIdTransfer]->setEnabled(buttons_.transfer);
    controls_[kIdDelete]->setEnabled(buttons_.remove);
}

bool CViewerView::SaveSettings(CViewSettings& settings, const FrameGeometry& frame) const {
    ViewSettingsCopy copy = settings_;
    copy.thumbSize = model_->ThumbSize();
    return SaveViewSettings(settings, copy, frame, mode_.Current());
}

void CViewerView::DeleteSelectedPictures() {
    BrowserViewModel& model = *model_;
    if (model.Counts().selected == 0 || !model.RunActive()) return;
    bool protectedOne = false;
    {
        std::lock_guard<std::recursive_mutex> lock(model.ItemLock());
        for (const BrowserItem& item : model.Items().list())
            if (item.selected && item.record && item.record->protect) protectedOne = true;
    }
    if (services_.suspendDeviceCheck) services_.suspendDeviceCheck();
    const std::string question = services_.text ? services_.text(protectedOne ? 61641 : 61640) : std::string();
    if (services_.askOkCancel && services_.askOkCancel(question)) {
        const bool oneSelected = model.Counts().selected == 1;
        model.StopWorkerThreads();
        int32_t removed = 0;
        {
            std::lock_guard<std::recursive_mutex> lock(model.ItemLock());
            if (services_.removeFiles) services_.removeFiles(model.Items().list(), folder_);
            removed = CompactRemovedItems(model.Items(), model.ThumbSize());
            pane_->Selection().ClearAnchor();
        }
        if (oneSelected) SelectionChanged(-1);
        model.RecountSelection(false);
        scroll_.Reset();
        {
            std::lock_guard<std::recursive_mutex> lock(model.ItemLock());
            const size_t n = model.Items().size();
            if (n > 0) scroll_.GrowTo(model.Items().cell(n - 1).top, model.ThumbSize(), pane_->height());
        }
        ScrollTo(0);
        if (removed > 0) source_.CheckSource(folder_);
        UpdateViewerButtons();
        pane_->update();
        BroadcastAccessState(1);
    }
    if (services_.resumeDeviceCheck && services_.resumeDeviceCheck() != 0) ReportError(JqIfMngResult_Failed);
}

void CViewerView::RotateSelected(int32_t direction) {
    int32_t r = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        r = RotateSelectedThumbnails(model_->Items().list(), direction);
    }
    if (r == 0) {
        ReportError(JqIfMngResult_NoMemory);
        return;
    }
    model_->RecentreSelected();
    pane_->update();
}

void CViewerView::SaveSelected() {
    const std::string path = services_.chooseFolder ? services_.chooseFolder(settings_.repFolder) : std::string();
    if (path.empty()) {
        pane_->setFocus();
        return;
    }
    const DriveKind drive = services_.driveKind ? services_.driveKind(path) : DriveKind::Fixed;
    const bool readable = services_.statusReadable ? services_.statusReadable(path) : true;
    if (const int32_t refusal = CheckSaveTarget(path, drive, readable); refusal != 0) {
        std::string text = services_.text ? services_.text(static_cast<uint32_t>(refusal)) : std::string();
        if (refusal != 61602) {
            std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
            for (const BrowserItem& item : model_->Items().list())
                if (item.selected) {
                    text = FormatWith(text, item.fileName);
                    break;
                }
        }
        BoxDecision d;
        if (services_.box) services_.box(d, text);
        return;
    }
    model_->StopWorkerThreads();
    settings_.repFolder = path;
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        if (services_.saveFiles) services_.saveFiles(model_->Items().list(), folder_, path);
    }
    BroadcastAccessState(1);
}

void CViewerView::SetAttribute(int32_t kind, bool on) {
    if (!services_.setAttribute || !model_->RecountSelection(false)) return;
    if (services_.suspendDeviceCheck) services_.suspendDeviceCheck();
    // The readers stop for the job (and the registered viewers are told); the
    // thumbnails not read yet are read afterwards.
    const bool wasReading = !model_->Idle();
    model_->StopWorkerThreads();
    int32_t r = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        r = services_.setAttribute(kind, on, model_->Items().list(), folder_);
    }
    BroadcastAccessState(1);
    if (wasReading) model_->RestartThumbnailRun();
    const int32_t resumed = services_.resumeDeviceCheck ? services_.resumeDeviceCheck() : 0;
    r = AttributeJobResult(r, resumed);
    if (r == JqIfMngResult_NotFound) {
        // The picture is gone: ask, and unless Cancel read the folder again.
        if (!services_.askOkCancel || services_.askOkCancel(services_.text ? services_.text(61643) : std::string()))
            model_->OnTargetFilesChanged();
    } else if (r != 0) {
        ReportError(r);
    }
    pane_->update();
}

// ---------------------------------------------------------------- commands

CViewerView::Focus CViewerView::FocusedPart() const {
    const QWidget* f = window() ? window()->focusWidget() : nullptr;
    auto within = [f](const QWidget* w) { return f && (f == w || w->isAncestorOf(f)); };
    if (within(pane_)) return Focus::Pane;
    if (within(tree_)) return Focus::Tree;
    if (within(info_)) return Focus::Info;
    return Focus::None;
}

bool CViewerView::CommandEnabled(int32_t command) const {
    const Focus focus = FocusedPart();
    FrameInputs in;
    in.idle = model_->Idle();
    in.paneFocus = focus == Focus::Pane;
    in.treeFocus = focus == Focus::Tree;
    in.infoFocus = focus == Focus::Info;
    in.items = static_cast<int32_t>(model_->Items().size());
    in.selected = model_->Counts().selected;
    in.selectedMovies = model_->Counts().selectedMovies;
    in.selectedWithoutThumb = model_->Counts().selectedWithoutThumb;
    in.treeHasItems = tree_->topLevelItemCount() > 0;
    in.rootSelected = rootSelected_;
    in.checkLocal = settings_.checkLocal != 0;
    in.checkWeb = settings_.checkWeb != 0;
    in.infoHasSelection = info_->textCursor().hasSelection();
    in.targetConnected = services_.targetConnected && services_.targetConnected();
    return IsFrameCommandEnabled(command, in);
}

bool CViewerView::CommandChecked(int32_t command) const {
    const int32_t mode = mode_.Current();
    switch (command) {
    case 32771: case 32795: return DisplayMode::TreeShown(mode);
    case 32796: case 32776: return DisplayMode::InfoShown(mode);
    default: break;
    }
    if (command >= 32814 && command <= 32818) return ThumbSizeForCommand(command) == model_->ThumbSize();
    if (command >= 32824 && command <= 32827) return static_cast<uint32_t>(command - 32824) == settings_.imageSize;
    return false;
}

void CViewerView::OnCommand(int32_t command) {
    const Focus focus = FocusedPart();
    switch (command) {
    case 32771: case 32795: ApplyDisplayMode(mode_.ToggleTree()); return;
    case 32776: case 32796: ApplyDisplayMode(mode_.ToggleInfo()); return;
    case kIdDisplayMode: ApplyNextDisplayMode(); return;
    case kIdThumbSize: ShowThumbSizeMenu(); return;
    case kIdPictureSize: ShowPictureSizeMenu(); return;
    case kIdRotateLeft: case 32800: case 32782: RotateSelected(3); return;
    case kIdRotateRight: case 32799: case 32781: RotateSelected(1); return;
    case 32792:
        if (focus == Focus::Info) info_->selectAll();
        else pane_->SelectAll();
        return;
    case 57634: info_->copy(); return;
    case 32788: case 32789: case 32790: case 32791: SelectByMark(command); return;
    case kIdDelete: case 32808:
        if (focus == Focus::Tree && !rootSelected_) RemoveFolder(folder_);
        else if (focus == Focus::Pane) DeleteSelectedPictures();
        return;
    case 32780: DeleteSelectedPictures(); return;
    case 32772:
        if (rightClicked_ && rightClicked_ != root_) RemoveFolder(rightClicked_->text(0).toStdString());
        return;
    case 32802: case 32803: SetAttribute(2, command == 32802); return;
    case 32804: case 32805: SetAttribute(1, command == 32804); return;
    case kIdSave: case 32828: SaveSelected(); return;
    case 32810: FormatCard(); return;
    case kIdSettings: case 32793:
        if (services_.settingsSheet && services_.settingsSheet() && services_.viewSettings) {
            const ViewSettingsCopy stored = services_.viewSettings();
            settings_.repFolder = stored.repFolder;
        }
        pane_->setFocus();
        return;
    case kIdTransfer: case 32811: case 32779: {
        if (!services_.transfer) return;
        model_->StopWorkerThreads();
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        services_.transfer(model_->Items().list(), folder_, settings_);
        pane_->setFocus();
        BroadcastAccessState(1);
        return;
    }
    case kIdHelp: case 57667: if (services_.help) services_.help(kIdHelp); return;
    case kIdOpenViewer: case 32829: case 32777: plat::postMessage(handle(), UM_VIEW_SELECTION, 0, 0); return;
    case 32812: PrintSelection(kPrintIndex); return;
    case kIdPrint: case 32813: case 32785: PrintSelection(kPrintOneAPage); return;
    case 32773:
        if (services_.indexSheets) {
            model_->StopWorkerThreads();
            std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
            services_.indexSheets(model_->Items().list(), folder_);
            BroadcastAccessState(1);
        }
        return;
    default:
        if (command >= 32814 && command <= 32818) SetThumbSize(ThumbSizeForCommand(command));
        else if (command >= 32824 && command <= 32827) {
            settings_.imageSize = static_cast<uint32_t>(command - 32824);
            UpdateSizeButtons();   // the picture-size button shows the new choice
        }
        return;
    }
}

void CViewerView::OpenSelectionInViewer() {
    if (model_->Items().empty() || !services_.openSelection) return;
    model_->StopWorkerThreads();
    BusyAnimation(false);
    model_->SetIdle(true);
    viewerRequest_ = true;
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        services_.openSelection(model_->Items().list(), folder_);
    }
    BroadcastAccessState(1);
    UpdateViewerButtons();
}

void CViewerView::PrintSelection(int32_t mode) {
    // One print at a time: a second request while the dialog is up does nothing.
    if (printing_ || !services_.printSelection) return;
    printing_ = true;
    model_->StopWorkerThreads();
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        services_.printSelection(mode, model_->Items().list(), folder_);
    }
    printing_ = false;
    BroadcastAccessState(1);
    pane_->setFocus();
}

void CViewerView::FolderListed(const std::string& folder) {
    if (services_.folderListed) services_.folderListed(folder);
}

void CViewerView::OnTargetChanged() {
    if (!rootSelected_ && !folder_.empty()) {
        int32_t code = 0;
        const bool there = source_.IsFolder(folder_, &code);
        if (code == JqIfMngResult_FolderNotFound || (!there && code == 0)) {
            BoxDecision d;
            d.icon = BoxIcon::Exclamation;
            if (services_.box) services_.box(d, services_.text ? services_.text(61638) : std::string());
            model_->StopThumbnailRun();
            folder_.clear();
            rootSelected_ = true;
            ResetPane(0);
            model_->SetIdle(true);
        } else if (code != 0) {
            ReportError(code);
        }
    }
    RebuildTree();
    UpdateViewerButtons();
}

void CViewerView::RemoveFolder(const std::string& folder) {
    if (folder.empty() || !model_->Idle() || !services_.removeFolder) return;
    const bool holdsPictures = source_.HasFiles(folder);
    if (services_.suspendDeviceCheck) services_.suspendDeviceCheck();
    const std::string question =
        services_.text ? FormatWith(services_.text(holdsPictures ? 61636 : 61635), folder) : std::string();
    if (services_.askOkCancel && services_.askOkCancel(question)) {
        const bool shown = !rootSelected_ && folder == folder_;
        model_->StopWorkerThreads();
        BroadcastAccessState(0);
        const int32_t removed = services_.removeFolder(folder);
        if (removed < 0) {
            ReportError(JqIfMngResult_NoMemory);
        } else if (removed == 0) {
            // Its message has been shown; what is left of the folder is read again.
            if (shown) model_->OnTargetFilesChanged();
        } else {
            if (shown) {
                folder_.clear();
                model_->StopThumbnailRun();
                rootSelected_ = true;
                tree_->setCurrentItem(root_);
                ResetPane(0);
                UpdateViewerButtons();
            }
            RebuildTree();
        }
        BroadcastAccessState(1);
    }
    if (services_.resumeDeviceCheck && services_.resumeDeviceCheck() != 0) ReportError(JqIfMngResult_Failed);
    UpdateViewerButtons();
}

void CViewerView::SelectByMark(int32_t command) {
    const bool transferMark = command == 32788 || command == 32789;
    const bool on = command == 32788 || command == 32790;
    const int32_t before = model_->Counts().selected;
    const int32_t n = pane_->SelectByMark(transferMark, on);
    if (n != 1 && before == 1) SelectionChanged(-1);
    UpdateViewerButtons();
}

// ---------------------------------------------------------------- menus

void CViewerView::ShowPaneMenu(QPoint global) {
    if (services_.statusText) services_.statusText(0);
    const SelectionCounts& c = model_->Counts();
    const PaneMenuStates states = PaneMenuEnabling(c.selected, c.selectedMovies, c.selectedWithoutThumb,
                                                   model_->Idle(), settings_.checkLocal != 0, settings_.checkWeb != 0);
    LangMenuHooks hooks;
    hooks.enabled = [states](int32_t command) {
        switch (command) {
        case 32777: return states.open;
        case 32828: return states.save;
        case 32785: return states.print;
        case 32781: case 32782: return states.rotate;
        case 32779: return states.transfer;
        case 32780: return states.remove;
        default: return true;
        }
    };
    hooks.run = [this](int32_t command) { OnCommand(command); };
    PopupLangMenu(140, this, global, hooks);
}

void CViewerView::ShowTreeMenu(QPoint global) {
    QTreeWidgetItem* item = tree_->itemAt(tree_->viewport()->mapFromGlobal(global));
    rightClicked_ = item && item != root_ ? item : nullptr;
    LangMenuHooks hooks;
    hooks.enabled = [this](int32_t command) { return command != 32772 || model_->Idle(); };
    hooks.checked = [this](int32_t command) { return CommandChecked(command); };
    hooks.run = [this](int32_t command) { OnCommand(command); };
    PopupLangMenu(rightClicked_ ? 137 : 136, this, global, hooks);
}

void CViewerView::ShowInfoMenu(QPoint global) {
    info_->setFocus(Qt::MouseFocusReason);
    const bool one = model_->Counts().selected == 1;
    LangMenuHooks hooks;
    hooks.enabled = [this, one](int32_t command) {
        if (command == 32792) return one;
        if (command == 57634) return one && info_->textCursor().hasSelection();
        return true;
    };
    hooks.checked = [this](int32_t command) { return CommandChecked(command); };
    hooks.run = [this](int32_t command) { OnCommand(command); };
    PopupLangMenu(139, this, global, hooks);
}

void CViewerView::ShowThumbSizeMenu() {
    QAbstractButton* at = controls_[kIdThumbSize];
    LangMenuHooks hooks;
    hooks.checked = [this](int32_t command) { return CommandChecked(command); };
    hooks.run = [this](int32_t command) { OnCommand(command); };
    PopupLangMenu(141, this, at->mapToGlobal(QPoint(0, at->height())), hooks);
    pane_->setFocus();
}

void CViewerView::ShowPictureSizeMenu() {
    QAbstractButton* at = controls_[kIdPictureSize];
    LangMenuHooks hooks;
    hooks.checked = [this](int32_t command) { return CommandChecked(command); };
    hooks.run = [this](int32_t command) { OnCommand(command); };
    PopupLangMenu(143, this, at->mapToGlobal(QPoint(0, at->height() - 2)), hooks);
    pane_->setFocus();
}

void CViewerView::FormatCard() {
    if (!services_.formatCard) return;
    if (services_.suspendDeviceCheck) services_.suspendDeviceCheck();
    model_->StopWorkerThreads();
    BroadcastAccessState(0);
    if (services_.formatCard() == 0) {
        model_->StopThumbnailRun();
        // The card is empty now: the browser has nothing left to show.
        if (services_.clearTargetConnected) services_.clearTargetConnected();
        tree_->clear();
        root_ = nullptr;
        folder_.clear();
        rootSelected_ = true;
        ResetPane(0);
        BoxDecision d;
        d.icon = BoxIcon::Information;
        if (services_.box) services_.box(d, services_.text ? services_.text(61668) : std::string());
        if (services_.closeTarget) services_.closeTarget();
    } else {
        BroadcastAccessState(1);
        // Not formatted (declined, refused or failed): the pictures are shown again.
        if (!rootSelected_) model_->OnTargetFilesChanged();
    }
    if (services_.resumeDeviceCheck && services_.resumeDeviceCheck() != 0) ReportError(JqIfMngResult_Failed);
}

void CViewerView::OnTransferRequest() {
    if (services_.suspendDeviceCheck) services_.suspendDeviceCheck();
    const CameraRequestDecision d =
        DecideCameraRequest(services_.webUpload, settings_.checkLocal != 0, settings_.checkWeb != 0);
    const bool replied = services_.replyToCamera != nullptr;
    if (d.askUser) {
        // The camera hears that somebody is looking before the user is asked.
        if (!replied || !services_.replyToCamera(true)) {
            BoxDecision stop;
            if (services_.box) services_.box(stop, services_.text ? services_.text(61675) : std::string());
        } else if (services_.askOkCancel &&
                   services_.askOkCancel(services_.text ? services_.text(61670) : std::string())) {
            if (services_.acceptCameraRequest) services_.acceptCameraRequest();
        } else {
            services_.replyToCamera(false);
        }
    } else {
        BoxDecision info;
        info.icon = BoxIcon::Information;
        if (services_.box) services_.box(info, services_.text ? services_.text(d.refuseTextId) : std::string());
        if (replied) services_.replyToCamera(false);
    }
    if (services_.resumeDeviceCheck && services_.resumeDeviceCheck() != 0) ReportError(JqIfMngResult_Failed);
}
