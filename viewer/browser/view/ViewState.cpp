#include "viewer/browser/view/ViewState.h"

#include <algorithm>

#include "viewer/shell/settings/ViewSettings.h"

int32_t DisplayMode::ModeFor(bool tree, bool info) {
    if (tree) return info ? 0 : 1;
    return info ? 2 : 3;
}

int32_t DisplayMode::Apply() {
    current_ = next_;
    next_ = (current_ + 1) % 4;
    return current_;
}

int32_t DisplayMode::ToggleTree() {
    next_ = ModeFor(!TreeShown(current_), InfoShown(current_));
    return Apply();
}

int32_t DisplayMode::ToggleInfo() {
    next_ = ModeFor(TreeShown(current_), !InfoShown(current_));
    return Apply();
}

int32_t DisplayMode::ButtonState(int32_t mode, bool treeFocus, bool infoFocus) {
    if (mode == 0 || mode == 1) return treeFocus ? 1 : 0;
    if (mode == 2) return infoFocus ? 1 : 0;
    return 0;
}

namespace {

// Where the thumbnail pane ends; the left panel ends there too, so every
// control of the panel lies inside the view whatever its height.
int32_t PanelBottom(int32_t viewHeight) { return viewHeight - 11; }

// The bottom of the tree when the information box shares the panel with it.
int32_t SplitOfLeftPanel(int32_t viewHeight) { return ((viewHeight - 162) * 5) / 13 + 134; }

}  // namespace

ViewRect ControlRect(int32_t id, int32_t mode, int32_t viewWidth, int32_t viewHeight, int32_t v) {
    const int32_t w = viewWidth - 4;
    const int32_t h = viewHeight - 3;
    const bool tree = DisplayMode::TreeShown(mode);
    const bool info = DisplayMode::InfoShown(mode);
    switch (id) {
    case kIdTree: {
        // The tree and the information box share the left panel: the tree ends
        // at the split, the box starts 40 below it, and both end with the pane.
        const int32_t bottom = info ? SplitOfLeftPanel(viewHeight) : PanelBottom(viewHeight);
        return {10, 94, 178 + v, std::max<int32_t>(0, bottom - 94)};
    }
    case kIdInfo: {
        const ViewRect box = InfoBoxRect(viewHeight, tree);
        return {box.x, box.y, 178 + v, box.height};
    }
    case kIdPane:
        return (tree || info) ? ViewRect{219, 70, w - 247, h - 78} : ViewRect{44, 70, w - 72, h - 78};
    case kIdScrollBar: return {w - 27, 70, 16, h - 78};
    case kIdDisplayMode: return {6, 67, 28, 27};
    case kIdOpenViewer: return {13, 11, 46, 44};
    case kIdSave: return {59, 11, 46, 44};
    case kIdPrint: return {105, 11, 46, 44};
    case kIdDelete: return {151, 11, 46, 44};
    case kIdRotateLeft: return {207, 11, 46, 44};
    case kIdRotateRight: return {253, 11, 46, 44};
    case kIdSettings: return {307, 11, 46, 44};
    case kIdTransfer: return {377, 11, 46, 44};
    case kIdPictureSize: return {423, 32, 104, 21};
    case kIdHelp: return {w - 41, 2, 41, 40};
    case kIdThumbSize: return {w - 86, 43, 86, 21};
    case kIdBusy: return {w - 81, 7, 31, 30};
    case kIdCheckLocal: return {424, 14, 15, 14};
    case kIdCheckWeb: return {470, 14, 15, 14};
    case kIdCaptionLocal: return {440, 16, 31, 10};
    case kIdCaptionWeb: return {486, 16, 26, 10};
    default: return {};
    }
}

ViewRect InfoBoxRect(int32_t viewHeight, bool treeShown) {
    const int32_t top = treeShown ? SplitOfLeftPanel(viewHeight) + 40 : 94;
    return {10, top, 194, std::max<int32_t>(0, PanelBottom(viewHeight) - top)};
}

void PaneScroll::Reset() {
    position_ = maximum_ = page_ = 0;
    enabled_ = false;
}

int32_t PaneScroll::MoveTo(int32_t position) {
    const int32_t limit = maximum_ - page_ > 0 ? maximum_ - page_ : 0;
    if (position > limit) position = limit;
    if (position < 0) position = 0;
    const int32_t delta = position - position_;
    position_ = position;
    return delta;
}

int32_t PaneScroll::Wheel(int32_t delta) {
    if (delta == 0) return 0;
    return MoveTo(delta > 0 ? position_ - 30 : position_ + 30);
}

void PaneScroll::GrowTo(int32_t rowTop, int32_t thumbSize, int32_t clientHeight) {
    const int32_t content = thumbSize + rowTop + 32;
    if (content > maximum_) maximum_ = content;
    page_ = clientHeight < maximum_ ? clientHeight : maximum_;
    enabled_ = maximum_ > clientHeight;
}

void PaneScroll::Refit(int32_t lastRowTop, int32_t thumbSize, int32_t clientHeight) {
    const int32_t position = position_;
    maximum_ = 0;
    GrowTo(lastRowTop, thumbSize, clientHeight);
    position_ = 0;
    MoveTo(position);
}

ViewSettingsCopy ViewSettingsCopy::FromSettings(const CViewSettings& s) {
    ViewSettingsCopy c;
    c.thumbSize = s.ThumbSize == 0 ? 64 : static_cast<int32_t>(s.ThumbSize);
    c.viewInfo = static_cast<int32_t>(s.ViewInfo);
    c.imageSize = s.ImageSize;
    c.repFolder = s.RepFolder;
    c.checkLocal = s.CheckLocal;
    c.checkWeb = s.CheckWeb;
    c.createThumbnail = s.GetViewerSettings().CreateThumbnail;
    return c;
}

bool SaveViewSettings(CViewSettings& settings, const ViewSettingsCopy& copy, const FrameGeometry& frame,
                      int32_t displayMode) {
    bool ok = settings.WritePrevViewInfo(static_cast<uint32_t>(frame.left), static_cast<uint32_t>(frame.top),
                                         static_cast<uint32_t>(frame.bottom - frame.top),
                                         static_cast<uint32_t>(frame.right - frame.left), frame.maximised ? 1 : 0,
                                         static_cast<uint32_t>(displayMode),
                                         static_cast<uint32_t>(copy.thumbSize));
    ok = settings.WriteImageSize(copy.imageSize) && ok;
    ok = settings.WriteRepFolder(copy.repFolder) && ok;
    ok = settings.WriteTransferDestChecks(copy.checkWeb, copy.checkLocal) && ok;
    return ok;
}
