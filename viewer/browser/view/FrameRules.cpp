#include "viewer/browser/view/FrameRules.h"

bool IsFrameCommandEnabled(int32_t command, const FrameInputs& in) {
    const bool ready = in.idle && in.selected > 0 && in.paneFocus;
    const bool onlyUnprintable = in.selected > 0 && in.selectedWithoutThumb == in.selected;
    const bool onlySlow = in.selected > 0 && in.selectedMovies == in.selected;
    switch (command) {
    case 32793: case 57667: case 32795: case 32796: return true;
    case 32829: case 32828: case 32802: case 32803: case 32804: case 32805: return ready;
    case 32811: return ready && (in.checkLocal || in.checkWeb);
    case 32773: case 32812: return ready && !onlyUnprintable;
    case 32813: return ready && in.selectedMovies == 0;
    case 57634: return in.infoHasSelection && in.infoFocus && in.selected == 1;
    case 32788: case 32789: case 32790: case 32791: return in.paneFocus && in.items > 0;
    case 32792:
        return in.treeHasItems && ((in.paneFocus && in.items > 0) || (in.selected == 1 && in.infoFocus));
    case 32799: case 32800: return ready && !onlySlow && !onlyUnprintable;
    case 32808:
        return in.idle && ((in.paneFocus && in.selected > 0) || (in.treeFocus && in.treeHasItems && !in.rootSelected));
    case 32810: return in.idle && in.treeFocus && in.rootSelected && in.treeHasItems;
    case 32839: return in.idle && in.targetConnected;
    default: return true;
    }
}

MenuHelp::Result MenuHelp::Select(uint32_t id, uint32_t flags, bool hasMenu) {
    Result r;
    if (flags == 0xFFFF && !hasMenu) {
        kept_ = 0;
        r.show = Show::Reset;
        return r;
    }
    if (flags & 0x2870) {
        if (flags & 0x8000) {
            r.show = Show::Blank;
            if (kept_ != 0) kept_ = id;
        } else {
            kept_ = 0;
            r.show = Show::Reset;
        }
        return r;
    }
    if (id == 0) {
        kept_ = 0;
        r.show = Show::Reset;
    } else if (id != kept_) {
        kept_ = id;
        r.show = Show::Text;
        r.textId = static_cast<int32_t>(id);
    }
    return r;
}
