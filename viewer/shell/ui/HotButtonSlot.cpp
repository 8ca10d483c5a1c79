#include "viewer/shell/ui/HotButtonSlot.h"

bool HotButtonSlot::Enter(HoverSubject* button, bool frameActive, uint32_t hintId)
{
    if (!button || !frameActive || hot_ == button)
        return false;
    if (hot_)
        hot_->ShowNormalPictures();
    hot_ = button;
    button->ShowHoverPictures();
    button->ShowHint(hintId);
    return true;
}

void HotButtonSlot::Leave(HoverSubject* button)
{
    if (!button || hot_ != button)
        return;
    hot_ = nullptr;
    button->ShowNormalPictures();
    button->ShowHint(0);
}

void HotButtonSlot::Forget(HoverSubject* button)
{
    if (hot_ == button)
        hot_ = nullptr;
}
