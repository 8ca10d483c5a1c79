#pragma once
// The button of the transfer progress dialogs: fixed pictures, hover pictures
// while the mouse is over it.
#include "viewer/shell/ui/BitmapButton.h"

class BmpBtnTransfer : public CBitmapButton {
public:
    explicit BmpBtnTransfer(QWidget* parent = nullptr);

    bool IsHot() const { return hot_; }
    void MouseEntered();
    void MouseLeft();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool hot_ = false;
};
