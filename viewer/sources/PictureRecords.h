#pragma once
// The plain records that carry pictures between the picture sources, the
// transfer and the browser: a file-list entry per listed picture, a picture
// record for a decoded picture (or thumbnail) cut into tiles, and its shooting
// information. Ownership is by value: freeing a record frees what it holds.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One picture of a listing.
struct FileListEntry {
    std::string folderName;   // last component of the folder ("IM01W200" for the older card folder)
    int32_t folderId = 0;     // the camera's id of the folder; 0 for a card
    std::string fileName;     // DCF name, upper-cased on a card
    int32_t fileId = 0;       // the camera's id of the picture; 0 for a card
    int32_t protect = 0;      // 1 when read-only / protected
    int32_t hidden = 0;       // 1 when hidden
    int64_t time = 0;         // modification time, seconds since 1970-01-01 UTC
    uint32_t size = 0;        // file size in bytes
};

// A listing in listing order.
using FileInfoArray = std::vector<FileListEntry>;

// Empties the array (last entry first); harmless on an empty array.
void FreeFileInfoArray(FileInfoArray& array);

// One tile of a decoded picture: a zero-filled block holding a packed DIB (header,
// then the rows bottom-up, each padded to 4 bytes).
struct BitmapRecord {
    std::vector<uint8_t> block;  // the whole packed DIB
    uint32_t headerSize = 0;     // offset of the pixel bits in the block (40 or 1064)
    uint32_t size = 0;           // block size in bytes
    uint32_t width = 0;          // tile width in pixels
    uint32_t height = 0;         // tile height in pixels

    uint8_t* bits() { return block.empty() ? nullptr : block.data() + headerSize; }
    const uint8_t* bits() const { return block.empty() ? nullptr : block.data() + headerSize; }
};

// The calendar block of a date tag: 32 bytes, the first word its size.
struct JqCalendar {
    uint32_t size = 32;
    int32_t year = 0;    // full year number
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    double second = 0.0;
};
static_assert(sizeof(JqCalendar) == 32, "the calendar block is 32 bytes");

// Shooting information of one picture. Every field keeps its "missing" value
// when the picture does not report it (null text = empty optional).
struct ShotInfo {
    std::optional<JqCalendar> dateTime;      // DateTime (306)
    int32_t pixelWidth = -1;                 // information command 49, first word
    int32_t pixelHeight = -1;                // information command 49, second word
    double xResolution = -1.0;               // XResolution (282)
    double yResolution = -1.0;               // YResolution (283)
    std::optional<std::string> model;        // Model (272)
    std::optional<std::string> userComment;  // UserComment (37510), character-code prefix removed
    int32_t bitsPerSample = 0;               // BitsPerSample (258)
    std::optional<std::string> artist;       // Artist (315)
    std::optional<std::string> copyright;    // Copyright (33432)
    int32_t maker80004 = -1;
    int32_t meteringMode = -1;               // MeteringMode (37383)
    int32_t exposureProgram = -1;            // ExposureProgram (34850)
    int32_t flash = -1;                      // Flash (37385): 1 fired, 0 not
    int32_t hasFocalLength = 0;              // FocalLength (37386) present
    double focalLength = 0.0;
    std::optional<std::string> exposureTime; // ExposureTime (33434), e.g. "1/125"
    std::optional<std::string> fNumber;      // FNumber (33437), e.g. "F2.8"
    int32_t hasExposureBias = 0;             // ExposureBiasValue (37380) present
    double exposureBias = 0.0;
    int32_t maker80005 = -1;
    std::optional<std::string> maker80083Text;  // formatted from 0x80083 and 0x80084
    int32_t maker80082 = -1;
    int32_t maker80008 = -1;
    int32_t hasMaker8000E = 0;               // 0x8000E present
    double maker8000E = 0.0;
    int32_t maker8000D = -1;
    std::optional<std::string> maker80002Text;
    int32_t maker80006 = -1;
    int32_t maker80081 = -1;
    int32_t colorModel = -1;                 // information command 49, fourth word, when a colour model was passed
    int32_t maker80080 = -1;
    std::optional<std::string> maker30001Text;  // formatted from 0x30001 and 0x30002
    std::optional<std::string> maker30003Text;  // formatted from 0x30003 and 0x30004
    int32_t hasMaker30006 = 0;               // 0x30006 present
    double maker30006 = 0.0;
    int32_t maker8008D = -1;
    int32_t maker80092 = -1;
    int32_t maker80094 = 0x7FFFFFFF;
};

// A decoded picture or thumbnail.
struct PictureRecord {
    std::string name;                    // last path component
    std::vector<BitmapRecord> blocks;    // tiles, row-major from the bottom tile row; empty when no pixels
    // Values of the picture buffer.
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    uint32_t lastColumnWidth = 0;
    uint32_t lastRowHeight = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t tilesAcross = 0;            // grid columns
    uint32_t tilesDown = 0;              // grid rows
    uint32_t depth = 0;                  // bytes per sample of the source
    int32_t movie = 0;                   // name ends in ".MOV"
    int32_t protect = 0;
    int32_t hidden = 0;
    int32_t transferMarked = 0;
    int32_t exif = 0;                    // JPEG: holds an EXIF version tag; 1 for other types
    int32_t rotation = 0;                // quarter turns clockwise, 0..3
    uint32_t size = 0;                   // bytes
    int32_t thumbValue = 0;              // value reported by the thumbnail reader (2: fresh local copy)
    int32_t index = 0;                   // position in the browser's sorted list
    std::unique_ptr<ShotInfo> shotInfo;
};

// Frees the tiles of a record and clears its grid.
void FreeBitmapArray(PictureRecord& record);

// Frees the tiles; with withRecord also the shooting information, the name and
// the record itself (the pointer becomes null). Safe on a null record.
void FreePictureRecord(std::unique_ptr<PictureRecord>& record, bool withRecord);

// True when the name ends in ".MOV" (any case).
bool IsMovieName(const std::string& name);
