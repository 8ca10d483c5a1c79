#pragma once
// A browser button: table pictures, one hot button per browser view, and a hint
// that the frame shows in its status bar while the button is hot.
#include "viewer/shell/ui/TableBitmapButton.h"

#include "platform/msg/WindowHandle.h"

#include <functional>

class BmpBtnViewer : public CTableBitmapButton {
public:
    explicit BmpBtnViewer(QWidget* parent = nullptr);

    // The frame that shows the hints, and whether it is the active window (by
    // default: the button's own window is active).
    void SetFrame(plat::WindowHandle frame, std::function<bool()> frameActive = {});
    void SetTextId(uint32_t id) { textId_ = id; }
    uint32_t TextId() const { return textId_; }
    // Posts the hint to the frame.
    void PostTextId() const;

    void ShowHint(uint32_t textId) override;

protected:
    uint32_t HintId() const override { return textId_; }
    bool FrameActive() const override;

private:
    plat::WindowHandle frame_;
    std::function<bool()> frameActive_;
    uint32_t textId_ = 0;
};
