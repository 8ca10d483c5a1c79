#pragma once
// Value types shared by the imaging framework and the filters built on it.
#include <cstdint>

// Rectangle in pixels; right and bottom are exclusive.
struct VeltraRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct VeltraDblRect {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// The 40-byte bitmap header every tile carries (top-down rows, height negative).
struct VeltraBitmapHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(VeltraBitmapHeader) == 40, "bitmap header is 40 bytes");

struct VeltraPalette {
    int32_t count = 0;
    uint32_t colors[256] = {};
};

// One pixel as up to four components in their own scale (bytes or 16-bit samples).
struct VeltraPixel {
    int32_t components = 0;
    uint16_t value[4] = {};
};

// A path handed to the framework (page file, streams, profiles).
struct VeltraFile {
    char path[4096] = {};
};

// Four-character codes, read high byte first ('scal' = 0x7363616C).
constexpr int32_t VeltraFourCC(const char (&s)[5])
{
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(s[3])));
}

// Codes of the library's own errors (domain 0).
enum VeltraErrorCode : int32_t {
    kVeltraUnknownRun = 1001,
    kVeltraRunOpen = 1002,
    kVeltraNoSource = 1003,
    kVeltraOutOfMemory = 1005,
    kVeltraBadArgument = 1007,
    kVeltraBadState = 1010,
};

// Notification codes of the pull graph.
enum VeltraNotification : int32_t {
    kVeltraNotifyData = 0,
    kVeltraNotifySize = 1,
    kVeltraNotifyColorSpace = 2,
    kVeltraNotifyResolution = 3,
    kVeltraNotifyTransform = 4,
    kVeltraNotifyPalette = 5,
    kVeltraNotifyDestroy = 6,
    kVeltraNotifyUpdateAll = 7,
};
