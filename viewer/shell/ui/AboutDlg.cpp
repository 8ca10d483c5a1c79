#include "viewer/shell/ui/AboutDlg.h"

#include "viewer/shell/common/LangString.h"
#include "viewer/shell/ui/UiBitmap.h"
#include "viewer/shell/ui/UiText.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr uint32_t kFontFace = 62901, kFontSize = 62902;
constexpr uint32_t kVersionX = 62903, kVersionY = 62904, kSecondX = 62905, kSecondY = 62906;
constexpr uint32_t kBitmap = 550;

QLabel* PlacedLabel(QWidget* parent, const char* text, uint32_t xId, uint32_t yId)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setStyleSheet("color: white; background: transparent;");
    label->setFont(parent->font());
    const QSize extent = QFontMetrics(parent->font()).size(Qt::TextSingleLine, label->text());
    label->setGeometry(LangInt(xId), LangInt(yId), extent.width(), extent.height());
    return label;
}
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setModal(true);
    setWindowFlag(Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    setFont(LangFont(kFontFace, kFontSize));
    version_ = PlacedLabel(this, kVersionText, kVersionX, kVersionY);
    second_ = PlacedLabel(this, kSecondLine, kSecondX, kSecondY);
}

void CAboutDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QWidget* p = parentWidget())
        move(p->frameGeometry().center() - QPoint(kWidth / 2, kHeight / 2));
}

void CAboutDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, UiBitmap(kBitmap, kWidth, kHeight));
}

void CAboutDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        done(1);
    else
        QDialog::mousePressEvent(event);
}
