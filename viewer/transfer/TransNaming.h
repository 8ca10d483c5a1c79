#pragma once
// CTransNaming: the dated destination folder of a transfer and the new names of
// its pictures, plus the worker's checks on the destination (path length and
// free space). Paths are '/'-separated; a name never holds a '/', so a name made
// from card data or settings always stays inside its folder.
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/transfer/TransTypes.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

// The moment a picture was taken (or its file last written), local time.
struct TransDate {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    double second = 0;
};

class CTransNaming {
public:
    CTransNaming() = default;
    virtual ~CTransNaming() = default;

    // A free folder path under TransferFile named for `now` ("%Y%m%d-%H%M%S"); while
    // the name is taken the time part is counted up, keeping its digit count.
    // 0 or kNamingBadBase.
    int32_t MakeDestinationFolderName(std::string* out, const TransferSettings& settings,
                                      std::time_t now = std::time(nullptr)) const;

    // A free path for the picture at sourcePath in destFolder: its own name with a
    // "-N" counter when CreateFile is 0, else prefix/contents/serial as the
    // settings say (SerialNumber is advanced). A name in destFolder for which
    // `coming` answers true counts as taken as well: a copy is still on its way
    // to it. 0, kNamingPathTooLong or kNamingNoFreeName.
    int32_t MakeNewName(std::string* out, const std::string& sourcePath, const std::string& destFolder,
                        TransferSettings& settings, const TransDate& date,
                        const std::function<bool(const std::string& name)>& coming = {}) const;
};

// Whether the longest path a transfer can make under TransferFile stays below 260.
bool PathLengthCheck(const TransferSettings& settings);

// Free bytes on the volume of a folder; false when it cannot be asked.
using FreeSpaceProbe = std::function<bool(const std::string& folder, uint64_t* bytes)>;
FreeSpaceProbe SystemFreeSpace();

// Whether the temp volume can hold the largest picture (plus the web copies) and
// the destination volume the whole transfer; one test when both are one volume.
struct SpaceNeed {
    std::string tempFolder;
    std::string transferFile;   // used when checkLocal
    bool checkLocal = false;
    bool checkWeb = false;
    uint64_t largest = 0;
    uint64_t total = 0;
};
bool SpaceCheck(const SpaceNeed& need, const FreeSpaceProbe& probe = SystemFreeSpace());

// Same volume (device) for two existing paths.
bool SameVolume(const std::string& a, const std::string& b);

// A name usable as one path component: '/' and NUL become '_', and "." or ".."
// becomes "_" (names come from cards and settings).
std::string SafeNameComponent(const std::string& name);
