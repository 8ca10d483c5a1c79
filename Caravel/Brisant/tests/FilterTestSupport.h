#pragma once
// Helpers of the filter tests: managers and images, whole-picture buffers, reading a source's
// whole output through its tiles, and the outside tools used as oracles.
#include "Caravel/Brisant/VectorForm.h"
#include "outside/veltra/VeltraError.h"
#include "outside/veltra/VeltraGraph.h"
#include "outside/veltra/VeltraImage.h"
#include "outside/veltra/VeltraManager.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <algorithm>
#include <unistd.h>

namespace brisant_test {

// Pins the filters' vector form (wide only where the processor has it) for one test.
class ScopedVectorForm {
public:
    explicit ScopedVectorForm(bool wide) : m_was(brisant::WideVectors()) { brisant::SetWideVectors(wide); }
    ~ScopedVectorForm() { brisant::SetWideVectors(m_was); }
    ScopedVectorForm(const ScopedVectorForm&) = delete;
    ScopedVectorForm& operator=(const ScopedVectorForm&) = delete;

private:
    bool m_was;
};

struct ManagerDeleter {
    void operator()(IVeltraManager* m) const { m->Release(); }
};
using ManagerPtr = std::unique_ptr<IVeltraManager, ManagerDeleter>;

struct ImageDeleter {
    void operator()(IVeltraImage* i) const
    {
        if (i)
            i->Destroy();
    }
};
using ImagePtr = std::unique_ptr<IVeltraImage, ImageDeleter>;

inline ManagerPtr MakeManager(int32_t tileSize)
{
    IVeltraManager* m = nullptr;
    VeltraErrorPtr e(IVeltraManager::CreateManager(&m, VeltraFile{}, 1u << 30, 4u << 16, 0));
    EXPECT_FALSE(e);
    m->SetTileSize(tileSize);
    return ManagerPtr(m);
}

// A whole picture in one buffer, rows packed (width x bytes per pixel).
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t colorSpace = 0;
    std::vector<uint8_t> bytes;

    int32_t BytesPerPixel() const { return IVeltraDataSource::GetBitsPerPixel(colorSpace) / 8; }
    int32_t RowBytes() const { return width * BytesPerPixel(); }
    int32_t Samples() const { return colorSpace == 3 || colorSpace == 33 ? BytesPerPixel() / 2 : BytesPerPixel(); }
    bool Wide() const { return colorSpace == 3 || colorSpace == 33 || colorSpace == 35 || colorSpace == 36 || colorSpace == 37; }
    // sample c of pixel (x, y)
    uint32_t At(int32_t x, int32_t y, int32_t c) const
    {
        const int32_t n = Wide() ? BytesPerPixel() / 2 : BytesPerPixel();
        const size_t i = (static_cast<size_t>(y) * width + x) * n + c;
        if (Wide()) {
            uint16_t v;
            std::memcpy(&v, bytes.data() + 2 * i, 2);
            return v;
        }
        return bytes[i];
    }
    void Set(int32_t x, int32_t y, int32_t c, uint32_t v)
    {
        const int32_t n = Wide() ? BytesPerPixel() / 2 : BytesPerPixel();
        const size_t i = (static_cast<size_t>(y) * width + x) * n + c;
        if (Wide()) {
            const uint16_t w = static_cast<uint16_t>(v);
            std::memcpy(bytes.data() + 2 * i, &w, 2);
        } else {
            bytes[i] = static_cast<uint8_t>(v);
        }
    }
    int32_t Components() const { return Wide() ? BytesPerPixel() / 2 : BytesPerPixel(); }
};

inline Picture MakePicture(int32_t w, int32_t h, int32_t cs)
{
    Picture p{w, h, cs, {}};
    p.bytes.assign(static_cast<size_t>(p.RowBytes()) * h, 0);
    return p;
}

// Deterministic noise with some smooth structure.
inline Picture NoisePicture(int32_t w, int32_t h, int32_t cs, uint32_t seed)
{
    Picture p = MakePicture(w, h, cs);
    uint32_t s = seed * 2654435761u + 12345u;
    for (auto& b : p.bytes) {
        s = s * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(s >> 24);
    }
    return p;
}

inline ImagePtr MakeImage(IVeltraManager* m, const Picture& p)
{
    IVeltraImage* img = nullptr;
    EXPECT_FALSE(VeltraErrorPtr(m->CreateImage(&img, 0)));
    EXPECT_FALSE(VeltraErrorPtr(img->SetSize(p.width, p.height)));
    EXPECT_FALSE(VeltraErrorPtr(img->SetColorSpace(p.colorSpace)));
    if (!p.bytes.empty()) {
        EXPECT_FALSE(VeltraErrorPtr(img->SetData(const_cast<uint8_t*>(p.bytes.data()), p.RowBytes(),
                                                 VeltraRect{0, 0, p.width, p.height})));
    }
    return ImagePtr(img);
}

// Pulls every tile of source, as a saver would, into a whole picture.
inline Picture ReadAll(IVeltraDataSource* source)
{
    Picture p;
    int32_t t = 0, rowBytes = 0;
    EXPECT_FALSE(VeltraErrorPtr(source->GetSize(&p.width, &p.height)));
    EXPECT_FALSE(VeltraErrorPtr(source->GetColorSpace(&p.colorSpace)));
    EXPECT_FALSE(VeltraErrorPtr(source->GetTileSize(&t)));
    EXPECT_FALSE(VeltraErrorPtr(source->GetRowBytes(&rowBytes)));
    p.bytes.assign(static_cast<size_t>(p.RowBytes()) * p.height, 0);
    if (t <= 0)
        return p;
    const int32_t bpp = p.BytesPerPixel();
    for (int32_t row = 0; row * t < p.height; ++row) {
        for (int32_t col = 0; col * t < p.width; ++col) {
            void* bits = nullptr;
            VeltraErrorPtr e(source->LockTile(&bits, col, row, nullptr));
            EXPECT_FALSE(e) << "tile " << col << "," << row;
            if (e)
                return p;
            for (int32_t y = row * t; y < std::min(p.height, (row + 1) * t); ++y) {
                const int32_t x0 = col * t, x1 = std::min(p.width, (col + 1) * t);
                std::memcpy(p.bytes.data() + static_cast<size_t>(y) * p.RowBytes() + static_cast<size_t>(x0) * bpp,
                            static_cast<uint8_t*>(bits) + static_cast<size_t>(y - row * t) * rowBytes,
                            static_cast<size_t>(x1 - x0) * bpp);
            }
            EXPECT_FALSE(VeltraErrorPtr(source->UnlockTile(col, row)));
        }
    }
    return p;
}

// An image feeding one filter of type F; arguments after the picture go to F after its manager.
template <class F>
struct FilterChain {
    template <class... Args>
    FilterChain(int32_t tile, const Picture& p, Args&&... args)
        : manager(MakeManager(tile)), image(MakeImage(manager.get(), p)),
          filter(std::make_unique<F>(manager.get(), std::forward<Args>(args)...))
    {
        EXPECT_FALSE(VeltraErrorPtr(VeltraConnect(image.get(), filter.get())));
    }
    ManagerPtr manager;
    ImagePtr image;
    std::unique_ptr<F> filter;
};

// A destination that records every notification code and the last record of each kind.
class NotificationSpy : public IVeltraDataDestination {
public:
    IVeltraError* VeltraNotify(IVeltraDataSource*, int32_t code, void* data) override
    {
        codes.push_back(code);
        if (!data)
            return nullptr;
        switch (code) {
        case kVeltraNotifyData:
            rect = *static_cast<VeltraRect*>(data);
            rects.push_back(rect);
            break;
        case kVeltraNotifySize: size = *static_cast<ChangeSize*>(data); break;
        case kVeltraNotifyColorSpace: colorSpace = *static_cast<ChangeColorSpace*>(data); break;
        case kVeltraNotifyTransform: transform = *static_cast<ChangeTransform*>(data); break;
        default: break;
        }
        return nullptr;
    }
    std::vector<int32_t> codes;
    VeltraRect rect;
    std::vector<VeltraRect> rects;
    ChangeSize size;
    ChangeColorSpace colorSpace;
    ChangeTransform transform;
};

// Inverts every sample of r in the whole-picture copy, writes the copy to the image and
// tells the image's readers that r changed.
inline void ChangeBlock(Picture* src, IVeltraImage* image, const VeltraRect& r)
{
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            for (int32_t k = 0; k < src->Components(); ++k)
                src->Set(x, y, k, (src->Wide() ? 65535u : 255u) - src->At(x, y, k));
    ASSERT_FALSE(VeltraErrorPtr(image->SetData(src->bytes.data(), src->RowBytes(), VeltraRect{0, 0, src->width, src->height})));
    VeltraRect changed = r;
    ASSERT_FALSE(VeltraErrorPtr(VeltraSendDataNotification(image, kVeltraNotifyData, &changed)));
}

// ---- outside tools, run on files the tests write

inline bool ToolAvailable(const char* tool)
{
    const std::string cmd = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

inline bool RunTool(const std::string& cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string TempPath(const std::string& name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/brisant_" + std::to_string(::getpid()) + "_" + name;
}

// Netpbm: P5 (grey) or P6 (RGB), 8 or 16 bits (16-bit samples big-endian).
inline void WritePnm(const std::string& path, const Picture& p)
{
    const bool rgb = p.colorSpace == 32 || p.colorSpace == 33;
    std::ofstream f(path, std::ios::binary);
    f << (rgb ? "P6" : "P5") << "\n" << p.width << " " << p.height << "\n" << (p.Wide() ? 65535 : 255) << "\n";
    if (!p.Wide()) {
        f.write(reinterpret_cast<const char*>(p.bytes.data()), static_cast<std::streamsize>(p.bytes.size()));
        return;
    }
    std::vector<uint8_t> be(p.bytes.size());
    for (size_t i = 0; i + 1 < p.bytes.size(); i += 2) {
        be[i] = p.bytes[i + 1];
        be[i + 1] = p.bytes[i];
    }
    f.write(reinterpret_cast<const char*>(be.data()), static_cast<std::streamsize>(be.size()));
}

inline bool ReadPnm(const std::string& path, Picture* p)
{
    std::ifstream f(path, std::ios::binary);
    // header tokens, skipping comment lines
    auto token = [&f]() {
        std::string t;
        while (f >> t) {
            if (t[0] != '#')
                return t;
            std::string rest;
            std::getline(f, rest);
        }
        return std::string();
    };
    const std::string magic = token();
    const int w = std::atoi(token().c_str()), h = std::atoi(token().c_str()), maxval = std::atoi(token().c_str());
    if (magic.empty() || w <= 0 || h <= 0 || maxval <= 0)
        return false;
    f.get();
    const bool rgb = magic == "P6";
    const bool wide = maxval > 255;
    *p = MakePicture(w, h, rgb ? (wide ? 33 : 32) : (wide ? 3 : 2));
    f.read(reinterpret_cast<char*>(p->bytes.data()), static_cast<std::streamsize>(p->bytes.size()));
    if (!f)
        return false;
    if (wide)
        for (size_t i = 0; i + 1 < p->bytes.size(); i += 2)
            std::swap(p->bytes[i], p->bytes[i + 1]);
    return true;
}

}  // namespace brisant_test
