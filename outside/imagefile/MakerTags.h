#pragma once
// The camera settings a maker note holds, reported as this library's own tags
// with the library's own value codes, whatever camera wrote them. Exiv2 decodes
// the maker notes; the camera's words for a setting ("AI Servo AF", "AF-C",
// "Continuous") are read into one code ("continuous autofocus").
//
// Tags (all read-only; a picture without maker data has none of them):
//   0x80004 SLONG  quality and file type: 0 fine, 1 normal, 2 basic, 16 raw,
//                  17 TIFF, 32 raw + JPEG, 38 raw + TIFF, 132 movie
//   0x80005 SLONG  white balance: 0 auto, 1 daylight, 2 cloudy, 3 shade,
//                  4 tungsten, 5 fluorescent, 6 daylight fluorescent,
//                  7 white fluorescent, 8 flash, 9 custom, 10 colour temperature
//   0x80082 SLONG  focus mode: 0 auto, 1 manual, 0x1001 single AF, 0x2001
//                  continuous AF, 0x3001 macro, 0x3002 super macro, 0x4001 infinity
//   0x80083 ASCII  the focus mode in the camera's words, when no code fits
//   0x80084 ASCII  the autofocus area or point in the camera's words
//   0x80008 SLONG  drive: 0 single frame, 1 continuous, 2 self-timer,
//                  16 bracketing, 17 interval
//   0x8000E SRATIONAL digital zoom ratio; 0 when digital zoom was off
//   0x8000D SLONG  noise reduction: 1 on, 0 off
//   0x80002 ASCII  picture style
//   0x80006 SLONG  sharpness: 0 normal, 1 soft, 2 hard, 3 off, 9 auto
//   0x8008D SLONG  image stabiliser: 1 on, 0 off
//   0x80092 SLONG  shutter count
//   0x80094 SLONG  contrast, 0 to 4 for -2 to +2
//   0x80080 SLONG  shooting program: 1 auto, 2 program, 257 portrait,
//                  258 landscape, 260 night scene, 264 sports, 266 close-up
//   0x80081 SLONG  scene: 0 standard, 1 portrait, 2 landscape, 3 night, 16 movie
//   0x30001 ASCII  lens name
//   0x30002 RATIONAL x2 the lens's shortest and longest focal length in mm
//   0x30003 ASCII  firmware, as the maker note names it
//   0x30004 ASCII  firmware, as the picture's Software tag names it
//   0x30006 SRATIONAL subject distance in metres (the standard tag when the
//                  maker note has none)
#include <cstdint>
#include <map>

#include <exiv2/exif.hpp>

namespace jqfl {

struct TagValue;

namespace maker {

enum : uint32_t {
    kQuality = 0x80004,
    kWhiteBalance = 0x80005,
    kFocusMode = 0x80082,
    kFocusModeText = 0x80083,
    kFocusAreaText = 0x80084,
    kDrive = 0x80008,
    kDigitalZoom = 0x8000E,
    kNoiseReduction = 0x8000D,
    kPictureStyle = 0x80002,
    kSharpness = 0x80006,
    kStabiliser = 0x8008D,
    kShutterCount = 0x80092,
    kContrast = 0x80094,
    kShootingProgram = 0x80080,
    kScene = 0x80081,
    kLensName = 0x30001,
    kFocalRange = 0x30002,
    kFirmware = 0x30003,
    kSoftware = 0x30004,
    kSubjectDistance = 0x30006,
};

}  // namespace maker

// The entry of a standard group ("Image", "Photo") with this tag number, or
// data.end(). Cheaper than findKey: Exiv2 parses a key given by name against
// its whole list of groups and tags.
Exiv2::ExifData::const_iterator findExifEntry(const Exiv2::ExifData& data, const char* group, uint16_t tag);

// Adds the maker tags that the decoded EXIF data gives to `tags`.
void addMakerTags(const Exiv2::ExifData& data, std::map<uint32_t, TagValue>& tags);

}  // namespace jqfl
