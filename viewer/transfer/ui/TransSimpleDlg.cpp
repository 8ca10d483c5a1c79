#include "viewer/transfer/ui/TransSimpleDlg.h"

#include <QPainter>

CTransSimpleDlg::CTransSimpleDlg(std::unique_ptr<TransferJob> job, int32_t mode, QWidget* parent)
    : CTransProgressDlg(std::move(job), mode, parent) {
    SetTextsAndLayout();
}

void CTransSimpleDlg::SetTextsAndLayout() {
    setFixedSize(255, 76);
    PlaceCommon(QRect(140, 48, 86, 20), QRect(25, 5, 120, 20), QRect(150, 5, 80, 20), QRect(30, 25, 194, 12));
}

void CTransSimpleDlg::PaintBackground(QPainter& painter) {
    painter.fillRect(QRect(0, 0, 355, 136), QColor(223, 231, 246));
}
