#pragma once
// The browser frame's command enabling and its menu-help state.
#include <cstdint>

struct FrameInputs {
    bool idle = true;
    bool paneFocus = false;
    bool treeFocus = false;
    bool infoFocus = false;
    int32_t items = 0;
    int32_t selected = 0;
    int32_t selectedMovies = 0;
    int32_t selectedWithoutThumb = 0;
    bool treeHasItems = false;
    bool rootSelected = false;
    bool checkLocal = true;
    bool checkWeb = false;
    bool infoHasSelection = false;
    bool targetConnected = false;
};

// Whether a menu command of the browser is enabled; unknown commands are.
bool IsFrameCommandEnabled(int32_t command, const FrameInputs& in);

// What status pane 0 shows while the user moves through the menus.
class MenuHelp {
public:
    enum class Show { Reset, Blank, Text, Keep };
    struct Result {
        Show show = Show::Keep;
        int32_t textId = 0;
    };
    // One menu selection: item id, flags, whether a menu is given.
    Result Select(uint32_t id, uint32_t flags, bool hasMenu);
    uint32_t Kept() const { return kept_; }

private:
    uint32_t kept_ = 0;
};
