#pragma once
// A tool button of the viewer form that lights up while the mouse is over it
// and shows its status text in the frame's status bar meanwhile.
#include <QToolButton>

#include <array>
#include <cstdint>
#include <functional>

// The pictures of a viewer button's bitmap set: normal, hover, pressed, disabled.
std::array<uint32_t, 4> BltInButtonPictures(int32_t bitmapSet);

class CBltInBmpBtn : public QToolButton {
public:
    CBltInBmpBtn(int32_t controlId, int32_t bitmapSet, uint32_t statusTextId, QWidget* parent);

    int32_t ControlId() const { return controlId_; }
    int32_t BitmapSet() const { return bitmapSet_; }
    uint32_t StatusTextId() const { return statusTextId_; }
    bool Highlighted() const { return highlighted_; }
    // The picture id the button shows now.
    uint32_t ShownPicture() const;
    // Back to the normal look.
    void Unhighlight();
    // Called with the status text id on entry and 0 on leaving.
    void SetStatusSink(std::function<void(uint32_t)> sink) { statusSink_ = std::move(sink); }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int32_t controlId_;
    int32_t bitmapSet_;
    uint32_t statusTextId_;
    bool highlighted_ = false;
    std::function<void(uint32_t)> statusSink_;
};
