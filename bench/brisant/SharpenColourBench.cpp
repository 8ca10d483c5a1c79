// The unsharp mask and the colour-management filter on a 6 MP 8-bit RGB picture (the camera
// size), pulling every output tile as a saver would. Megapixels per second are reported.
#include "Caravel/Brisant/UnsharpMaskFilter.h"
#include "Caravel/Brisant/VeltraFilterTintara.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <vector>

namespace {

constexpr int32_t kWidth = 3008;
constexpr int32_t kHeight = 2000;
constexpr double kMegapixels = kWidth * double(kHeight) / 1e6;

const std::vector<uint8_t>& Pixels()
{
    static const std::vector<uint8_t> pixels = [] {
        std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight * 3);
        uint32_t s = 1;
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                for (int32_t c = 0; c < 3; ++c) {
                    s = s * 1664525u + 1013904223u;
                    p[(static_cast<size_t>(y) * kWidth + x) * 3 + c] =
                        static_cast<uint8_t>(((x + y * 2 + c * 40) & 0xFF) ^ (s >> 29));
                }
        return p;
    }();
    return pixels;
}

struct Source {
    Source()
    {
        VeltraErrorPtr(IVeltraManager::CreateManager(&manager, VeltraFile{}, 1u << 30, 4u << 16, 0));
        VeltraErrorPtr(manager->CreateImage(&image, 0));
        VeltraErrorPtr(image->SetSize(kWidth, kHeight));
        VeltraErrorPtr(image->SetColorSpace(32));
        VeltraErrorPtr(image->SetData(const_cast<uint8_t*>(Pixels().data()), kWidth * 3,
                                      VeltraRect{0, 0, kWidth, kHeight}));
    }
    ~Source()
    {
        image->Destroy();
        manager->Release();
    }
    IVeltraManager* manager = nullptr;
    IVeltraImage* image = nullptr;
};

bool PullAll(IVeltraDataSource* filter)
{
    int32_t w = 0, h = 0, t = 0;
    VeltraErrorPtr(filter->GetSize(&w, &h));
    VeltraErrorPtr(filter->GetTileSize(&t));
    if (t <= 0)
        return false;
    for (int32_t row = 0; row * t < h; ++row)
        for (int32_t col = 0; col * t < w; ++col) {
            void* bits = nullptr;
            VeltraErrorPtr e(filter->LockTile(&bits, col, row, nullptr));
            if (e)
                return false;
            benchmark::DoNotOptimize(bits);
            VeltraErrorPtr(filter->UnlockTile(col, row));
        }
    return true;
}

// range(0): radius in tenths; range(1): 1 for the halved-sample form
void BM_UnsharpMask(benchmark::State& state)
{
    Source src;
    CUnsharpMaskFilter::SetMmxSupport(state.range(1) != 0);
    for (auto _ : state) {
        CUnsharpMaskFilter usm(src.manager);
        VeltraErrorPtr(VeltraConnect(src.image, &usm));
        VeltraErrorPtr(usm.SetRadius(static_cast<double>(state.range(0)) / 10.0, false));
        if (!PullAll(&usm)) {
            state.SkipWithError("tile failed");
            break;
        }
    }
    state.counters["MP/s"] = benchmark::Counter(kMegapixels * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UnsharpMask)->Args({10, 0})->Args({10, 1})->Args({20, 1})->Unit(benchmark::kMillisecond);

// One tile inside the picture, as the radius grows to its bound of 250: the
// time should grow with the kernel's area, not faster. range(0): radius.
void BM_UnsharpMaskTile(benchmark::State& state)
{
    Source src;
    CUnsharpMaskFilter::SetMmxSupport(true);
    for (auto _ : state) {
        CUnsharpMaskFilter usm(src.manager);
        VeltraErrorPtr(VeltraConnect(src.image, &usm));
        VeltraErrorPtr(usm.SetRadius(static_cast<double>(state.range(0)), false));
        int32_t t = 0;
        VeltraErrorPtr(usm.GetTileSize(&t));
        void* bits = nullptr;
        const int32_t middle = kHeight / 2 / t;
        if (VeltraErrorPtr e{usm.LockTile(&bits, middle, middle, nullptr)}) {
            state.SkipWithError("tile failed");
            break;
        }
        benchmark::DoNotOptimize(bits);
        VeltraErrorPtr(usm.UnlockTile(middle, middle));
    }
}
BENCHMARK(BM_UnsharpMaskTile)->Arg(10)->Arg(50)->Arg(100)->Arg(150)->Arg(250)->Unit(benchmark::kMillisecond);

void BM_ColourManagement(benchmark::State& state)
{
    const char* in = "/usr/share/color/icc/sRGB.icc";
    const char* out = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
    if (::access(in, R_OK) != 0 || ::access(out, R_OK) != 0) {
        state.SkipWithError("free ICC profiles are not installed");
        return;
    }
    Source src;
    VeltraFile inFile, outFile;
    std::strncpy(inFile.path, in, sizeof(inFile.path) - 1);
    std::strncpy(outFile.path, out, sizeof(outFile.path) - 1);
    CVeltraFilterTintaraEngine engine;
    VeltraErrorPtr(engine.SetProfiles(inFile, outFile));
    engine.SetBitsPerComponent(false, 8);
    engine.SetBitsPerComponent(true, 8);
    for (auto _ : state) {
        CVeltraFilterTintara cms(src.manager);
        VeltraErrorPtr(VeltraConnect(src.image, &cms));
        VeltraErrorPtr(cms.SetTintaraEngine(&engine, false));
        if (!PullAll(&cms)) {
            state.SkipWithError("tile failed");
            break;
        }
    }
    state.counters["MP/s"] = benchmark::Counter(kMegapixels * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ColourManagement)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
