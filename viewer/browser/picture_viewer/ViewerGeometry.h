#pragma once
// Sizes, zoom steps, scroll geometry and cursors of the built-in viewer, kept
// apart from the windows so that they can be checked without a screen.
#include <cstdint>
#include <string>
#include <string_view>

struct PictureRecord;

// What the first size of a viewer frame depends on.
struct ScreenMetrics {
    int32_t statusFontHeight = 12;  // absolute height of the status-bar font
    int32_t captionHeight = 22;
    int32_t frameWidth = 4;
    int32_t borderWidth = 1;
    int32_t screenWidth = 1024;  // the desktop's usable area
    int32_t screenHeight = 768;
};

struct FrameSize {
    int32_t width = 0;
    int32_t height = 0;
    int32_t startZoom = 100;
    int32_t statusHeight = 0;
    bool maximize = false;
};

inline constexpr int32_t kViewerMinWidth = 648;
inline constexpr int32_t kViewerMinHeight = 455;
inline constexpr int32_t kViewerDefaultWidth = 768;
inline constexpr int32_t kViewerDefaultHeight = 558;
inline constexpr int32_t kZoomMin = 12;
inline constexpr int32_t kZoomMax = 800;

// A picture side fitted into room: the zoom and the fitted side (plus its 5-pixel edge).
struct SideFit {
    int32_t zoom = 100;
    int32_t side = 0;
};
SideFit FitSide(int32_t pictureSide, int32_t room);

// The first size and start zoom of a frame showing a picture of width x height.
FrameSize ComputeFrameSize(int32_t pictureWidth, int32_t pictureHeight, const ScreenMetrics& screen);

// Zoom state of a form: the percent and whether each direction may go on.
struct ZoomState {
    int32_t zoom = 100;
    bool zoomInAllowed = true;
    bool zoomOutAllowed = true;

    // Flags as they stand at the start zoom.
    static ZoomState At(int32_t zoom);
    // One step; false when already at the end (nothing changes).
    bool ZoomIn();
    bool ZoomOut();
};

// One axis of the layout.
struct AxisLayout {
    int32_t position = 0;     // picture point at the pane's edge; negative: centred
    int32_t barMaximum = 0;   // zoomed size - pane size
    int32_t barPosition = 0;  // what the scroll bar shows
    int32_t zoomedSize = 0;
    bool enabled = false;
};

struct ViewerLayout {
    double zoomFactor = 0.0;  // 0: no layout yet
    int32_t paneWidth = 0;
    int32_t paneHeight = 0;
    AxisLayout horizontal;
    AxisLayout vertical;
    bool dragScroll = false;
};

// Lays the picture out in a pane at zoom percent. Returns false (next left as
// prev) when not forced and nothing changed.
bool ComputeLayout(const PictureRecord& record, int32_t zoom, int32_t paneWidth, int32_t paneHeight, bool forced,
                   const ViewerLayout& prev, ViewerLayout* next);

// Scroll-bar requests.
enum class ScrollRequest { LineBack, LineForward, PageBack, PageForward, ThumbPosition, ThumbTrack, Top, Bottom };

// The new position of a bar (0 .. maximum) for a request. pageSize is the
// pane's client height for the vertical bar; the horizontal bar pages by 100.
int32_t ScrollTarget(ScrollRequest request, bool vertical, int32_t current, int32_t thumb, int32_t pageSize,
                     int32_t maximum);

// Cursors of the picture pane.
enum class PaneCursor { Arrow, OpenHand = 521, ClosedHand = 522, NoZoom = 523, ZoomIn = 524, ZoomOut = 525 };

struct PaneInput {
    bool control = false;
    bool alt = false;
    bool zoomInAllowed = true;
    bool zoomOutAllowed = true;
    bool zoomInButtonEnabled = true;
    bool zoomOutButtonEnabled = true;
    bool scrollable = false;   // a scroll bar is enabled
    bool overCaption = false;
};
// The set-cursor table, first match.
PaneCursor SetCursorFor(const PaneInput& in);

// Quarter turns after a rotate button: clockwise +1, counter-clockwise -1, wrapping.
int32_t NextQuarterTurns(int32_t turns, bool clockwise);

// "folder\file" of a viewer frame split into its parts; false when it has no
// backslash. Folders may be longer than the 8 characters of card folders.
bool SplitViewerTitle(std::string_view title, std::string* folder, std::string* file);
// The title of a picture's frame.
std::string ViewerTitle(const std::string& folder, const std::string& file);
