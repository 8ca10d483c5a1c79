#pragma once
// The image-file library: one entry point, a command number and a parameter
// block whose first word is the block's size in bytes. Blocks are typed records
// with native pointers (64-bit safe); the command numbers and the meaning of each
// word are those the viewer relies on. 0 is success.
//
// Conventions of this library:
// - Pixels are rows top-down, tightly packed: 1 channel (grey, colour model 2) or
//   3 channels R,G,B (colour model 32); depth 1 or 2 bytes per sample (16-bit
//   samples in the machine's order).
// - Pictures are delivered upright: the file's own EXIF orientation (1, 3, 6, 8;
//   mirrored codes without their mirror) is applied first, and sizes are those
//   of the upright picture. Orientation codes 1, 8, 3, 6 then turn the delivered
//   pixels clockwise by 0, 1, 2 and 3 quarter turns.
// - A requested output size is in the coordinates of the turned picture (a size
//   with the unturned picture's proportions is read as unturned); a size of 0 or
//   the picture's own size means full size.
// - Tags: standard TIFF/EXIF ids with TIFF types (2 ASCII, 3 SHORT, 4 LONG,
//   5 RATIONAL, 7 UNDEFINED, 9 SLONG, 10 SRATIONAL); DateTime (306) reads as the
//   calendar type 0x1002 (32 bytes: size 32, year, month, day, hour, minute as
//   32-bit ints, seconds as a double); 33723 is the raw IPTC-IIM block (type 1).
//   Maker-data tags (0x3xxxx, 0x8xxxx) are the camera settings of the maker
//   note in this library's own codes (MakerTags.h); they cannot be set.
#include <cstdint>

extern "C" {

enum : uint32_t {
    JQFL_INITIALIZE = 1,
    JQFL_TERMINATE = 2,
    JQFL_OPEN = 3,
    JQFL_CLOSE = 4,
    JQFL_GET_FILE_TYPE = 5,
    JQFL_GET_IMAGE_INFO = 17,
    JQFL_READ_IMAGE = 18,
    JQFL_GET_SUB_IMAGE_INFO = 33,
    JQFL_READ_SUB_IMAGE = 34,
    JQFL_GET_INFO_WORD = 37,
    JQFL_GET_INFO_WORDS = 49,
    JQFL_GET_TAG_LIST = 81,
    JQFL_GET_TAG = 82,
    JQFL_SET_IMAGE_INFO = 273,
    JQFL_WRITE_IMAGE = 274,
    JQFL_SET_OPTIONS = 279,
    JQFL_SET_SUB_IMAGE_INFO = 289,
    JQFL_SET_TAG = 338,
    JQFL_SAVE_FILE = 768,
};

// Results.
enum : int32_t {
    JQFL_OK = 0,
    JQFL_NO_MEMORY = 1,
    JQFL_READ_ERROR = 3,
    JQFL_WRITE_ERROR = 4,
    JQFL_CORRUPT = 5,
    JQFL_UNSUPPORTED = 7,
    JQFL_CANNOT_OPEN = 9,
    JQFL_BAD_PARAMETER = 10,
    JQFL_STOPPED = 11,        // a save stopped by its progress procedure
    JQFL_NO_TAG = 12,         // the picture has no such tag
};

// File type codes (also the save formats).
enum : uint32_t {
    JQFL_TYPE_OTHER = 0,
    JQFL_TYPE_TIFF = 1,
    JQFL_TYPE_JPEG = 32,
    JQFL_TYPE_RAW = 0x100000,
    JQFL_TYPE_MOVIE = 0x200000,
};

// Colour models.
enum : int32_t {
    JQFL_MODEL_GREY = 2,
    JQFL_MODEL_CMYK = 4,
    JQFL_MODEL_RGB = 32,
};

enum : uint32_t {
    JQFL_TAGTYPE_CALENDAR = 0x1002,
    JQFL_TAG_IPTC = 33723,
};

struct JqflInitBlock {        // 1
    uint32_t size;
    uint32_t memoryWord;      // cache budget in bytes (0x2000000)
    uint32_t physicalHalf;    // half the machine's memory, saturated to 32 bits
    char workPath[260];       // scratch file of the caller (unused by this library)
};

struct JqflOpenBlock {        // 3 (open or new), 4 (close)
    uint32_t size;
    uint32_t fileId;          // out on open/new, in on close
    uint32_t mode;            // 1 or 4 with a path; 0 with no path makes a new picture
    const char* path;
    uint32_t reserved;
};

struct JqflFileTypeBlock {    // 5
    uint32_t size;
    uint32_t fileId;
    uint32_t type;            // out
};

struct JqflImageInfoBlock {   // 17 (out), 273 (in), 33 (out), 289 (in)
    uint32_t size;
    uint32_t fileId;
    uint32_t subImage;        // sub-image index for 33 and 289; 0 otherwise
    int32_t width;
    int32_t height;
    int32_t depth;            // bytes per sample
    int32_t colorModel;
    int32_t orientation;      // 1, 8, 3, 6
};

struct JqflRectBlock {        // 18, 274, 34
    uint32_t size;
    uint32_t fileId;
    uint32_t subImage;
    int32_t left, top, right, bottom;  // right and bottom exclusive
    uint32_t bufferSize;      // in: size of the buffer; out: bytes written or read
    uint8_t* buffer;
};

struct JqflInfoWordsBlock {   // 37 (word[0]), 49 (four words)
    uint32_t size;
    uint32_t fileId;
    uint32_t reserved;
    int32_t word[4];          // 49: original width, height, 0, colour model
};

struct JqflTagEntry {
    uint32_t tag;
    uint32_t type;
    uint32_t count;
    uint32_t byteSize;
};

struct JqflTagListBlock {     // 81
    uint32_t size;
    uint32_t fileId;
    uint32_t count;           // in: capacity of the list; out: number of tags
    JqflTagEntry* list;       // null with count 0 asks for the count only
};

struct JqflTagBlock {         // 82 (read), 338 (write)
    uint32_t size;
    uint32_t fileId;
    uint32_t tag;
    uint32_t type;            // out on 82
    uint32_t count;           // out on 82
    uint32_t bufferSize;      // 82: in with a buffer, out the size needed; 338: data size
    void* buffer;             // null on 82 asks for type, count and size only
};

struct JqflOptionEntry {
    uint32_t size;
    uint32_t word[3];
};

// Option (word[0]) of command 279 choosing where a JPEG's sub-image comes from:
// word[1] = 1 lets it be drawn from the EXIF thumbnail the file carries, when
// that thumbnail has the picture's proportions and at least the asked size;
// 0 (the default) always builds it from the picture itself.
enum : uint32_t {
    JQFL_OPTION_SUB_IMAGE_SOURCE = 2,
};

struct JqflOptionsBlock {     // 279
    uint32_t size;
    uint32_t fileId;
    uint32_t count;
    const JqflOptionEntry* entries;
};

// Progress of a save: bytes done, bytes total, the caller's reference; a non-zero
// answer stops the save (nothing is written then).
typedef int32_t (*JqflProgress)(uint32_t done, uint32_t total, void* reference);

struct JqflSaveBlock {        // 768
    uint32_t size;
    uint32_t fileId;
    uint32_t one;             // 1
    uint32_t format;          // JQFL_TYPE_JPEG or JQFL_TYPE_TIFF
    uint32_t option;          // JPEG quality class 1, 2, 3 (low, normal, fine)
    const char* path;
    uint32_t reserved;
    JqflProgress progress;    // may be null
    void* reference;
};

typedef int32_t (*JqflEntryProc)(uint32_t command, void* block);

int32_t Jqfl_Entry(uint32_t command, void* block);

}  // extern "C"
