#include "viewer/shell/ui/BitmapButton.h"

#include "viewer/shell/ui/UiBitmap.h"

#include <QPainter>

void CBitmapButton::SetPictures(const BitmapSet& pictures)
{
    pictures_ = pictures;
    update();
}

uint32_t CBitmapButton::ShownPicture() const
{
    if (!isEnabled())
        return pictures_.disabled ? pictures_.disabled : pictures_.normal;
    if (isDown())
        return pictures_.selected ? pictures_.selected : pictures_.normal;
    if (hasFocus())
        return pictures_.focused ? pictures_.focused : pictures_.normal;
    return pictures_.normal;
}

void CBitmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const uint32_t id = ShownPicture();
    if (id == 0) {
        painter.fillRect(rect(), palette().button());
        return;
    }
    painter.drawPixmap(rect(), UiBitmap(id, width(), height()));
}
