#pragma once
// The decisions behind the browser view's commands and notifications: which
// buttons are enabled, what the error and library-result boxes show and whether
// the browser closes after them, which save destinations are refused, and how
// a camera's transfer request is answered.
#include <cstdint>
#include <string>

struct ButtonInputs {
    bool anySelected = false;
    bool treeFocus = false;
    bool paneFocus = false;
    bool idle = true;
    bool rootSelected = false;
    bool treeHasItems = false;
    int32_t selected = 0;
    int32_t selectedMovies = 0;
    int32_t selectedWithoutThumb = 0;
    bool movieSelected = false;
    bool checkLocal = true;
    bool checkWeb = false;
    bool webUpload = false;
};

struct ButtonStates {
    bool open = false, save = false, print = false, rotate = false, transfer = false, remove = false;
    bool operator==(const ButtonStates&) const = default;
};

ButtonStates UpdateViewerButtons(const ButtonInputs& in);

enum class BoxIcon { None, Stop, Exclamation, Information };

struct BoxDecision {
    bool show = true;
    BoxIcon icon = BoxIcon::Stop;
    int32_t textId = 0;            // 0: the code's own message
    bool withProgramName = false;  // the text is formatted with the program's name
    bool closeTarget = false;      // post the close of the target to the main window
};

// The error box for a result code (a lost camera session already made -111).
BoxDecision DecideErrorBox(int32_t code);
// The library-result box: kind 1-4, fatal flag as posted.
BoxDecision DecideLibraryResult(int32_t kind, bool fatal);

// Drive types of a save destination.
enum class DriveKind { Unknown, Fixed, Removable, CdRom, Network };

// 0 when the folder may take the pictures, else the refusing text id.
// A short path (a drive root) or one starting with a backslash is judged by its
// drive type; a longer path by whether its status can be read.
int32_t CheckSaveTarget(const std::string& path, DriveKind drive, bool statusReadable);

// The control whose help a marked hover button stands for, by its bitmap set.
int32_t HelpIdForButtonSet(int32_t set);

// Thumbnail size of commands 32814-32818; 0 for other commands.
int32_t ThumbSizeForCommand(int32_t command);
// ImageSize of commands 32824-32827; -1 for other commands.
int32_t ImageSizeForCommand(int32_t command);

struct CameraRequestDecision {
    bool askUser = false;          // write "waiting" and ask 61670
    int32_t refuseTextId = 0;      // show this and answer "canceled"
};
CameraRequestDecision DecideCameraRequest(bool webUpload, bool checkLocal, bool checkWeb);

inline constexpr const char kReplyWaiting[] = "waiting        \r\n";
inline constexpr const char kReplyCanceled[] = "canceled       \r\n";
