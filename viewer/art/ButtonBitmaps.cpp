#include "viewer/art/ButtonBitmaps.h"

namespace {

// Browser rows other than the two fixed ones take eight ids each from 600 on:
// normal, hover and selected for states 0 and 1, then disabled. Only the
// display-mode rows (0-3) have a second state (the shown panel has the focus).
constexpr BitmapRow BrowserRow(int row)
{
    const uint32_t first = 600u + 8u * static_cast<uint32_t>(row);
    const bool twoStates = row <= 3;
    return {first, twoStates ? first + 1 : 0, first + 2, twoStates ? first + 3 : 0,
            first + 4, twoStates ? first + 5 : 0, first + 6};
}

// Transfer-panel rows take four ids each from 860 on: normal, hover, selected, disabled.
constexpr BitmapRow PanelRow(int row)
{
    const uint32_t first = 860u + 4u * static_cast<uint32_t>(row);
    return {first, 0, first + 1, 0, first + 2, 0, first + 3};
}

constexpr std::array<BitmapRow, kBrowserButtonRows> MakeBrowserTable()
{
    std::array<BitmapRow, kBrowserButtonRows> table{};
    for (int i = 0; i < kBrowserButtonRows; ++i)
        table[static_cast<std::size_t>(i)] = BrowserRow(i);
    table[0] = {408, 411, 409, 412, 410, 413, 0};
    table[4] = {333, 0, 334, 0, 335, 0, 336};
    return table;
}

constexpr std::array<BitmapRow, kPanelButtonRows> MakePanelTable()
{
    std::array<BitmapRow, kPanelButtonRows> table{};
    for (int i = 0; i < kPanelButtonRows; ++i)
        table[static_cast<std::size_t>(i)] = PanelRow(i);
    table[0] = {222, 0, 222, 0, 227, 0, 222};
    return table;
}

constexpr auto kBrowserTable = MakeBrowserTable();
constexpr auto kPanelTable = MakePanelTable();

const BitmapRow* RowOf(std::span<const BitmapRow> table, int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= table.size())
        return nullptr;
    return &table[static_cast<std::size_t>(row)];
}

int StateIndex(int state)
{
    return state == 1 ? 1 : 0;
}

}  // namespace

std::span<const BitmapRow> BrowserButtonTable()
{
    return kBrowserTable;
}

std::span<const BitmapRow> PanelButtonTable()
{
    return kPanelTable;
}

BitmapSet NormalPictures(std::span<const BitmapRow> table, int row, int state)
{
    const BitmapRow* r = RowOf(table, row);
    if (!r)
        return {};
    const int s = StateIndex(state);
    return {(*r)[s], (*r)[4 + s], (*r)[s], (*r)[6]};
}

BitmapSet HoverPictures(std::span<const BitmapRow> table, int row, int state)
{
    const BitmapRow* r = RowOf(table, row);
    if (!r)
        return {};
    const int s = StateIndex(state);
    return {(*r)[2 + s], (*r)[4 + s], (*r)[2 + s], (*r)[6]};
}
