#include "viewer/shell/ui/CommonDialogLogic.h"

#include <algorithm>

WaitMsgLayout WaitMessageLayout(bool showCancel)
{
    WaitMsgLayout layout;
    layout.showCancel = showCancel;
    layout.y = showCancel ? 20 : 30;
    return layout;
}

int WorkerDoneEndCode(uintptr_t wParam)
{
    return wParam == 1 ? kEndOk : kEndCancel;
}

OpenProgressState::OpenProgressState(int pictureCount)
    : count_(std::max(pictureCount, 0)), remaining_(count_)
{
}

void OpenProgressState::OnePictureDone()
{
    if (remaining_ > 0)
        --remaining_;
}

bool OpenProgressState::DelayElapsed()
{
    if (visible_)
        return false;
    visible_ = true;
    return true;
}

int FourChoiceResult(std::optional<int> pressedButton)
{
    if (pressedButton && *pressedButton >= kFourChoiceOk && *pressedButton <= kFourChoiceCancel)
        return *pressedButton;
    return kFourChoiceCancel;
}
