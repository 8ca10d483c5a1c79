#include "viewer/shell/ui/BrowserStatusBar.h"

#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/Messaging.h"

#include <QEnterEvent>

void CBrowserStatusBar::SetFrame(plat::WindowHandle frame, std::function<bool()> frameActive)
{
    frame_ = frame;
    frameActive_ = std::move(frameActive);
}

void CBrowserStatusBar::MouseEntered()
{
    const bool active = frameActive_ ? frameActive_() : window()->isActiveWindow();
    if (inside_ || !active)
        return;
    inside_ = true;
    plat::postMessage(frame_, UM_SHOW_HINT, kHintTextId, 0);
}

void CBrowserStatusBar::MouseLeft()
{
    if (!inside_)
        return;
    inside_ = false;
    plat::postMessage(frame_, UM_SHOW_HINT, 0, 0);
}

void CBrowserStatusBar::enterEvent(QEnterEvent* event)
{
    QStatusBar::enterEvent(event);
    MouseEntered();
}

void CBrowserStatusBar::leaveEvent(QEvent* event)
{
    QStatusBar::leaveEvent(event);
    MouseLeft();
}
