#pragma once
// A push button drawn from four pictures: normal, selected (pressed), focused
// and disabled (the normal one when there is none).
#include "viewer/art/ButtonBitmaps.h"

#include <QPushButton>

class CBitmapButton : public QPushButton {
public:
    explicit CBitmapButton(QWidget* parent = nullptr) : QPushButton(parent) {}

    void SetPictures(const BitmapSet& pictures);
    const BitmapSet& Pictures() const { return pictures_; }
    // The picture id the button shows in its present state.
    uint32_t ShownPicture() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    BitmapSet pictures_;
};
