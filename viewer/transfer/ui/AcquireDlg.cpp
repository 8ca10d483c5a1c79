#include "viewer/transfer/ui/AcquireDlg.h"

#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "viewer/shell/common/LangMenu.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/transfer/TransTypes.h"
#include "viewer/transfer/ui/SelectImage.h"
#include "viewer/transfer/ui/TransPreviewDlg.h"
#include "viewer/transfer/ui/TransSimpleDlg.h"
#include "viewer/shell/ui/UiText.h"
#include "viewer/transfer/ui/TransTexts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QGuiApplication>
#include <QToolButton>

#include "viewer/shell/ui/BmpBtnAcquire.h"

namespace {

constexpr uint32_t kTextTitle = 62101;
constexpr uint32_t kTextSelectionCaption = 149;
constexpr uint32_t kTextCaptionOffset = 62301;
constexpr uint32_t kTextSelectionOffset = 62302;
constexpr uint32_t kMenuImageSize = 143;
constexpr uint32_t kHelpTopic = 102;
constexpr size_t kToolTipChars = 79;   // the tip record holds 80 characters with the end

const QColor kPanelBack(223, 231, 246);
const QColor kMarker(52, 92, 176);

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The tip of a control: the language text of its id, at most 79 characters.
QString ToolTip(uint32_t id) {
    const QString text = Q(TransText(id));
    return text.left(int(kToolTipChars));
}

// The captions of the picture-size menu: the language menu's first pop-up, or
// its own items when it has none.
std::vector<std::string> ImageSizeCaptions() {
    std::vector<std::string> captions;
    CLangMenu menu;
    if (menu.LoadMenu(kMenuImageSize) && menu.GetMenu() && !menu.GetMenu()->empty()) {
        const auto& top = *menu.GetMenu();
        const auto& items = top.front().kind == plat::lang::MenuItem::Kind::Popup ? top.front().items : top;
        for (const auto& item : items)
            if (item.kind == plat::lang::MenuItem::Kind::Command) captions.push_back(item.text);
    }
    for (int i = int(captions.size()); i < kImageSizes; ++i) {
        const std::string text = TransText(kCmdImageSizeFirst + uint32_t(i));
        captions.push_back(text.empty() ? std::to_string(i) : text);
    }
    captions.resize(kImageSizes);
    return captions;
}

}  // namespace

CAcquireDlg::CAcquireDlg(AcquireHost* host, QWidget* parent) : QDialog(parent), host_(host) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setFont(DialogFont());
    setWindowTitle(Q(TransText(kTextTitle)));
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return OnMessage(m, w, l); }, this);

    // OnInitDialog: the choices, the layout, the faces, the tips, the state.
    if (host_ && host_->Settings()) logic_.LoadChoices(*host_->Settings());
    logic_.SetWebUpload(host_ && host_->WebUploadAvailable());

    // The seven hover buttons show the panel's pictures: transfer, the picture
    // size (its own row for each size), the selection, browser, settings, help, exit.
    MakeButton(kTransfer, 8, QRect(12, 9, 46, 44));
    MakeButton(kImageSize, ImageSizeRow(), QRect(60, 30, 104, 21));
    MakeButton(kSelection, 9, QRect(22, 63, 129, 20));
    MakeButton(kBrowser, 10, QRect(12, 123, 37, 36));
    MakeButton(kSettings, 11, QRect(50, 123, 37, 36));
    MakeButton(kHelp, 12, QRect(88, 123, 37, 36));
    MakeButton(kExit, 13, QRect(126, 123, 37, 36));
    // The destination toggles keep a face of their own in both states: off must
    // be seen as off, not as nothing.
    for (Control toggle : {kToggleLocal, kToggleWeb}) {
        auto* b = new QToolButton(this);
        b->setGeometry(toggle == kToggleLocal ? QRect(61, 11, 15, 14) : QRect(105, 11, 15, 14));
        b->setToolTip(ToolTip(toggle));
        b->setFocusPolicy(Qt::NoFocus);
        b->setCheckable(true);
        buttons_[toggle] = b;
    }
    localLabel_ = new QLabel(Q(TransText(kToggleLocal)), this);
    webLabel_ = new QLabel(Q(TransText(kToggleWeb)), this);

    selectionCaption_ = new QLabel(Q(TransText(kTextSelectionCaption)), this);
    selectionCaption_->setAttribute(Qt::WA_TransparentForMouseEvents);
    selectionText_ = new QLabel(this);

    sizeMenu_ = new QMenu(this);
    const auto captions = ImageSizeCaptions();
    for (int i = 0; i < kImageSizes; ++i) {
        QAction* a = sizeMenu_->addAction(Q(captions[size_t(i)]));
        a->setCheckable(true);
        const uint32_t command = kCmdImageSizeFirst + uint32_t(i);
        connect(a, &QAction::triggered, this, [this, command] { OnImageSizeCommand(command); });
    }

    connect(buttons_[kTransfer], &QAbstractButton::clicked, this, [this] { OnTransfer(); });
    connect(buttons_[kImageSize], &QAbstractButton::clicked, this, [this] {
        const QRect r = buttons_[kImageSize]->geometry();
        const auto actions = sizeMenu_->actions();
        for (int i = 0; i < actions.size(); ++i) actions[i]->setChecked(uint32_t(i) == logic_.ImageSize());
        sizeMenu_->exec(mapToGlobal(QPoint(r.left(), r.bottom() + 1 - 2)));
    });
    connect(buttons_[kSelection], &QAbstractButton::clicked, this, [this] { OnSelection(); });
    // The caption sits on the selection button and moves with it when pressed.
    connect(buttons_[kSelection], &QAbstractButton::pressed, this, [this] { selectionCaption_->move(23, LangInt(kTextCaptionOffset) + 67); });
    connect(buttons_[kSelection], &QAbstractButton::released, this, [this] { selectionCaption_->move(22, LangInt(kTextCaptionOffset) + 66); });
    connect(buttons_[kBrowser], &QAbstractButton::clicked, this, [this] { OnBrowser(); });
    connect(buttons_[kSettings], &QAbstractButton::clicked, this, [this] { OnSettings(); });
    connect(buttons_[kHelp], &QAbstractButton::clicked, this, [this] { OnHelp(); });
    connect(buttons_[kExit], &QAbstractButton::clicked, this, [this] { OnExit(); });
    connect(buttons_[kToggleLocal], &QAbstractButton::clicked, this, [this] { OnToggleLocal(); });
    connect(buttons_[kToggleWeb], &QAbstractButton::clicked, this, [this] { OnToggleWeb(); });

    Layout();
    UpdateFaces();
    UpdateEnabled();
}

CAcquireDlg::~CAcquireDlg() = default;

void CAcquireDlg::MakeButton(Control id, int set, QRect geometry) {
    auto* b = new BmpBtnAcquire(this);
    b->LoadBitmapSet(set, 0);
    b->setGeometry(geometry);
    b->setToolTip(ToolTip(id));
    b->setFocusPolicy(Qt::NoFocus);
    buttons_[id] = b;
}

int CAcquireDlg::ImageSizeRow() const {
    // the first size shows the panel's own picture; the others their rows from 4 on
    return logic_.ImageSize() == 0 ? 0 : 4 + static_cast<int>(logic_.ImageSize());
}

QAbstractButton* CAcquireDlg::button(Control id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

QString CAcquireDlg::selectionText() const { return selectionText_->text(); }

void CAcquireDlg::Layout() {
    // The client is the size of the panel's background picture.
    setFixedSize(173, 169);
    const int captionOffset = LangInt(kTextCaptionOffset);
    const int textOffset = LangInt(kTextSelectionOffset);
    selectionCaption_->setGeometry(22, captionOffset + 66, 129, 14);
    selectionCaption_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    selectionText_->setGeometry(43, 91 + textOffset, 77, 12);
    const bool web = logic_.WebUpload();
    for (QWidget* w : {static_cast<QWidget*>(buttons_[kToggleLocal]), static_cast<QWidget*>(buttons_[kToggleWeb]),
                       static_cast<QWidget*>(localLabel_), static_cast<QWidget*>(webLabel_)})
        w->setVisible(web);
    localLabel_->setGeometry(76, 14, 31, 10);
    webLabel_->setGeometry(123, 14, 26, 10);
    for (QLabel* l : {localLabel_, webLabel_, selectionText_}) {
        QFont f = l->font();
        f.setPixelSize(9);
        l->setFont(f);
    }
}

void CAcquireDlg::UpdateFaces() {
    const auto actions = sizeMenu_->actions();
    buttons_[kImageSize]->setText(actions.value(int(logic_.ImageSize()))->text());
    static_cast<BmpBtnAcquire*>(buttons_[kImageSize])->LoadBitmapSet(ImageSizeRow(), 0);
    for (Control toggle : {kToggleLocal, kToggleWeb}) {
        const bool on = (toggle == kToggleLocal ? logic_.CheckLocal() : logic_.CheckWeb()) != 0;
        buttons_[toggle]->setChecked(on);
        buttons_[toggle]->setText(on ? QStringLiteral("\u2713") : QString());
    }
    selectionText_->setText(logic_.SelectionTextId() ? Q(TransText(logic_.SelectionTextId())) : QString());
    update();
}

void CAcquireDlg::UpdateEnabled() {
    buttons_[kTransfer]->setEnabled(logic_.TransferEnabled());
    buttons_[kBrowser]->setEnabled(logic_.BrowserEnabled());
}

void CAcquireDlg::ShowCentred() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.center() - QPoint(width() / 2, height() / 2));
    }
    showNormal();
    raise();
    activateWindow();
}

void CAcquireDlg::SetTarget(int32_t index) {
    logic_.SetTarget(index);
    UpdateEnabled();
}

void CAcquireDlg::WriteChoices() {
    if (host_ && host_->Settings()) logic_.WriteChoices(*host_->Settings());
}

int32_t CAcquireDlg::RunTransfer(int32_t mode) {
    std::unique_ptr<TransferJob> job = host_ ? host_->MakeTransferJob(mode) : nullptr;
    const bool preview = host_ && host_->Settings() && host_->Settings()->GetTransferSettings().Thumbnail != 0;
    std::unique_ptr<CTransProgressDlg> dlg;
    if (preview) dlg = std::make_unique<CTransPreviewDlg>(std::move(job), mode, this);
    else dlg = std::make_unique<CTransSimpleDlg>(std::move(job), mode, this);
    return static_cast<int32_t>(dlg->exec());
}

void CAcquireDlg::OnTransfer() {
    if (!logic_.TransferEnabled()) return;
    if (host_) host_->KillStatusTimer();
    WriteChoices();
    const int32_t result = RunTransfer(0);
    // Result 3: the source is gone and the main frame closes it.
    if (result != TransResult_SourceGone && host_) host_->ConnectTarget();
}

bool CAcquireDlg::IsButtonPressed() const {
    for (const auto& [id, b] : buttons_)
        if (b->isDown()) return true;
    return false;
}

void CAcquireDlg::OnTransferRequest() {
    if (!host_) return;
    host_->KillStatusTimer();
    WriteChoices();
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    std::unique_ptr<RequestHandshake> handshake = host_->MakeHandshake(logic_.Target());
    if (!handshake || !logic_.AcceptRequest(*handshake, handle(), IsButtonPressed())) {
        host_->ConnectTarget();
        return;
    }
    // 5. A click in progress ends here: the panel lets the mouse go.
    if (QWidget* grabber = QWidget::mouseGrabber(); grabber && (grabber == this || isAncestorOf(grabber)))
        grabber->releaseMouse();
    for (const auto& [id, b] : buttons_) b->setDown(false);
    const int32_t result = RunTransfer(2);
    handshake->WriteReply(CAcquireLogic::FinishReply(result));
    if (result != TransResult_SourceGone) host_->ConnectTarget();
}

void CAcquireDlg::OnSelection() {
    CSelectImage dlg(this);
    dlg.setSelection(int32_t(logic_.SelectTransfer()));
    dlg.setKeep(logic_.KeepSelect());
    const int answer = runSelectImage ? runSelectImage(dlg) : dlg.exec();
    if (answer != QDialog::Accepted) return;
    logic_.TakeSelection(dlg.selection(), dlg.keep());
    UpdateFaces();
}

void CAcquireDlg::OnImageSizeCommand(uint32_t command) {
    if (!logic_.TakeImageSizeCommand(command)) return;
    UpdateFaces();
}

void CAcquireDlg::OnToggleLocal() {
    logic_.ToggleLocal();
    UpdateFaces();
    UpdateEnabled();
}

void CAcquireDlg::OnToggleWeb() {
    logic_.ToggleWeb();
    UpdateFaces();
    UpdateEnabled();
}

void CAcquireDlg::OnBrowser() {
    WriteChoices();
    // The main frame swaps the windows and deletes this panel; the target stays
    // open, so none of the exit steps run here.
    if (host_) plat::postMessage(host_->MainFrame(), UM_OPEN_BROWSER, 0, 0);
    hide();
}

void CAcquireDlg::OnSettings() {
    if (host_) host_->RunSettingsSheet(this);
}

void CAcquireDlg::OnHelp() {
    if (host_) host_->ShowHelpTopic(kHelpTopic);
}

void CAcquireDlg::OnExit() {
    if (exiting_) return;
    exiting_ = true;
    if (host_) host_->KillStatusTimer();
    WriteChoices();
    if (host_) plat::postMessage(host_->MainFrame(), plat::kMsgClose, 0, 0);
}

void CAcquireDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape do nothing in the panel.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CAcquireDlg::reject() {}

void CAcquireDlg::closeEvent(QCloseEvent* event) {
    // The main frame decides when the panel goes; closing asks it to end.
    OnExit();
    event->ignore();
}

void CAcquireDlg::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(rect(), kPanelBack);
    if (const uint32_t marker = logic_.MarkerBitmap()) {
        const int32_t x = 43 + logic_.MarkerX();
        p.setPen(Qt::NoPen);
        p.setBrush(kMarker);
        p.drawRect(x, 91, 13, 12);
        p.setPen(Qt::white);
        p.drawText(QRect(x, 91, 13, 12), Qt::AlignCenter, QString::number(marker - 211));
    }
    QDialog::paintEvent(event);
}

plat::LResult CAcquireDlg::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam) {
    switch (message) {
    case UM_TARGET_OPENED:
        SetTarget(static_cast<int32_t>(lParam));
        break;
    case UM_TRANSFER_REQUEST:
        OnTransferRequest();
        break;
    case plat::kMsgClose:
        OnExit();
        break;
    case plat::kMsgCommand:
        OnImageSizeCommand(static_cast<uint32_t>(wParam));
        break;
    default:
        break;
    }
    return 0;
}
