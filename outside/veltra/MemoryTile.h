#pragma once
// A tile held in memory by a MemoryImage.
#include "outside/veltra/VeltraTile.h"

#include <cstdint>
#include <memory>

class MemoryImage;

class MemoryTile final : public IVeltraTile {
public:
    MemoryTile(MemoryImage* image, int32_t column, int32_t row);

    IVeltraTileID GetID() const override;
    void GetRect(VeltraRect* rect) const override;
    int32_t GetRowBytes() const override { return m_rowBytes; }
    bool NeedsData() const override { return !m_filled; }
    bool GetInvalidRect(VeltraRect* rect) const override;
    void Invalidate() override;
    void InvalidateRect(const VeltraRect& rect) override;
    void SetValid(bool valid) override;
    IVeltraImage* GetImage() const override;
    IVeltraError* LockBits(void** bits, VeltraBitmapHeader** header) override;
    IVeltraError* UnlockBits() override;
    void Complete() override;

    // Follow the image's new description: row length, header, memory; the tile becomes unfilled.
    // New memory starts as zeros unless the caller is about to write every byte of it.
    IVeltraError* Reshape(bool zeroNewMemory = true);
    unsigned char* Bits() { return m_bits.get(); }
    int32_t LockCount() const { return m_locks; }

private:
    VeltraRect ClippedRect() const;

    MemoryImage* m_image;
    int32_t m_column;
    int32_t m_row;
    int32_t m_rowBytes = 0;
    size_t m_capacity = 0;
    std::unique_ptr<unsigned char[]> m_bits;
    int32_t m_locks = 0;
    bool m_filled = false;
    bool m_stale = false;  // still in a layout the image no longer has (reshaped at the next lock)
    bool m_hasInvalid = false;
    VeltraRect m_invalid;
    VeltraBitmapHeader m_header;
};
