#include "viewer/shell/common/GlobalBlockArray.h"

#include <cstdlib>

namespace {

GlobalBlock ZeroFilledBlock(std::size_t size)
{
    return std::calloc(size ? size : 1, 1);
}

bool ValidIndex(const GlobalBlockArray* array, int index)
{
    return array && index >= 0 && static_cast<std::size_t>(index) < array->blocks().size();
}

}  // namespace

GlobalBlockArray::GlobalBlockArray() : allocator_(ZeroFilledBlock) {}

GlobalBlockArray::GlobalBlockArray(Allocator allocator) : allocator_(std::move(allocator)) {}

GlobalBlockArray::~GlobalBlockArray()
{
    clear();
}

void GlobalBlockArray::clear()
{
    for (GlobalBlock block : blocks_)
        std::free(block);
    blocks_.clear();
}

int AddGlobalBlock(GlobalBlockArray* array, std::size_t size)
{
    if (!array)
        return 0;
    GlobalBlock block = array->allocate(size);
    if (!block)
        return 0;
    array->blocks().push_back(block);
    return 1;
}

int AllocGlobalBlocks(GlobalBlockArray* array, std::size_t size, int count)
{
    int result = 1;
    for (int i = 0; i < count; ++i) {
        result = AddGlobalBlock(array, size);
        if (!result) {
            FreeGlobalBlocks(array);
            break;
        }
    }
    return result;
}

void RemoveGlobalBlock(GlobalBlockArray* array, int index)
{
    if (!ValidIndex(array, index))
        return;
    auto& blocks = array->blocks();
    std::free(blocks[static_cast<std::size_t>(index)]);
    blocks.erase(blocks.begin() + index);
}

void FreeGlobalBlocks(GlobalBlockArray* array)
{
    if (array)
        array->clear();
}

GlobalBlock GetGlobalBlock(const GlobalBlockArray* array, int index)
{
    return ValidIndex(array, index) ? array->blocks()[static_cast<std::size_t>(index)] : nullptr;
}

int GetGlobalBlockCount(const GlobalBlockArray* array)
{
    return array ? static_cast<int>(array->blocks().size()) : 0;
}
