#pragma once
// The processing of one picture during a transfer: the temporary copy becomes a
// work copy that is turned, scaled to the chosen long side and saved as a JPEG
// when it was scaled, with the caption and keywords in its IPTC-IIM block.
// Everything goes through the image-file library.
#include "viewer/sources/MassStrage.h"

#include <cstdint>
#include <string>
#include <vector>

struct ProcessRequest {
    std::string source;          // the temporary copy (never changed)
    std::string workFolder;
    std::string name;            // the picture's name; becomes ".JPG" when converted
    int32_t quarterTurns = 0;
    uint32_t imageSize = 0;      // 0 full size; 1, 2, 3: long side 1024, 640, 320
    int32_t maker80004 = -1;     // the picture's quality and file-type value
    bool writeCaption = false;
    std::string caption;
    std::vector<std::string> keywords;   // checked slots with text, in slot order
    int32_t readOnly = 0;
    int32_t hidden = 0;
    CopyProgressProc progress = nullptr;
    void* reference = nullptr;
};

struct ProcessOutcome {
    enum Kind { kDone, kLibraryError, kSkip } kind = kDone;
    int32_t code = 0;            // the library's code for kLibraryError
    bool captionWritten = false; // false when the IPTC block could not be written
    std::string workCopy;        // path of the work copy made
};

// The long side of ImageSize 1-3 (0 for full size).
int32_t LongSideOf(uint32_t imageSize);
// The library's file type for a name's extension (".JPG" 32, ".TIF" 1, ".RWQ" raw, else 0).
uint32_t FileTypeOfName(const std::string& name);
bool HasExtension(const std::string& name, const char* extension);  // without regard to case
// The save quality: 2, or 1-3 from the maker value at full size.
uint32_t SaveQuality(uint32_t imageSize, int32_t maker80004);

// Makes the work copy. A picture the library cannot scale is skipped; a picture
// whose IPTC block cannot be written goes on without the caption.
ProcessOutcome ProcessPicture(ProcessRequest& request);
