#include "viewer/browser/view/CommandRules.h"

ButtonStates UpdateViewerButtons(const ButtonInputs& in) {
    ButtonStates s;
    if (in.anySelected && in.paneFocus && in.idle) {
        s.open = true;
        s.save = true;
        s.print = !in.movieSelected;
        s.rotate = in.selected != in.selectedMovies + in.selectedWithoutThumb;
        s.transfer = !(in.webUpload && !in.checkLocal && !in.checkWeb);
    }
    s.remove = in.idle && in.treeHasItems &&
               ((in.anySelected && in.paneFocus) || (in.treeFocus && !in.rootSelected));
    if (!s.remove) {
        s.open = false;
        s.print = false;
        s.transfer = false;
    }
    return s;
}

namespace {

bool IsOneOf(int32_t code, std::initializer_list<int32_t> codes) {
    for (int32_t c : codes)
        if (c == code) return true;
    return false;
}

}  // namespace

BoxDecision DecideErrorBox(int32_t code) {
    BoxDecision d;
    if (code == -96 || code == -90) {
        // Cancelled is shown to nobody; a write-protected destination was already
        // reported by the save job, and the source stays open.
        d.show = false;
        d.icon = BoxIcon::None;
        return d;
    }
    if (code == -120) {
        d.textId = 61607;
        d.withProgramName = true;
        d.closeTarget = true;
    } else if (IsOneOf(code, {-119, -118, -116, -115, -114, -113, -112, -111, -102, -92, 100, 101, 103})) {
        d.closeTarget = true;
    } else if (IsOneOf(code, {-117, -101, -100, -98, -97, -95, -94, -93, -91})) {
        d.closeTarget = false;
    } else if (IsOneOf(code, {-110, -99, 107})) {
        d.icon = BoxIcon::Exclamation;
    } else {
        d.textId = 61602;
        d.closeTarget = true;
    }
    return d;
}

BoxDecision DecideLibraryResult(int32_t kind, bool fatal) {
    BoxDecision d;
    switch (kind) {
    case 1: d.textId = 61600; break;
    case 2:
        d.textId = 61602;
        if (!fatal) d.icon = BoxIcon::Exclamation;
        break;
    case 3: d.textId = 61605; break;
    case 4:
        d.textId = 61602;
        fatal = true;
        break;
    default:
        d.textId = 61602;
        fatal = true;
        break;
    }
    d.closeTarget = fatal;
    return d;
}

int32_t CheckSaveTarget(const std::string& path, DriveKind drive, bool statusReadable) {
    if (path.size() < 4 || (!path.empty() && path[0] == '\\')) {
        if (drive == DriveKind::Unknown) return 61602;
        if (drive == DriveKind::CdRom) return 61680;
        return 0;
    }
    return statusReadable ? 0 : 61683;
}

int32_t HelpIdForButtonSet(int32_t set) {
    if (set >= 0 && set <= 3) return 1011;
    if (set >= 13 && set <= 17) return 1004;
    if (set >= 18 && set <= 25) return 1061;
    switch (set) {
    case 4: return 1017;
    case 5: return 1075;
    case 6: return 1027;
    case 7: return 1030;
    case 8: return 1033;
    case 9: return 1039;
    case 10: return 1041;
    case 11: return 1044;
    case 12: return 1046;
    default: return 0;
    }
}

int32_t ThumbSizeForCommand(int32_t command) {
    static const int32_t sizes[] = {64, 96, 128, 192, 256};
    return command >= 32814 && command <= 32818 ? sizes[command - 32814] : 0;
}

int32_t ImageSizeForCommand(int32_t command) {
    return command >= 32824 && command <= 32827 ? command - 32824 : -1;
}

CameraRequestDecision DecideCameraRequest(bool webUpload, bool checkLocal, bool checkWeb) {
    CameraRequestDecision d;
    if (!webUpload || checkLocal || checkWeb)
        d.askUser = true;
    else
        d.refuseTextId = 61677;
    return d;
}
