#pragma once
// The program's bitmaps by id, as the dialogs and buttons draw them. A picture
// file "<id>.png" in the folder named by $LUMORA_ART_DIR replaces the program's
// own art (for trying new artwork without a build).
#include <QPixmap>

#include <cstdint>

QPixmap UiBitmap(uint32_t id, int width = 24, int height = 24);
