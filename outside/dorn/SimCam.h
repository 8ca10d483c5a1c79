#pragma once
// The simulated camera module: serves a folder (a card's DCIM tree) as a camera
// through the camera-module interface of DornAbi.h. Built twice: as the module
// file SimCam.kx3 (exporting DORNEntryPoint) and as a static library whose entry
// is SimCamEntry, for tests that drive it in-process.
#include <stdint.h>

#include "outside/dorn/DornAbi.h"

#ifdef __cplusplus
extern "C" {
#endif

int32_t SimCamEntry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                    uintptr_t data, DornCompletionProc proc, uintptr_t reference);

// The configuration file read at the next module open; null returns to the
// usual lookup ($VOREL_SIMCAM_CONFIG, else the module file's path + ".conf").
void SimCamSetConfigPath(const char* path);

#ifdef __cplusplus
}
#endif
