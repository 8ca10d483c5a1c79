#pragma once
// The drawings behind the program's picture ids.
#include "viewer/art/ArtCatalog.h"

#include <QImage>

QImage DrawArt(const ArtSpec& spec, QSize size);
