#pragma once
// The camera module over libgphoto2: real cameras on the USB bus (PTP and the
// other protocols the library speaks), and folders served through the
// library's "Directory Browse" driver. Built as the module file GPhotoCam.kx3
// (exporting DORNEntryPoint) and as a static library whose entry is
// GPhotoCamEntry, for tests that drive it in-process.
//
// Configuration (optional): "<module file>.conf", or the file named by
// $VOREL_GPHOTOCAM_CONFIG, with lines
//   folder=<path>   a folder served as a camera (repeatable; relative paths
//                   are taken from the file's folder)
//   usb=0           do not look for cameras on the USB bus
//   idle_ms=500     how often the module looks for cameras and changes
#include <stdint.h>

#include "outside/dorn/DornAbi.h"

#ifdef __cplusplus
extern "C" {
#endif

int32_t GPhotoCamEntry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                       uintptr_t data, DornCompletionProc proc, uintptr_t reference);

// The configuration file read at the next module open; null returns to the
// usual lookup.
void GPhotoCamSetConfigPath(const char* path);

#ifdef __cplusplus
}
#endif
