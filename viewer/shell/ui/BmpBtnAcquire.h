#pragma once
// A transfer-panel button: table pictures with hover pictures of its own.
#include "viewer/shell/ui/TableBitmapButton.h"

class BmpBtnAcquire : public CTableBitmapButton {
public:
    explicit BmpBtnAcquire(QWidget* parent = nullptr) : CTableBitmapButton(PanelButtonTable(), parent)
    {
        setObjectName("BmpBtnAcquire");
    }

protected:
    bool FrameActive() const override { return true; }
};
