#pragma once
// KqApi: the album service library. Plain C functions; every one takes the caller's
// context record first and returns a 32-bit result (0 or a count on success, a
// negative code on failure). The service is a WebDAV collection (the album root):
// loose files in it are the storage room, each child collection is an album.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KQAPI_EXPORT __attribute__((visibility("default")))

enum {
    KQ_OK = 0,
    KQ_ERR_UNKNOWN = -1,
    KQ_ERR_INVALID_ARGUMENT = -2,
    KQ_ERR_ACCOUNT = -3,        // login name or password refused
    KQ_ERR_NO_CONNECTION = -4,  // server unreachable or silent past the time-out
    KQ_ERR_NO_SESSION = -5,     // no successful KqConnect on this context
    KQ_ERR_NO_SERVER = -6,      // bad address, or no album root there
    KQ_ERR_FILE = -7,
    KQ_ERR_MEMORY = -8,
    KQ_ERR_CANCELLED = -9,      // the caller's cancel callback stopped a transfer
    KQ_ERR_NOT_IMPLEMENTED = -100
};

// Context record, 796 bytes, zeroed by the caller. The caller writes the three
// zero-terminated texts; the first 8 bytes and the tail belong to the library.
typedef struct KqContext {
    unsigned char session[8];  // library: the session's handle (0 = none)
    char serverAddress[256];   // byte 8
    char loginName[256];       // byte 264
    char password[256];        // byte 520
    unsigned char reserved[20];
} KqContext;

// Album record, 536 bytes.
typedef struct KqAlbum {
    char key[16];            // leading key text: identifies the album to the library
    char name[256];          // shown to the user
    char description[264];
} KqAlbum;

// Photo record, 1348 bytes: filled by KqPhotoUpload, handed unchanged to KqAlbumAddPhoto.
typedef struct KqPhoto {
    char href[1024];         // path of the stored picture on the server
    char fileName[256];      // its name there
    char etag[60];
    unsigned char size[8];   // bytes stored, 64-bit little-endian
} KqPhoto;

typedef int (*KqCancelProc)(void* unused);                              // non-zero: stop
typedef void (*KqProgressProc)(void* unused, int64_t done, int64_t total);

KQAPI_EXPORT int32_t KqConnect(KqContext* context, const char* serverAddress, int32_t reserved);
KQAPI_EXPORT int32_t KqDisconnect(KqContext* context);
KQAPI_EXPORT int32_t KqPhotoUpload(KqContext* context, KqPhoto* photo, const char* path,
                                   KqCancelProc cancel, KqProgressProc progress);
KQAPI_EXPORT int32_t KqAlbumAddPhoto(KqContext* context, const KqAlbum* album, const KqPhoto* photo);
KQAPI_EXPORT int32_t KqGetAlbumCount(KqContext* context);
KQAPI_EXPORT int32_t KqGetAlbumList(KqContext* context, KqAlbum* albums, int32_t count);
KQAPI_EXPORT int32_t KqGetSpaceLeft(KqContext* context);  // units of 1000 bytes
KQAPI_EXPORT int32_t KqAlbumNew(KqContext* context, const KqAlbum* album);

// Time-outs of every later request, in milliseconds (connect, and a whole request
// that moves no bytes). Defaults 15000 and 60000; values <= 0 keep the current ones.
KQAPI_EXPORT void KqSetTimeouts(int32_t connectMs, int32_t stallMs);

#ifdef __cplusplus
}
static_assert(sizeof(KqContext) == 796, "context record is 796 bytes");
static_assert(sizeof(KqAlbum) == 536, "album record is 536 bytes");
static_assert(sizeof(KqPhoto) == 1348, "photo record is 1348 bytes");
#endif
