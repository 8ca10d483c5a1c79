#pragma once
// The program's bitmaps by id. A picture file "<id>.png" in the folder named by
// $LUMORA_ART_DIR is used when present; otherwise a plain picture of the given
// size is drawn in a colour of its own per id, so every id stays visible.
#include <QPixmap>

#include <cstdint>

QPixmap UiBitmap(uint32_t id, int width = 24, int height = 24);
