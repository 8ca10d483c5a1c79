#pragma once
// The status bar of the browser and viewer frames. While the mouse is over it
// (and its frame is the active window) the frame shows its hint.
#include "platform/msg/WindowHandle.h"

#include <QStatusBar>

#include <functional>

class CBrowserStatusBar : public QStatusBar {
public:
    static constexpr uint32_t kHintTextId = 62418;

    explicit CBrowserStatusBar(QWidget* parent = nullptr) : QStatusBar(parent) {}

    // The frame that shows the hints, and whether it is active (by default: the
    // bar's own window is active).
    void SetFrame(plat::WindowHandle frame, std::function<bool()> frameActive = {});
    bool Inside() const { return inside_; }

    void MouseEntered();
    void MouseLeft();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    plat::WindowHandle frame_;
    std::function<bool()> frameActive_;
    bool inside_ = false;
};
