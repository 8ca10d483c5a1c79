#pragma once
// Painting the browser's thumbnail cells: frame, thumbnail (or the file type's
// icon), marks and name of every visible cell.
#include "viewer/browser/LangFormat.h"
#include "viewer/sources/PictureRecords.h"

#include "platform/gdi/Surface.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One cell of the pane; positions are in the pane's content (unscrolled).
struct ThumbPaneItem {
    const PictureRecord* record = nullptr;
    std::string name;
    std::string path;         // the picture's file, for its type's icon
    int32_t cellX = 0;
    int32_t cellY = 0;
    int32_t pictureX = 0;
    int32_t pictureY = 0;
    bool selected = false;
    bool loaded = false;      // its place in the grid is known
    bool fileExists = false;  // a card or disk file that exists
};

struct ThumbPaneView {
    std::vector<ThumbPaneItem> items;
    int32_t thumbSize = 96;    // 64, 96, 128, 192 or 256
    bool paneActive = true;
    int32_t scrollX = 0;
    int32_t scrollY = 0;
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
};

// The program's bitmaps by id (packed DIBs); null when there is none.
using BitmapSource = std::function<const std::vector<uint8_t>*(uint32_t id)>;

inline constexpr int32_t kIconSize = 32;
inline constexpr int32_t kMarkSize = 13;

// The icon of a file's type from the desktop's icon theme; null image when none.
QImage GetFileTypeIcon(const std::string& path);

// Paints every visible cell; 0 when the view has no items, else 1.
int32_t PaintThumbCell(plat::gdi::Surface& dc, const ThumbPaneView& view, const BitmapSource& bitmaps,
                       const LangTextFn& text = LangText);

// The name under a cell: at size 64 without its last four characters.
std::string ThumbCellName(const std::string& name, int32_t thumbSize);
