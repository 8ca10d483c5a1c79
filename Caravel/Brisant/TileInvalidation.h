#pragma once
// Marks the cached tiles of an image stale where a rectangle touches them: whole
// tiles when the rectangle covers them, else only the covered part. Tiles that were
// never made stay as they are. Shared by the filter cache and the intermediate cache.
#include "outside/veltra/VeltraImage.h"

// The error is returned as it came; the caller adds its own link to the chain.
IVeltraError* InvalidateImageTiles(IVeltraImage* image, const VeltraRect& rect);
