#pragma once
// A bitmap button whose pictures come from a row of a button table and a state
// (0 or 1), with hover pictures while the mouse is over it. The hover decision
// belongs to a hot-button slot: the owning window's, or the button's own.
#include "viewer/shell/ui/BitmapButton.h"
#include "viewer/shell/ui/HotButtonSlot.h"

#include <span>

class CTableBitmapButton : public CBitmapButton, public HoverSubject {
public:
    CTableBitmapButton(std::span<const BitmapRow> table, QWidget* parent = nullptr);
    ~CTableBitmapButton() override;

    // Keeps set and state and shows their resting pictures.
    void LoadBitmapSet(int set, int state);
    // The resting pictures of the kept set and state again.
    void ReloadBitmaps();
    int Set() const { return set_; }
    int State() const { return state_; }

    // The slot that decides which button is hot (nullptr: the button's own).
    void SetHotSlot(HotButtonSlot* slot) { slot_ = slot; }
    bool IsHot() const { return slot()->Hot() == static_cast<const HoverSubject*>(this); }
    // Whether the left button was down when the mouse came in.
    bool Pressed() const { return pressed_; }

    // The mouse came in or went (what the enter and leave events do).
    void MouseEntered();
    void MouseLeft();

    void ShowNormalPictures() override;
    void ShowHoverPictures() override;
    void ShowHint(uint32_t) override {}

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // The hint to show while this button is hot (0: none).
    virtual uint32_t HintId() const { return 0; }
    // Whether the window the button belongs to may show hover pictures now.
    virtual bool FrameActive() const;

private:
    HotButtonSlot* slot() const { return slot_ ? slot_ : &ownSlot_; }

    std::span<const BitmapRow> table_;
    int set_ = 0;
    int state_ = 0;
    HotButtonSlot* slot_ = nullptr;
    mutable HotButtonSlot ownSlot_;
    bool firstMove_ = true;
    bool pressed_ = false;
};
