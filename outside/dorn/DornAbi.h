#pragma once
/* The camera-module interface: one C entry point per module file ("*.kx3"),
 * DORNEntryPoint, taking seven arguments. The viewer and the device monitor
 * load a module with dlopen from <CommonFilesDir>/Vorel/DornMods/ and reach
 * every module object (the module, its sources, their items, each item's data
 * objects) through it.
 *
 * Field order and meaning follow the module contract; pointers are pointer
 * sized (modules are built for the machine they run on, so no packed 32-bit
 * layouts). Every module of the suite compiles against this one header.
 *
 * Rules a module keeps:
 *  - A null completion procedure means "synchronous": do the work, return.
 *  - With a procedure, the module completes the request exactly once, with the
 *    same object, command, parameter, data type and data it was given, either
 *    inside the same call or inside a later entry call (command 0 gives it the
 *    chance). If it refuses an asynchronous request it may simply return the
 *    failure: the caller then completes the request itself.
 *  - Completions and callbacks are made only on the thread that is inside an
 *    entry call. Queue results from other threads and deliver them on command 0.
 *  - A request's data pointer is the caller's only until the request is
 *    completed or aborted: a module with threads of its own keeps results in
 *    its own memory and copies them out only when it completes the request.
 *  - Commands 0, 10 and 11 carry the target's record as object (null means
 *    "every object"); all other arguments are 0. Command 11 aborts the request
 *    in flight on that object: complete it with DORN_E_CANCELLED inside the call.
 *  - Keep each child's record pointer (command 1) until command 2 on it: it is
 *    the handle passed back in completions.
 *  - The caller calls back into the module from inside callbacks; hold no
 *    non-recursive lock while calling out.
 */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- records ---------------------------------------------------------- */

typedef struct DornObjectRecord {
    uint32_t objectType;     /* written by the module at open; DORN_TYPE_ITEM marks an item */
    uint32_t objectId;       /* written by the module at open */
    void* clientReference;   /* the caller's wrapper object, written by the caller */
    void* moduleReference;   /* the caller writes null; the module fills it */
} DornObjectRecord;

typedef void (*DornProc)(void); /* the stored form of every callback procedure */

typedef struct DornCallbackRecord {
    DornProc procedure;      /* null removes the callback */
    void* reference;         /* handed back as the callback's reference */
} DornCallbackRecord;

typedef struct DornArray {
    uint32_t elementType;
    uint32_t elementCount;
    uint32_t dimension1;
    uint32_t dimension2;
    uint32_t dimension3;
    uint16_t bytesPerElement;
    uint16_t significantBits;
    void* data;              /* bytesPerElement * elementCount bytes */
} DornArray;

typedef struct DornEnum {
    uint32_t elementType;
    uint32_t elementCount;
    uint32_t currentIndex;
    uint32_t defaultIndex;
    int16_t bytesPerElement;
    void* data;              /* bytesPerElement * elementCount bytes */
} DornEnum;

typedef struct DornRange {
    double value;
    double defaultValue;
    uint32_t stepIndex;
    uint32_t reserved;       /* passed through */
    double lower;
    double upper;
    uint32_t stepSize;       /* 0: any value between the bounds */
} DornRange;

enum { DORN_DESCRIPTION_SIZE = 256, DORN_TEXT_SIZE = 256 };

typedef struct DornCapRecord {
    uint32_t id;
    uint32_t type;           /* DORN_CAPTYPE_* or passed through */
    uint32_t listFlags;      /* 0x01 .. 0x20, passed on to callers */
    uint32_t operationFlags; /* DORN_OP_* */
    char description[DORN_DESCRIPTION_SIZE];
} DornCapRecord;

/* Data delivered through the capability-4 callback after a delivery start (20). */
typedef struct DornDeliveryInfo {
    uint32_t size;           /* sizeof(DornDeliveryInfo) */
    uint32_t dataType;       /* 1 picture bytes, 8 thumbnail pixel rows */
    uint32_t offset;         /* byte offset of this buffer in the whole */
    uint32_t length;         /* bytes at the data pointer */
    uint32_t total;          /* bytes of the whole */
    uint32_t width;          /* thumbnail only */
    uint32_t height;
    uint32_t colourModel;    /* 2: three channels, R,G,B */
    uint32_t rowBytes;       /* rows top-down, a multiple of 4 */
    uint32_t flags;          /* DORN_DELIVERY_LAST on the last buffer */
} DornDeliveryInfo;

enum { DORN_DELIVERY_LAST = 1 };

/* The value of the capability-5 request callback: ask the user. */
typedef struct DornPromptRequest {
    uint32_t size;           /* sizeof(DornPromptRequest) */
    uint32_t kind;           /* 1 OK/Cancel, 2 Yes/No, 3 Yes/No/Cancel, else OK */
    uint32_t defaultButton;  /* 0, 2 or 3 */
    const char* text;
    const char* text2;       /* appended when not null */
} DornPromptRequest;

/* Item capability 13 (data type 12): the picture's time. */
typedef struct DornItemDate {
    uint16_t year;
    uint16_t month;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
} DornItemDate;

/* ---- procedures ------------------------------------------------------- */

typedef int32_t (*DornCompletionProc)(DornObjectRecord* object, uint32_t command,
                                      uint32_t parameter, uint32_t dataType, uintptr_t data,
                                      uintptr_t reference, int32_t result);

typedef int32_t (*DornEntryProc)(DornObjectRecord* object, uint32_t command, uint32_t parameter,
                                 uint32_t dataType, uintptr_t data, DornCompletionProc proc,
                                 uintptr_t reference);

/* Callback shapes by capability. */
typedef void (*DornProgressProc)(uint32_t a, uint32_t b, void* reference, uint32_t c, uint32_t d); /* 2 */
typedef void (*DornEventProc)(void* reference, uint32_t event, uint32_t data);                    /* 3 */
typedef int32_t (*DornDeliveryProc)(void* reference, const DornDeliveryInfo* info, const void* data); /* 4 */
typedef int32_t (*DornRequestProc)(void* reference, uintptr_t value);                              /* 5 */

#define DORN_ENTRY_NAME "DORNEntryPoint"

/* ---- codes ------------------------------------------------------------ */

enum DornCommand {
    DORN_CMD_PUMP = 0, DORN_CMD_OPEN = 1, DORN_CMD_CLOSE = 2, DORN_CMD_CAPCOUNT = 3,
    DORN_CMD_CAPRECORDS = 4, DORN_CMD_START = 5, DORN_CMD_SET = 6, DORN_CMD_GET = 7,
    DORN_CMD_GETDEFAULT = 8, DORN_CMD_GETELEMENTS = 9, DORN_CMD_GO = 10, DORN_CMD_ABORT = 11,
    DORN_CMD_IDLE = 13, DORN_CMD_CODE15 = 15
};

enum DornDataType {
    DORN_DT_NONE = 0, DORN_DT_BOOL = 1, DORN_DT_U32VALUE = 3, DORN_DT_PBOOL = 4, DORN_DT_PU16 = 5,
    DORN_DT_PU32 = 6, DORN_DT_PF64 = 7, DORN_DT_PPAIR = 8, DORN_DT_PSIZE = 9, DORN_DT_PRECORD10 = 10,
    DORN_DT_PTEXT = 11, DORN_DT_PRECORD12 = 12, DORN_DT_PCALLBACK = 13, DORN_DT_PRANGE = 14,
    DORN_DT_PARRAY = 15, DORN_DT_PENUM = 16, DORN_DT_POBJECT = 17, DORN_DT_PCAPRECORDS = 18
};

enum DornElementType {
    DORN_ELEM_U8 = 0, DORN_ELEM_U32A = 1, DORN_ELEM_U32B = 2, DORN_ELEM_TEXTBLOCK = 7, DORN_ELEM_TEXT256 = 8
};

enum DornCapType { DORN_CAPTYPE_GROUP = 11, DORN_CAPTYPE_ENUM = 12, DORN_CAPTYPE_RANGE = 13 };

enum DornOperationFlag {
    DORN_OP_START = 0x01, DORN_OP_GET = 0x02, DORN_OP_SET = 0x04, DORN_OP_08 = 0x08, DORN_OP_DEFAULT = 0x10
};

enum DornEvent { DORN_EVENT_ADDED = 0, DORN_EVENT_REMOVED = 1, DORN_EVENT_CAPLIST = 4, DORN_EVENT_VALUE = 6 };

enum { DORN_TYPE_MODULE = 1, DORN_TYPE_SOURCE = 2, DORN_TYPE_ITEM = 3, DORN_TYPE_DATA = 4 };

/* Data types of an item's data objects (also their child ids). */
enum { DORN_DATA_PICTURE = 1, DORN_DATA_THUMBNAIL = 8 };

/* Capability ids on the suite's road. */
enum DornCapability {
    DORN_CAP_IDLE_PERIOD = 1,      /* u32 ms (dt 6) */
    DORN_CAP_PROGRESS_CB = 2,
    DORN_CAP_EVENT_CB = 3,
    DORN_CAP_DELIVERY_CB = 4,
    DORN_CAP_REQUEST_CB = 5,
    DORN_CAP_CHILDREN = 7,         /* enum of u32 child ids, bpe 4 */
    DORN_CAP_ARRAY8 = 8,
    DORN_CAP_NAME = 9,             /* text: source model name, item file name */
    DORN_CAP_TEXT10 = 10,
    DORN_CAP_KINDS = 12,           /* u32 mask of data kinds: 0x01 picture, 0x08 thumbnail */
    DORN_CAP_DATE = 13,            /* item: DornItemDate (dt 12) */
    DORN_CAP_SIZE = 14,            /* item: u32 bytes (dt 6) */
    DORN_CAP_DELIVER = 20,         /* data object: start delivery */
    DORN_CAP_DELIVER_OPTION = 21,
    DORN_CAP_STATUS = 49,          /* source: 16-bit status (dt 5): 0 error, 1 not ready, 2 normal */
    DORN_CAP_START52 = 52,         /* item: delete the picture */
    DORN_CAP_FOLDERS = 0x8102,     /* source: enum of folder names, entry 0 is no folder */
    DORN_CAP_FORMAT = 0x8103,      /* source: format the medium; 140 = busy */
    DORN_CAP_STATE = 0x8108,       /* source: u32, 0/1 usable, 2 no access, 3 lost */
    DORN_CAP_DELETE_FOLDER = 0x812C, /* source: delete the current folder */
    DORN_CAP_HEADER = 0x8140,      /* picture data object: header bytes (array) */
    DORN_CAP_PROTECT = 0x814A,     /* item: bool (dt 4 get and set) */
    DORN_CAP_HIDE = 0x814B         /* item: bool (dt 4 get and set) */
};

/* Results. 0 is success; module results outside the layer's range pass through. */
enum DornResult {
    DORN_OK = 0,
    DORN_BUSY = 1,                 /* data-object close: try again */
    DORN_E_IO_FIRST = -239,        /* -239 .. -235: file and I/O failures */
    DORN_E_WRITE = -236,
    DORN_E_OPEN_FILE = -237,
    DORN_E_IO_LAST = -235,
    DORN_E_NOT_FOUND = -241,       /* no such folder or picture */
    DORN_E_LOST = -122,            /* connection lost */
    DORN_E_CANCELLED = -123,
    DORN_E_CHANGED = -124,         /* data changed, read again */
    DORN_E_NOT_ENUM = -126,
    DORN_E_NO_WRAPPER = -244,
    DORN_E_BAD_VALUE = -245,
    DORN_E_BAD_TYPE = -246,
    DORN_E_NO_SUCH = -247,
    DORN_E_NOT_OPEN = -248,
    DORN_E_BUFFER = -249,
    DORN_E_ALREADY_OPEN = -250,
    DORN_E_NOT_OFFERED = -251,
    DORN_E_NO_MEMORY = -252,
    DORN_E_LOADED = -253,
    DORN_E_NO_ENTRY = -254,
    DORN_E_LOAD = -255,
    DORN_R_NO_SOURCE = 132,        /* source not usable */
    DORN_R_NO_ANSWER = 134,        /* camera does not answer */
    DORN_R_STATUS_ERROR = 135,
    DORN_R_PROTECTED = 138,        /* delete refused: protected */
    DORN_R_FORMAT_BUSY = 140,
    DORN_R_IN_USE = 150,           /* module open: in use by another program */
    DORN_R_NO_MEDIUM = 200
};

/* The one export of a module file. */
int32_t DORNEntryPoint(DornObjectRecord* object, uint32_t command, uint32_t parameter,
                       uint32_t dataType, uintptr_t data, DornCompletionProc proc,
                       uintptr_t reference);

#ifdef __cplusplus
}
#endif
