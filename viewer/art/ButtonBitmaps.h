#pragma once
// The picture ids of the viewer's bitmap buttons. A row per button of the owning
// window: normal for state 0 and 1, hover for state 0 and 1, selected for state
// 0 and 1, disabled (0: none).
#include <array>
#include <cstdint>
#include <span>

using BitmapRow = std::array<uint32_t, 7>;

// The four pictures a bitmap button shows.
struct BitmapSet {
    uint32_t normal = 0;
    uint32_t selected = 0;
    uint32_t focused = 0;
    uint32_t disabled = 0;
    friend bool operator==(const BitmapSet&, const BitmapSet&) = default;
};

inline constexpr int kBrowserButtonRows = 30;
inline constexpr int kPanelButtonRows = 28;

std::span<const BitmapRow> BrowserButtonTable();
std::span<const BitmapRow> PanelButtonTable();

// The resting pictures of row/state, and the pictures under the mouse. A state
// other than 0 or 1 is taken as 0; a row outside the table gives no pictures.
BitmapSet NormalPictures(std::span<const BitmapRow> table, int row, int state);
BitmapSet HoverPictures(std::span<const BitmapRow> table, int row, int state);

// The transfer dialogs' button: fixed pictures.
inline constexpr BitmapSet kTransferButtonNormal{251, 253, 251, 254};
inline constexpr BitmapSet kTransferButtonHover{252, 253, 252, 254};
