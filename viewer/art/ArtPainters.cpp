#include "viewer/art/ArtPainters.h"

#include "viewer/art/ProgramArt.h"

#include "viewer/shell/common/LangString.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

const QColor kInk(28, 53, 112);
const QColor kPaneFocused(233, 227, 240);
const QColor kPaneUnfocused(227, 230, 240);
const QColor kSelection(47, 111, 224);
const QColor kSelectionInactive(96, 122, 196);
const QColor kHoverRing(240, 160, 32);

QImage Blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A glyph faded to grey for a disabled button.
QImage Greyed(const QImage& glyph)
{
    QImage grey = glyph.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const int g = 120 + qGray(line[x]) / 3;
            line[x] = qRgba(g, g, g + 8, qAlpha(line[x]) * 45 / 100);
        }
    }
    return grey;
}

// A bitmap button's face: a rounded tile with the glyph (and a label beside it
// for the wide size buttons). The looks differ in tile, edge and glyph offset.
QImage DrawButton(const ArtSpec& spec, QSize size)
{
    QImage image = Blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile = QRectF(image.rect()).adjusted(1, 1, -1, -1);
    QLinearGradient fill(tile.topLeft(), tile.bottomLeft());
    QColor edge(138, 155, 200);
    qreal edgeWidth = 1;
    switch (spec.look) {
    case ButtonLook::Normal:
        fill.setColorAt(0, QColor(248, 250, 255));
        fill.setColorAt(1, QColor(214, 223, 243));
        break;
    case ButtonLook::Hover:
        fill.setColorAt(0, QColor(255, 255, 255));
        fill.setColorAt(1, QColor(232, 239, 255));
        edge = kHoverRing;
        edgeWidth = 2;
        break;
    case ButtonLook::Pressed:
        fill.setColorAt(0, QColor(180, 196, 234));
        fill.setColorAt(1, QColor(222, 230, 248));
        edge = QColor(70, 92, 150);
        break;
    case ButtonLook::Disabled:
        fill.setColorAt(0, QColor(230, 232, 238));
        fill.setColorAt(1, QColor(230, 232, 238));
        edge = QColor(176, 182, 198);
        break;
    }
    if (spec.on && spec.look != ButtonLook::Disabled)
        edge = spec.look == ButtonLook::Hover ? kHoverRing : kSelection;
    p.setPen(QPen(edge, edgeWidth));
    p.setBrush(fill);
    const qreal radius = std::min(tile.width(), tile.height()) / 5.0;
    p.drawRoundedRect(tile.adjusted(edgeWidth / 2, edgeWidth / 2, -edgeWidth / 2, -edgeWidth / 2), radius, radius);

    std::string label = spec.label;
    if (label.empty() && spec.value != 0)
        label = CLangString(static_cast<uint32_t>(spec.value)).Text();
    const bool wide = !label.empty() && size.width() > size.height() * 2;
    const int side = wide ? size.height() - 4 : std::max(4, std::min(size.width(), size.height()) * 2 / 3);
    QImage glyph = GlyphPicture(spec.glyph, side);
    if (spec.look == ButtonLook::Disabled && !glyph.isNull())
        glyph = Greyed(glyph);
    const int shift = spec.look == ButtonLook::Pressed ? 1 : 0;
    if (wide) {
        if (!glyph.isNull())
            p.drawImage(4 + shift, 2 + shift, glyph);
        QFont font = p.font();
        font.setPixelSize(std::max(8, size.height() - 9));
        p.setFont(font);
        p.setPen(spec.look == ButtonLook::Disabled ? QColor(150, 154, 166) : kInk);
        const QRect text(side + 8 + shift, shift, size.width() - side - 12, size.height());
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                   p.fontMetrics().elidedText(QString::fromStdString(label), Qt::ElideRight, text.width()));
    } else if (!glyph.isNull()) {
        p.drawImage((size.width() - side) / 2 + shift, (size.height() - side) / 2 + shift, glyph);
    }
    return image;
}

// A thumbnail cell: the pane's colour at the corners, a light card with a thin
// edge; the selected frame is a strong blue card (greyer while the pane has no focus).
QImage DrawThumbFrame(const ArtSpec& spec, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(spec.active ? kPaneFocused : kPaneUnfocused);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (spec.on) {
        const QColor blue = spec.active ? kSelection : kSelectionInactive;
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawRoundedRect(card, 3, 3);
        p.setBrush(blue.lighter(175));
        p.drawRect(QRectF(image.rect()).adjusted(3, 3, -3, -3));
    } else {
        p.setPen(QPen(QColor(170, 179, 204), 1));
        p.setBrush(QColor(252, 252, 255));
        p.drawRoundedRect(card, 3, 3);
        p.setPen(QPen(QColor(200, 206, 224), 1));
        p.drawLine(QPointF(3, size.height() - 1.5), QPointF(size.width() - 3, size.height() - 1.5));
    }
    return image;
}

// The marks under a thumbnail: 0 transfer-marked (a green arrow), 1 movie
// (a film strip), 2 read-only (a padlock).
QImage DrawMark(const ArtSpec& spec, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(spec.active ? kPaneFocused : kPaneUnfocused);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (spec.value) {
    case 0: {
        p.setPen(QPen(QColor(38, 140, 70), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(2, 6), QPointF(10, 6));
        p.drawPolyline(QPolygonF({QPointF(7, 3), QPointF(10.5, 6), QPointF(7, 9)}));
        break;
    }
    case 1: {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 48));
        p.drawRect(QRectF(1, 1.5, 11, 9));
        p.setBrush(QColor(235, 235, 240));
        for (int x = 2; x <= 10; x += 3) {
            p.drawRect(QRectF(x, 2.2, 1.5, 1.3));
            p.drawRect(QRectF(x, 8.5, 1.5, 1.3));
        }
        break;
    }
    default: {
        p.setPen(QPen(QColor(150, 110, 20), 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3.5, 1, 6, 7), 0, 180 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(214, 160, 40));
        p.drawRoundedRect(QRectF(2, 5, 9, 6.5), 1, 1);
        break;
    }
    }
    return image;
}

// The busy animation: nine dots on a ring, the frame's dot lit with a fading tail.
QImage DrawBusyFrame(const ArtSpec& spec, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBrowserBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const qreal ring = std::min(size.width(), size.height()) / 2.0 - 4;
    for (int dot = 1; dot <= 9; ++dot) {
        const qreal angle = (dot - 1) * 2 * M_PI / 9 - M_PI / 2;
        const int behind = (spec.value - dot + 9) % 9;   // 0 for the lit dot
        const QColor colour = behind == 0   ? QColor(255, 255, 255)
                              : behind == 1 ? QColor(225, 232, 250)
                              : behind == 2 ? QColor(190, 203, 236)
                                            : QColor(120, 136, 190);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawEllipse(centre + QPointF(ring * std::cos(angle), ring * std::sin(angle)), 2.6, 2.6);
    }
    return image;
}

QImage DrawCheckBox(const ArtSpec& spec, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBrowserBackground);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1));
    p.setBrush(spec.value == 1 ? QColor(236, 240, 252) : QColor(255, 255, 255));
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 2, 2);
    if (spec.on) {
        p.setPen(QPen(QColor(38, 140, 70), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3.5, 7), QPointF(6.5, 10), QPointF(11.5, 3.5)}));
    }
    return image;
}

QImage DrawCheckCaption(const ArtSpec& spec, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBrowserBackground);
    QPainter p(&image);
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(image.rect(), Qt::AlignLeft | Qt::AlignVCenter, spec.value == 0 ? "PC" : "Web");
    return image;
}

// The wait bar: blue caps and a diagonally striped strip that slides one pixel a tick.
QImage DrawWaitBar(const ArtSpec& spec, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(183, 197, 226));
    QPainter p(&image);
    if (spec.kind == ArtKind::WaitBarStrip) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(80, 120, 210));
        for (int x = -size.height(); x < size.width() + size.height(); x += 8) {
            const QPolygonF stripe({QPointF(x, size.height()), QPointF(x + 4, size.height()),
                                    QPointF(x + 4 + size.height(), 0), QPointF(x + size.height(), 0)});
            p.drawPolygon(stripe);
        }
        p.setPen(QColor(60, 80, 140));
        p.drawLine(0, 0, size.width(), 0);
        p.drawLine(0, size.height() - 1, size.width(), size.height() - 1);
    } else {
        p.fillRect(image.rect(), QColor(60, 80, 140));
        p.setPen(QColor(120, 146, 214));
        p.drawLine(0, 1, size.width(), 1);
    }
    return image;
}

// The about box: a deep blue field with the program's mark; the texts are the
// dialog's, drawn in white over its lower part.
QImage DrawAboutBox(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(46, 78, 160));
    sky.setColorAt(1, QColor(14, 26, 64));
    p.fillRect(image.rect(), sky);
    p.drawImage(QPoint(size.width() / 2 - 60, 30), GlyphPicture("logo", 120));
    QFont font = p.font();
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 160, size.width(), 40), Qt::AlignCenter, "Lumora");
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawLine(24, 220, size.width() - 24, 220);
    return image;
}

// The header strip of the browser: a band that fades into the view's colour on the right.
QImage DrawHeader(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient band(0, 0, size.width(), 0);
    band.setColorAt(0, QColor(58, 86, 168));
    band.setColorAt(0.7, QColor(110, 130, 196));
    band.setColorAt(1, kBrowserBackground);
    p.fillRect(image.rect(), band);
    QLinearGradient shine(0, 0, 0, size.height());
    shine.setColorAt(0, QColor(255, 255, 255, 60));
    shine.setColorAt(0.5, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), shine);
    return image;
}

QImage DrawStatusIcon(const ArtSpec& spec, QSize size)
{
    return GlyphPicture(spec.glyph, std::min(size.width(), size.height()));
}

}  // namespace

QImage DrawArt(const ArtSpec& spec, QSize size)
{
    switch (spec.kind) {
    case ArtKind::Button: return DrawButton(spec, size);
    case ArtKind::ThumbFrame: return DrawThumbFrame(spec, size);
    case ArtKind::Mark: return DrawMark(spec, size);
    case ArtKind::BusyFrame: return DrawBusyFrame(spec, size);
    case ArtKind::CheckBox: return DrawCheckBox(spec, size);
    case ArtKind::CheckCaption: return DrawCheckCaption(spec, size);
    case ArtKind::WaitBarLeft:
    case ArtKind::WaitBarStrip:
    case ArtKind::WaitBarRight: return DrawWaitBar(spec, size);
    case ArtKind::AboutBox: return DrawAboutBox(size);
    case ArtKind::BrowserHeader: return DrawHeader(size);
    case ArtKind::StatusIcon: return DrawStatusIcon(spec, size);
    }
    return {};
}

namespace {

// A framed panel: a rounded edge in the panel's colour, lighter while focused.
void PaintPanel(QPainter& p, const QRectF& area, bool focused)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(focused ? QColor(255, 255, 255) : QColor(196, 205, 232), focused ? 2 : 1));
    QLinearGradient fill(area.topLeft(), area.bottomLeft());
    fill.setColorAt(0, focused ? QColor(196, 210, 246) : QColor(176, 188, 226));
    fill.setColorAt(1, focused ? QColor(170, 186, 232) : QColor(156, 170, 214));
    p.setBrush(fill);
    p.drawRoundedRect(area, 8, 8);
    p.restore();
}

}  // namespace

void PaintBrowserArt(QPainter& painter, const BrowserArtLayout& layout)
{
    painter.fillRect(QRect(0, 0, layout.width, layout.height), kBrowserBackground);
    painter.drawImage(0, 0, ProgramPicture(300));
    if (layout.leftPanel)
        PaintPanel(painter, QRectF(3, 66, 210, std::max(0, layout.height - 70)), layout.leftPanelFocused);
    if (!layout.thumbArea.isEmpty())
        PaintPanel(painter, QRectF(layout.thumbArea).adjusted(-6, -6, 6, 6), layout.thumbAreaFocused);
}

void PaintViewerArt(QPainter& painter, const QRect& form, int band)
{
    const QRect right(form.right() - band + 1, form.top(), band, form.height());
    const QRect bottom(form.left(), form.bottom() - band + 1, form.width(), band);
    for (const QRect& strip : {right, bottom}) {
        QLinearGradient fill(strip.topLeft(), strip == right ? strip.topRight() : strip.bottomLeft());
        fill.setColorAt(0, QColor(176, 188, 226));
        fill.setColorAt(1, QColor(126, 142, 196));
        painter.fillRect(strip, fill);
    }
    painter.setPen(QColor(90, 108, 170));
    painter.drawLine(right.topLeft(), right.bottomLeft());
    painter.drawLine(bottom.topLeft(), bottom.topRight());
}
