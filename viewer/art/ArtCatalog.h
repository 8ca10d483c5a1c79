#pragma once
// What each of the program's own picture ids shows. The windows name pictures
// by id (button tables, frame tables, animation frames); this table says which
// drawing stands behind an id, so every id a window asks for has a picture.
#include <cstdint>
#include <optional>
#include <string>

enum class ArtKind {
    Button,          // a bitmap button's face: glyph on a tile in one of four looks
    ThumbFrame,      // the frame of a browser thumbnail cell
    Mark,            // the small marks under a thumbnail (movie, read-only, transfer)
    BusyFrame,       // one frame of the browser's busy animation
    CheckBox,        // the browser's local/web destination checks
    CheckCaption,    // the captions beside them
    WaitBarLeft,     // the wait dialog's bar: left cap, moving strip, right cap
    WaitBarStrip,
    WaitBarRight,
    AboutBox,        // the about box's background
    BrowserHeader,   // the browser view's header strip
    StatusIcon,      // small card / camera icons of the status bar
};

enum class ButtonLook { Normal, Hover, Pressed, Disabled };

struct ArtSpec {
    ArtKind kind = ArtKind::Button;
    std::string glyph;        // glyph file name (without .svg) for buttons and icons
    ButtonLook look = ButtonLook::Normal;
    bool on = false;          // second state: a lit button, a selected frame, a checked box, a focused panel
    bool active = true;       // frames and marks: drawn for the focused pane
    int32_t value = 0;        // frame side, mark kind, animation frame, piece number, label text id
    std::string label;        // a fixed label drawn beside the glyph
    int32_t width = 0;        // natural size; 0 when the picture takes its control's size
    int32_t height = 0;
};

std::optional<ArtSpec> FindArt(uint32_t id);

// The glyph of a browser button row (its bitmap set) and of a viewer button set.
std::string BrowserButtonGlyph(int32_t set);
std::string ViewerButtonGlyph(int32_t set);
