#pragma once
// The simulated camera's configuration: a small "key=value" text file. Relative
// paths are taken from the file's own folder, so the file can sit beside the
// folder it serves.
#include <cstdint>
#include <string>

struct SimCamConfig {
    std::string root;             // the served folder (holds DCIM)
    std::string model = "Snapwren310";
    uint32_t idleMs = 500;        // idle period of the module object (rescans)
    uint32_t chunkSize = 65536;   // bytes delivered per pump during a copy
    uint32_t late = 1;            // pumps before an asynchronous request completes
    int32_t openResult = 0;       // answer to the module open (150: in use)
    uint32_t state = 0;           // raw state 0x8108: 0/1 usable, 2 no access, 3 lost
    uint32_t status = 2;          // camera status (49)
    int32_t statusResult = 0;     // answer to the status read (134: no answer)
    uint32_t noAnswer = 0;        // capability whose asynchronous requests never complete (0: none)
    uint32_t busyFormat = 0;      // format answers 140 this many times first
    uint32_t busyRefresh = 0;     // child listing answers -124 this many times first
    uint32_t unplugAfterChunks = 0;  // a copy loses the camera after this many chunks (0: never)
    int32_t protectResult = 0;    // answer to a protect or hide change (non-zero refuses it)
    uint32_t closeBusy = 0;       // a data-object close answers 1 this many times first
    uint32_t promptOnFormat = 0;  // ask the user (OK/Cancel) before formatting
    // While a file of this name sits in the served folder, reading the folder
    // names answers -239 (a camera that cannot list its folders for a while).
    std::string folderListFailsWhile;
};

// Reads the file; false when it cannot be read. Unknown keys are ignored.
bool ReadSimCamConfig(const std::string& path, SimCamConfig& config);
