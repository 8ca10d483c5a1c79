#include "viewer/shell/ui/TableBitmapButton.h"

#include <QApplication>
#include <QEnterEvent>

CTableBitmapButton::CTableBitmapButton(std::span<const BitmapRow> table, QWidget* parent)
    : CBitmapButton(parent), table_(table)
{
}

CTableBitmapButton::~CTableBitmapButton()
{
    slot()->Forget(this);
}

void CTableBitmapButton::LoadBitmapSet(int set, int state)
{
    set_ = set;
    state_ = state;
    ReloadBitmaps();
}

void CTableBitmapButton::ReloadBitmaps()
{
    SetPictures(NormalPictures(table_, set_, state_));
}

void CTableBitmapButton::ShowNormalPictures()
{
    ReloadBitmaps();
}

void CTableBitmapButton::ShowHoverPictures()
{
    SetPictures(HoverPictures(table_, set_, state_));
}

bool CTableBitmapButton::FrameActive() const
{
    return window()->isActiveWindow();
}

void CTableBitmapButton::MouseEntered()
{
    if (!slot()->Enter(this, FrameActive(), HintId()))
        return;
    if (firstMove_) {
        firstMove_ = false;
        pressed_ = (QApplication::mouseButtons() & Qt::LeftButton) != 0;
    }
}

void CTableBitmapButton::MouseLeft()
{
    slot()->Leave(this);
    firstMove_ = true;
    pressed_ = false;
}

void CTableBitmapButton::enterEvent(QEnterEvent* event)
{
    CBitmapButton::enterEvent(event);
    MouseEntered();
}

void CTableBitmapButton::leaveEvent(QEvent* event)
{
    CBitmapButton::leaveEvent(event);
    MouseLeft();
}
