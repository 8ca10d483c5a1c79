#include "viewer/browser/view/ViewerView.h"

#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include "platform/msg/Messaging.h"
#include "viewer/browser/PictureDrawing.h"
#include "viewer/browser/view/InfoEdit.h"
#include "viewer/browser/view/LongOperation.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqIfMngResult.h"

namespace {

// The hover buttons of the view with their tooltip text ids.
struct ButtonDef {
    int32_t id;
    uint32_t tip;
};
const ButtonDef kButtons[] = {
    {kIdOpenViewer, 62414}, {kIdSave, 62403},         {kIdPrint, 62404},    {kIdDelete, 62405},
    {kIdRotateLeft, 62406}, {kIdRotateRight, 62407},  {kIdSettings, 62408}, {kIdTransfer, 62409},
    {kIdHelp, 62410},       {kIdDisplayMode, 62413},  {kIdThumbSize, 62412}, {kIdPictureSize, 62411},
};

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
    pane_ = new CThumbPaneWnd(*model_, services_.bitmaps, actions, this);
    info_ = new CInfoEdit(this);
    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (v != scroll_.Position()) ScrollTo(scroll_.Track(v));
    });
    busyLabel_ = new QLabel(this);
    busyTimer_ = new QTimer(this);
    busyTimer_->setInterval(500);
    connect(busyTimer_, &QTimer::timeout, this, [this] { busyLabel_->setNum(busy_.Step()); });
    BuildButtons();

    mode_.SetNext(settings_.viewInfo);
    ResetPane(0);
    if (services_.statusText) services_.statusText(0);
    ApplyNextDisplayMode();
}

CViewerView::~CViewerView() {
    model_->StopThumbnailRun();
    model_.reset();
}

void CViewerView::BuildButtons() {
    for (const ButtonDef& def : kButtons) {
        auto* button = new QToolButton(this);
        if (services_.text) button->setToolTip(QString::fromStdString(services_.text(def.tip)));
        controls_[def.id] = button;
    }
    connect(controls_[kIdDelete], &QAbstractButton::clicked, this, [this] {
        if (pane_->hasFocus()) DeleteSelectedPictures();
    });
    connect(controls_[kIdRotateLeft], &QAbstractButton::clicked, this, [this] { RotateSelected(3); });
    connect(controls_[kIdRotateRight], &QAbstractButton::clicked, this, [this] { RotateSelected(1); });
    connect(controls_[kIdSave], &QAbstractButton::clicked, this, [this] { SaveSelected(); });
    connect(controls_[kIdDisplayMode], &QAbstractButton::clicked, this, [this] { ApplyNextDisplayMode(); });
    connect(controls_[kIdThumbSize], &QAbstractButton::clicked, this, [this] {
        QMenu menu(this);
        for (int32_t command = 32814; command <= 32818; ++command) {
            const int32_t size = ThumbSizeForCommand(command);
            QAction* a = menu.addAction(QString::number(size));
            a->setCheckable(true);
            a->setChecked(size == model_->ThumbSize());
            connect(a, &QAction::triggered, this, [this, size] { SetThumbSize(size); });
        }
        menu.exec(controls_[kIdThumbSize]->mapToGlobal(QPoint(0, controls_[kIdThumbSize]->height())));
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

void CViewerView::ApplyNextDisplayMode() {
    const int32_t mode = mode_.Apply();
    settings_.viewInfo = mode;
    tree_->setVisible(DisplayMode::TreeShown(mode));
    info_->setVisible(DisplayMode::InfoShown(mode));
    if (DisplayMode::TreeShown(mode))
        tree_->setFocus();
    else
        pane_->setFocus();
    Layout();
}

void CViewerView::SetThumbSize(int32_t size) {
    if (size == model_->ThumbSize()) return;
    settings_.thumbSize = size;
    model_->SetThumbSize(size);
    model_->RestartThumbnailRun();
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
    pane_->update();
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
    busyLabel_->setNum(busy_.Frame());
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
    case UM_TARGET_CHANGED: RebuildTree(); return 0;
    case UM_TARGET_OPENED:
        if (services_.readTransferMarks) services_.readTransferMarks();
        OpenTarget(services_.text ? services_.text(source_.IsCamera() ? 62421 : 62422) : std::string());
        return 0;
    default: return 0;
    }
}

void CViewerView::ShowErrorBox(int32_t code) {
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
    if (services_.suspendDeviceCheck) services_.suspendDeviceCheck();
    int32_t r = 0;
    {
        std::lock_guard<std::recursive_mutex> lock(model_->ItemLock());
        if (services_.setAttribute) r = services_.setAttribute(kind, on, model_->Items().list(), folder_);
    }
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
