#include "viewer/shell/ui/BmpBtnTransfer.h"

#include <QEnterEvent>

BmpBtnTransfer::BmpBtnTransfer(QWidget* parent) : CBitmapButton(parent)
{
    SetPictures(kTransferButtonNormal);
}

void BmpBtnTransfer::MouseEntered()
{
    if (hot_)
        return;
    hot_ = true;
    SetPictures(kTransferButtonHover);
}

void BmpBtnTransfer::MouseLeft()
{
    if (!hot_)
        return;
    hot_ = false;
    SetPictures(kTransferButtonNormal);
}

// While the left button is held on it, the button keeps the mouse (Qt sends the
// leave only at the release), as a pressed button should.
void BmpBtnTransfer::enterEvent(QEnterEvent* event)
{
    CBitmapButton::enterEvent(event);
    MouseEntered();
}

void BmpBtnTransfer::leaveEvent(QEvent* event)
{
    CBitmapButton::leaveEvent(event);
    MouseLeft();
}
