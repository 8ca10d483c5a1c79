#include "viewer/shell/ui/ButtonBitmaps.h"

namespace {

// Rows beyond the fixed ones take their pictures from a range of their own, four
// ids a row (normal, hover, selected, disabled) with no second state.
constexpr BitmapRow GeneratedRow(uint32_t base, int row)
{
    const uint32_t first = base + 4u * static_cast<uint32_t>(row);
    return {first, 0, first + 1, 0, first + 2, 0, first + 3};
}

template <int N>
constexpr std::array<BitmapRow, N> MakeTable(uint32_t base)
{
    std::array<BitmapRow, N> table{};
    for (int i = 0; i < N; ++i)
        table[i] = GeneratedRow(base, i);
    return table;
}

constexpr std::array<BitmapRow, kBrowserButtonRows> MakeBrowserTable()
{
    auto table = MakeTable<kBrowserButtonRows>(600);
    table[0] = {408, 411, 409, 412, 410, 413, 0};
    table[4] = {333, 0, 334, 0, 335, 0, 336};
    return table;
}

constexpr std::array<BitmapRow, kPanelButtonRows> MakePanelTable()
{
    auto table = MakeTable<kPanelButtonRows>(740);
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
