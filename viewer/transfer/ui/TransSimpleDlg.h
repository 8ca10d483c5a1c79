#pragma once
// The text-only transfer progress dialog.
#include "viewer/transfer/ui/TransProgressDlg.h"

class CTransSimpleDlg : public CTransProgressDlg {
public:
    CTransSimpleDlg(std::unique_ptr<TransferJob> job, int32_t mode, QWidget* parent = nullptr);

protected:
    void SetTextsAndLayout() override;
    void PaintBackground(QPainter& painter) override;
};
