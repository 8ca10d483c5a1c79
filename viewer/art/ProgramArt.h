#pragma once
// The program's own pictures by id, drawn from the glyphs in glyphs/ (SVG,
// compiled into the program) and from the drawings in ArtPainters. The windows
// ask for a picture by the id their tables name; every id of ArtCatalog has one.
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <vector>

// The picture of id at size (its natural size when size is empty or the picture
// has one of its own). A null image for an id without art.
QImage ProgramPicture(uint32_t id, QSize size = {});

// The picture of id as a packed 24-bit DIB at its natural size, drawn once and
// kept for the life of the process; null for an id without art or without a
// natural size. Safe from any thread.
const std::vector<uint8_t>* ProgramDib(uint32_t id);

// A glyph (glyphs/<name>.svg) drawn into a square of side pixels; null when missing.
QImage GlyphPicture(const std::string& name, int side);

// The browser view's background: header strip, the framed left panel (when the
// tree or the information box shows) and the framed thumbnail area.
struct BrowserArtLayout {
    int width = 0, height = 0;
    bool leftPanel = true;
    bool leftPanelFocused = false;
    QRect thumbArea;           // the thumbnail pane with its scroll bar
    bool thumbAreaFocused = false;
};
void PaintBrowserArt(QPainter& painter, const BrowserArtLayout& layout);

// The built-in viewer form's frame around the picture: the band at the right
// and the band at the bottom (where the tool buttons sit).
void PaintViewerArt(QPainter& painter, const QRect& form, int band);

// The view background of the browser (the colour around its panels).
inline const QColor kBrowserBackground(143, 157, 208);
