#pragma once
// The array in which the picture-access layer hands out file lists and the
// browser keeps its items: one zero-filled heap block per element. The array
// owns its blocks; destroying or freeing it releases every block.
#include <cstddef>
#include <functional>
#include <vector>

using GlobalBlock = void*;

class GlobalBlockArray {
public:
    // Allocates one zero-filled block of the size, or nullptr; a seam for tests.
    using Allocator = std::function<GlobalBlock(std::size_t size)>;

    GlobalBlockArray();
    explicit GlobalBlockArray(Allocator allocator);
    ~GlobalBlockArray();
    GlobalBlockArray(const GlobalBlockArray&) = delete;
    GlobalBlockArray& operator=(const GlobalBlockArray&) = delete;

    std::vector<GlobalBlock>& blocks() { return blocks_; }
    const std::vector<GlobalBlock>& blocks() const { return blocks_; }
    GlobalBlock allocate(std::size_t size) const { return allocator_(size); }
    void clear();

private:
    Allocator allocator_;
    std::vector<GlobalBlock> blocks_;
};

// 1, or 0 when the block could not be allocated (nothing appended).
int AddGlobalBlock(GlobalBlockArray* array, std::size_t size);
// 1 for a count below 1; else the last result. On the first failure every block
// is freed and the array is left empty (it stays usable: it belongs to the caller).
int AllocGlobalBlocks(GlobalBlockArray* array, std::size_t size, int count);
void RemoveGlobalBlock(GlobalBlockArray* array, int index);
// Frees every block and empties the array.
void FreeGlobalBlocks(GlobalBlockArray* array);
GlobalBlock GetGlobalBlock(const GlobalBlockArray* array, int index);
int GetGlobalBlockCount(const GlobalBlockArray* array);

template <typename T>
T* GetGlobalBlockAs(const GlobalBlockArray* array, int index)
{
    return static_cast<T*>(GetGlobalBlock(array, index));
}
