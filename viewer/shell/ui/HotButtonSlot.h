#pragma once
// Which of a window's hover buttons is under the mouse: at most one at a time.
// The owning view keeps one slot; its buttons report entering and leaving.
#include <cstdint>

class HoverSubject {
public:
    virtual ~HoverSubject() = default;
    virtual void ShowNormalPictures() = 0;
    virtual void ShowHoverPictures() = 0;
    // The hint of the hot button (0 clears it).
    virtual void ShowHint(uint32_t textId) = 0;
};

class HotButtonSlot {
public:
    // The mouse entered button: nothing while the frame is not active or the
    // button is hot already; otherwise the previous hot button rests first.
    bool Enter(HoverSubject* button, bool frameActive, uint32_t hintId);
    // The mouse left button (or it lost the mouse): it rests and the hint clears.
    void Leave(HoverSubject* button);
    // A button going away is forgotten without being touched.
    void Forget(HoverSubject* button);
    HoverSubject* Hot() const { return hot_; }

private:
    HoverSubject* hot_ = nullptr;
};
