#include "viewer/transfer/ui/TransPreviewDlg.h"

#include "viewer/transfer/ui/ThumbImage.h"
#include "viewer/transfer/ui/TransTexts.h"

#include <QFileIconProvider>
#include <algorithm>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>

namespace {

constexpr uint32_t kTextFile = 62219;
const QRect kPreviewArea(19, 19, 102, 102);

// The copy animation: frame 1-9 of a filling circle.
class CopyAnimation : public QWidget {
public:
    CopyAnimation(const TransProgressLogic& logic, QWidget* parent) : QWidget(parent), logic_(logic) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF box(3, 2, 25, 25);
        p.setPen(QColor(36, 58, 122));
        p.setBrush(QColor(214, 222, 240));
        p.drawEllipse(box);
        p.setBrush(QColor(52, 92, 176));
        p.drawPie(box, 90 * 16, -logic_.Frame() * 360 * 16 / kFrameCount);
    }

private:
    const TransProgressLogic& logic_;
};

}  // namespace

CTransPreviewDlg::CTransPreviewDlg(std::unique_ptr<TransferJob> job, int32_t mode, QWidget* parent)
    : CTransProgressDlg(std::move(job), mode, parent) {
    fileText_ = new QLabel(this);
    animation_ = new CopyAnimation(logic_, this);
    SetTextsAndLayout();
}

QString CTransPreviewDlg::fileText() const { return fileText_->text(); }

void CTransPreviewDlg::SetTextsAndLayout() {
    setFixedSize(355, 136);
    PlaceCommon(QRect(240, 104, 86, 20), QRect(139, 17, 120, 20), QRect(250, 17, 80, 20), QRect(139, 42, 194, 12));
    if (fileText_) fileText_->setGeometry(137, 72, 193, 20);
    if (animation_) animation_->setGeometry(140, 91, 31, 30);
}

void CTransPreviewDlg::PaintBackground(QPainter& painter) {
    painter.fillRect(rect(), QColor(223, 231, 246));
    painter.fillRect(kPreviewArea, Qt::white);
    painter.setPen(QColor(150, 165, 200));
    painter.drawRect(kPreviewArea.adjusted(0, 0, -1, -1));
}

QRect CTransPreviewDlg::FitPreview(int w, int h) {
    if (w <= 0 || h <= 0) return {};
    int fw = 96, fh = 96;
    if (w >= h) fh = std::max(1, int(int64_t(h) * 96 / w));
    else fw = std::max(1, int(int64_t(w) * 96 / h));
    return QRect(kPreviewArea.x() + (102 - fw) / 2, kPreviewArea.y() + (102 - fh) / 2, fw, fh);
}

void CTransPreviewDlg::CurrentFile(TransferFileReport& report) {
    CTransProgressDlg::CurrentFile(report);
    path_ = report.path;
    name_ = PathLeaf(path_);
    preview_ = ThumbGridToImage(thumbnail(), thumbAcross_, thumbDown_);
    icon_ = QIcon();
    if (preview_.isNull()) {
        preview_ = QImage();
        icon_ = QFileIconProvider().icon(QFileInfo(QString::fromStdString(path_)));
    }
    logic_.SetPercent(0);
    ShowFileText();
    animation_->update();
    update(kPreviewArea);
}

void CTransPreviewDlg::Progress(int32_t percent) {
    if (logic_.SetPercent(percent)) animation_->update();
    ShowFileText();
    DrawBar();
}

void CTransPreviewDlg::ShowFileText() {
    fileText_->setText(QString::fromStdString(
        FormatLangText(TransText(kTextFile), {name_, std::to_string(logic_.Percent())})));
}

void CTransPreviewDlg::paintEvent(QPaintEvent* event) {
    CTransProgressDlg::paintEvent(event);
    QPainter painter(this);
    if (!preview_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(FitPreview(preview_.width(), preview_.height()), preview_);
    } else if (!icon_.isNull()) {
        const QPixmap pm = icon_.pixmap(32, 32);
        painter.drawPixmap(kPreviewArea.x() + (96 - pm.width()) / 2 + 3, kPreviewArea.y() + (72 - pm.height()) / 2 + 15,
                           pm);
    }
}
