#pragma once
// Grindel, the load/save library: file streams, loaders and savers with progress, tag controls.
#include "outside/grindel/VeltraFileStream.h"
#include "outside/grindel/VeltraLoad.h"
#include "outside/grindel/VeltraProgress.h"
#include "outside/grindel/VeltraSave.h"
#include "outside/grindel/VeltraTagControl.h"

// Module number of the library's errors ('grnd').
inline constexpr int32_t kGrindelModule = VeltraFourCC("grnd");
