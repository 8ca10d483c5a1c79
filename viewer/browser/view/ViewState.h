#pragma once
// The browser view's own state apart from its widgets: display modes, the
// layout of its controls, the pane's scrolling, the busy animation and the
// values it keeps in the settings.
#include <cstdint>
#include <string>

class CViewSettings;

// 0 tree and information box, 1 tree only, 2 information box only, 3 neither.
class DisplayMode {
public:
    static bool TreeShown(int32_t mode) { return mode == 0 || mode == 1; }
    static bool InfoShown(int32_t mode) { return mode == 0 || mode == 2; }
    static int32_t ModeFor(bool tree, bool info);

    int32_t Current() const { return current_; }
    int32_t Next() const { return next_; }
    void SetNext(int32_t mode) { next_ = (mode >= 0 && mode <= 3) ? mode : 0; }
    // Makes the next mode current and advances the next one (0, 1, 2, 3, 0...).
    int32_t Apply();
    int32_t ToggleTree();
    int32_t ToggleInfo();
    // The display-mode button's state: the focus of what the mode shows.
    static int32_t ButtonState(int32_t mode, bool treeFocus, bool infoFocus);

private:
    int32_t current_ = 0;
    int32_t next_ = 0;
};

struct ViewRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ViewRect&) const = default;
};

// Control ids of the view.
enum ViewControlId : int32_t {
    kIdTree = 1000, kIdOpenViewer = 1017, kIdSave = 1075, kIdPrint = 1027, kIdDelete = 1030,
    kIdRotateLeft = 1033, kIdRotateRight = 1039, kIdSettings = 1041, kIdTransfer = 1044,
    kIdPictureSize = 1061, kIdHelp = 1046, kIdDisplayMode = 1011, kIdThumbSize = 1004,
    kIdBusy = 1062, kIdInfo = 1036, kIdPane = 1054, kIdScrollBar = 1103,
    kIdCheckLocal = 1159, kIdCheckWeb = 1160, kIdCaptionLocal = 1158, kIdCaptionWeb = 1157,
};

// Where a control sits in a view of the given size (W = width - 4, H = height - 3);
// scrollBarWidth is the system's vertical scroll-bar width.
ViewRect ControlRect(int32_t id, int32_t mode, int32_t viewWidth, int32_t viewHeight, int32_t scrollBarWidth);

// The information box after its text changed (t from the view's height).
ViewRect InfoBoxRect(int32_t viewHeight, bool treeShown);

// The vertical scrolling of the thumbnail pane. Each move returns the change
// of position, by which the pane is scrolled.
class PaneScroll {
public:
    int32_t Position() const { return position_; }
    int32_t Maximum() const { return maximum_; }
    int32_t Page() const { return page_; }
    bool Enabled() const { return enabled_; }

    void Reset();
    int32_t LineUp() { return MoveTo(position_ - 10); }
    int32_t LineDown() { return MoveTo(position_ + 10); }
    int32_t PageUp(int32_t clientHeight) { return MoveTo(position_ - clientHeight); }
    int32_t PageDown(int32_t clientHeight) { return MoveTo(position_ + clientHeight); }
    int32_t Track(int32_t position) { return MoveTo(position); }
    int32_t Top() { return MoveTo(1); }
    int32_t Bottom() { return MoveTo(maximum_); }
    int32_t Wheel(int32_t delta);
    // An item was placed with its cell top at rowTop: the content reaches below it.
    void GrowTo(int32_t rowTop, int32_t thumbSize, int32_t clientHeight);
    // The grid was laid out again (another width or thumbnail size): the range
    // becomes what the last placed row needs, the position stays inside it.
    void Refit(int32_t lastRowTop, int32_t thumbSize, int32_t clientHeight);

private:
    int32_t MoveTo(int32_t position);

    int32_t position_ = 0;
    int32_t maximum_ = 0;
    int32_t page_ = 0;
    bool enabled_ = false;
};

// Busy animation frames 1 to 9, then 1 again.
class BusyFrame {
public:
    int32_t Frame() const { return frame_; }
    int32_t Step() { return frame_ = frame_ >= 9 ? 1 : frame_ + 1; }
    void Reset() { frame_ = 1; }

private:
    int32_t frame_ = 1;
};

// What the view keeps of the settings, read at construction and written back at its end.
struct ViewSettingsCopy {
    int32_t thumbSize = 64;      // a stored 0 means 64
    int32_t viewInfo = 0;
    uint32_t imageSize = 0;
    std::string repFolder;
    uint32_t checkLocal = 1;
    uint32_t checkWeb = 0;
    uint32_t createThumbnail = 0;  // thumbnails made from the pictures, not their own

    static ViewSettingsCopy FromSettings(const CViewSettings& settings);
};

struct FrameGeometry {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool maximised = false;
};

// PrevViewInfo, ImageSize, RepFolder and the destination checks; false when a write failed.
bool SaveViewSettings(CViewSettings& settings, const ViewSettingsCopy& copy, const FrameGeometry& frame,
                      int32_t displayMode);
