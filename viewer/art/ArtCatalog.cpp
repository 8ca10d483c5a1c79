#include "viewer/art/ArtCatalog.h"

#include "viewer/shell/common/ViewTables.h"
#include "viewer/art/ButtonBitmaps.h"

#include <array>

namespace {

constexpr std::array<ButtonLook, 4> kLooks = {ButtonLook::Normal, ButtonLook::Hover, ButtonLook::Pressed,
                                              ButtonLook::Disabled};

// A button face found in a row of a button table: which column it is decides
// the look and the state.
std::optional<ArtSpec> FaceInTable(uint32_t id, std::span<const BitmapRow> table,
                                   std::string (*glyphOf)(int32_t), int32_t (*labelOf)(int32_t, std::string*))
{
    for (std::size_t row = 0; row < table.size(); ++row) {
        for (std::size_t column = 0; column < 7; ++column) {
            if (table[row][column] != id)
                continue;
            ArtSpec spec;
            spec.kind = ArtKind::Button;
            spec.glyph = glyphOf(static_cast<int32_t>(row));
            spec.look = column == 6 ? ButtonLook::Disabled : kLooks[column / 2];
            spec.on = column < 6 && column % 2 == 1;
            spec.value = labelOf ? labelOf(static_cast<int32_t>(row), &spec.label) : 0;
            return spec;
        }
    }
    return std::nullopt;
}

// The label beside the glyph of the size buttons: a thumbnail size in pixels,
// or the language text of a picture size.
int32_t BrowserButtonLabel(int32_t set, std::string* label)
{
    if (set >= 13 && set <= 17) {
        *label = std::to_string(ThumbIndexToSize(set - 13));
        return 0;
    }
    if (set >= 18 && set <= 22)
        return 32824;   // original size, in the language the set was chosen for
    if (set >= 23 && set <= 25)
        return 32825 + (set - 23);
    return 0;
}

// The transfer panel's rows: 0 and 4-7 the picture sizes, 8 transfer, 9 the
// selection (its caption is drawn over a plain face), 10 browser, 11 settings,
// 12 help, 13 exit.
std::string PanelGlyph(int32_t row)
{
    if (row == 0 || (row >= 4 && row <= 7))
        return "picture";
    static const char* const kCommands[] = {"transfer", "", "thumbs", "settings", "help", "exit"};
    return row >= 8 && row <= 13 ? kCommands[row - 8] : std::string();
}

// The picture-size rows carry the language text of their size (row 0: the first).
int32_t PanelButtonLabel(int32_t row, std::string*)
{
    if (row == 0)
        return 32824;
    return row >= 4 && row <= 7 ? 32824 + (row - 4) : 0;
}

std::optional<ArtSpec> ViewerButtonFace(uint32_t id)
{
    if (id < 505 || id > 520)
        return std::nullopt;
    // Sets 0 and 1 come first, then zoom out (set 3) before zoom in (set 2).
    static constexpr int32_t kSetOfBlock[] = {0, 1, 3, 2};
    ArtSpec spec;
    spec.kind = ArtKind::Button;
    spec.glyph = ViewerButtonGlyph(kSetOfBlock[(id - 505) / 4]);
    spec.look = kLooks[(id - 505) % 4];
    return spec;
}

std::optional<ArtSpec> ThumbFrame(uint32_t id)
{
    for (int index = 0; index < 5; ++index) {
        const int size = ThumbIndexToSize(index);
        for (int flag = 0; flag < 2; ++flag) {
            const BitmapIdPair ids = GetThumbFrameBitmapIds(size, flag);
            if (id != uint32_t(ids.normal) && id != uint32_t(ids.selected))
                continue;
            ArtSpec spec;
            spec.kind = ArtKind::ThumbFrame;
            spec.on = id == uint32_t(ids.selected);
            spec.active = flag == 1;
            spec.width = spec.height = ThumbSizeToCellSize(size);
            return spec;
        }
    }
    return std::nullopt;
}

ArtSpec Sized(ArtKind kind, int32_t width, int32_t height, int32_t value = 0, bool on = false)
{
    ArtSpec spec;
    spec.kind = kind;
    spec.width = width;
    spec.height = height;
    spec.value = value;
    spec.on = on;
    return spec;
}

}  // namespace

std::string BrowserButtonGlyph(int32_t set)
{
    static const char* const kModes[] = {"mode-tree-info", "mode-tree", "mode-info", "mode-none"};
    static const char* const kCommands[] = {"open",         "save",     "print",    "delete", "rotate-left",
                                            "rotate-right", "settings", "transfer", "help"};
    if (set >= 0 && set <= 3)
        return kModes[set];
    if (set >= 4 && set <= 12)
        return kCommands[set - 4];
    if (set >= 13 && set <= 17)
        return "thumbs";
    if (set >= 18 && set <= 25)
        return "picture";
    return {};
}

std::string ViewerButtonGlyph(int32_t set)
{
    static const char* const kGlyphs[] = {"rotate-left", "rotate-right", "zoom-in", "zoom-out"};
    return set >= 0 && set <= 3 ? kGlyphs[set] : std::string();
}

std::optional<ArtSpec> FindArt(uint32_t id)
{
    if (id == 0)
        return std::nullopt;
    if (auto face = FaceInTable(id, BrowserButtonTable(), BrowserButtonGlyph, BrowserButtonLabel))
        return face;
    if (auto face = FaceInTable(id, PanelButtonTable(), PanelGlyph, PanelButtonLabel))
        return face;
    if (auto face = ViewerButtonFace(id))
        return face;
    if (auto frame = ThumbFrame(id))
        return frame;
    if (id >= 455 && id <= 460) {
        // 455/456 transfer-marked, 457/458 movie, 459/460 read-only; the even id is the focused pane's.
        ArtSpec spec = Sized(ArtKind::Mark, 13, 12, static_cast<int32_t>((id - 455) / 2));
        spec.active = (id % 2) == 0;
        return spec;
    }
    if (id >= 386 && id <= 394)
        return Sized(ArtKind::BusyFrame, 31, 30, static_cast<int32_t>(id - 385));
    if (id >= 382 && id <= 385)
        return Sized(ArtKind::CheckBox, 15, 14, static_cast<int32_t>(id % 2), id >= 384);
    if (id == 380 || id == 381)
        return Sized(ArtKind::CheckCaption, id == 380 ? 31 : 26, 10, static_cast<int32_t>(id - 380));
    switch (id) {
    case 264: return Sized(ArtKind::WaitBarStrip, 204, 12);
    case 266: return Sized(ArtKind::WaitBarLeft, 3, 12);
    case 267: return Sized(ArtKind::WaitBarRight, 4, 12);
    case 251: case 252: case 253: case 254: {
        ArtSpec spec;
        spec.kind = ArtKind::Button;
        spec.look = kLooks[id - 251];
        return spec;
    }
    case 550: return Sized(ArtKind::AboutBox, 400, 300);
    case 300: return Sized(ArtKind::BrowserHeader, 541, 64);
    case 449: case 450: {
        ArtSpec spec = Sized(ArtKind::StatusIcon, 16, 16);
        spec.glyph = id == 449 ? "camera" : "card";
        return spec;
    }
    case 132: {
        ArtSpec spec = Sized(ArtKind::StatusIcon, 32, 32);
        spec.glyph = "logo";
        return spec;
    }
    default: break;
    }
    return std::nullopt;
}
