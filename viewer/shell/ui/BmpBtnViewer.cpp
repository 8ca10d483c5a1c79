#include "viewer/shell/ui/BmpBtnViewer.h"

#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/Messaging.h"

BmpBtnViewer::BmpBtnViewer(QWidget* parent) : CTableBitmapButton(BrowserButtonTable(), parent) {}

void BmpBtnViewer::SetFrame(plat::WindowHandle frame, std::function<bool()> frameActive)
{
    frame_ = frame;
    frameActive_ = std::move(frameActive);
}

void BmpBtnViewer::PostTextId() const
{
    plat::postMessage(frame_, UM_SHOW_HINT, textId_, 0);
}

void BmpBtnViewer::ShowHint(uint32_t textId)
{
    plat::postMessage(frame_, UM_SHOW_HINT, textId, 0);
}

bool BmpBtnViewer::FrameActive() const
{
    return frameActive_ ? frameActive_() : CTableBitmapButton::FrameActive();
}
