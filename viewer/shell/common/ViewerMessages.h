#pragma once
// The viewer's window messages: every number defined once, here. Workers never
// touch windows; they post (or send) these to their owner window. Parameters are
// 32-bit: "id" is a language text id, "code" a picture-source result code,
// "index" a device index (0-25 drives A:-Z:, 26 + k camera class k).
#include <cstdint>

inline constexpr uint32_t kViewerMessageBase = 0x0400;  // the platform's first user message number

// Two messages share 0x401 and 0x402: their receivers tell them apart.
inline constexpr uint32_t UM_PROGRESS_RANGE = kViewerMessageBase + 0x01;       // job -> progress: lParam range
inline constexpr uint32_t UM_THUMB_PLACED = kViewerMessageBase + 0x01;         // reader -> view: wParam request, lParam item
inline constexpr uint32_t UM_PROGRESS_POS = kViewerMessageBase + 0x02;         // job -> progress: wParam position
inline constexpr uint32_t UM_THUMB_RUN_DONE = kViewerMessageBase + 0x02;       // controller -> view: wParam control block
inline constexpr uint32_t UM_PROGRESS = kViewerMessageBase + 0x03;             // job -> dialog: one item finished
inline constexpr uint32_t UM_SHOW_HINT = kViewerMessageBase + 0x04;            // wParam text id, 0 clears
inline constexpr uint32_t UM_SELECTION_CHANGED = kViewerMessageBase + 0x05;    // wParam single selected item or 0
inline constexpr uint32_t UM_TARGET_CHANGED = kViewerMessageBase + 0x06;       // folders changed: re-read folder list
inline constexpr uint32_t UM_LIBRARY_RESULT = kViewerMessageBase + 0x07;       // wParam kind, lParam fatal flag
inline constexpr uint32_t UM_ERROR = kViewerMessageBase + 0x08;                // wParam code, lParam code
inline constexpr uint32_t UM_TREE_CHECK = kViewerMessageBase + 0x09;           // timer 2: compare tree selection
inline constexpr uint32_t UM_FILE_MISSING = kViewerMessageBase + 0x0A;         // picture to show no longer exists
inline constexpr uint32_t UM_OPEN_TRANSFER_PANEL = kViewerMessageBase + 0x0B;  // -> main frame: close browser, open panel
inline constexpr uint32_t UM_OPEN_BROWSER = kViewerMessageBase + 0x0C;         // -> main frame: close panel, open browser
inline constexpr uint32_t UM_TARGET_OPENED = kViewerMessageBase + 0x0D;        // lParam index: a target is open
inline constexpr uint32_t UM_TARGET_MESSAGE = kViewerMessageBase + 0x0E;       // lParam id: show once, close target
inline constexpr uint32_t UM_OPEN_VIEWER = kViewerMessageBase + 0x0F;          // wParam picture record, lParam owned path
inline constexpr uint32_t UM_VIEW_SELECTION = kViewerMessageBase + 0x10;       // open selection in the built-in viewer
inline constexpr uint32_t UM_WORKER_DONE = kViewerMessageBase + 0x11;          // wParam outcome: close the dialog
inline constexpr uint32_t UM_ACCESS_STATE = kViewerMessageBase + 0x12;         // wParam 0 start, 1 end of a long operation
inline constexpr uint32_t UM_CLOSE_TARGET = kViewerMessageBase + 0x13;         // stop watching, close the work window
inline constexpr uint32_t UM_TRANSFER_BUSY = kViewerMessageBase + 0x14;        // wParam 0 busy, 1 end of busy
inline constexpr uint32_t UM_TRANSFER_FILE = kViewerMessageBase + 0x15;        // lParam record, valid during the send
inline constexpr uint32_t UM_TRANSFER_TOTAL = kViewerMessageBase + 0x16;       // wParam picture count
inline constexpr uint32_t UM_TRANSFER_PROGRESS = kViewerMessageBase + 0x17;    // wParam percent of the current picture
inline constexpr uint32_t UM_TRANSFER_END = kViewerMessageBase + 0x18;         // wParam TransResult; posted once
inline constexpr uint32_t UM_TARGET_FILES_CHANGED = kViewerMessageBase + 0x19; // pictures changed: re-read file list
inline constexpr uint32_t UM_SHOW_IMAGE = kViewerMessageBase + 0x1A;           // show the newly opened picture
// 0x41b is not used.
inline constexpr uint32_t UM_LIST_READY = kViewerMessageBase + 0x1C;           // file list complete
inline constexpr uint32_t UM_START_WITHOUT_MONITOR = kViewerMessageBase + 0x1D;// reopen the last target
inline constexpr uint32_t UM_TRANSFER_REQUEST = kViewerMessageBase + 0x1E;     // the card's order file asks for a transfer

// Command sent by the browser view to the browser frame: accept the camera's
// request (close the browser, open the transfer panel).
inline constexpr uint32_t ID_ACCEPT_CAMERA_REQUEST = 0x8047;  // 32839

// Results of the four-choice box.
inline constexpr int kFourChoiceFirst = 0x492;
inline constexpr int kFourChoiceLast = 0x495;

// The registered message from the device monitor (and a second copy of the
// viewer) to the main frame: wParam 0, lParam device index.
inline constexpr const char* kWakelyToLumoraMessageName = "WakelyToLumoraMessageString";

// Device indexes.
inline constexpr int kFirstCameraIndex = 26;
inline constexpr int kDriveCount = 26;
inline constexpr bool IsDriveIndex(int index) { return index >= 0 && index < kDriveCount; }
inline constexpr bool IsCameraIndex(int index) { return index >= kFirstCameraIndex; }
