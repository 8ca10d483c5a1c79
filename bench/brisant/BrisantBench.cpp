// The upload chain on a 24 MP 16-bit RGB picture: scale by area to 1600 px on the long side,
// colour space to 8 bits, quarter turn; beside the vips command doing the same three steps on the
// same pixels (single-threaded: VIPS_CONCURRENCY=1). Prints megapixels per second and the ratio.
#include "Caravel/Brisant/VeltraFilterColorSpace.h"
#include "Caravel/Brisant/VeltraFilterScale.h"
#include "Caravel/Brisant/VeltraFilterTransform.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;
constexpr int32_t kOutWidth = 1600;
constexpr int32_t kOutHeight = 1067;
constexpr double kMegapixels = kWidth * double(kHeight) / 1e6;

// The picture: smooth gradients with noise, 16-bit RGB, rows packed.
const std::vector<uint16_t>& Pixels()
{
    static const std::vector<uint16_t> pixels = [] {
        std::vector<uint16_t> p(static_cast<size_t>(kWidth) * kHeight * 3);
        uint32_t s = 1;
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                for (int32_t c = 0; c < 3; ++c) {
                    s = s * 1664525u + 1013904223u;
                    const uint32_t base = (static_cast<uint32_t>(x) * 7 + static_cast<uint32_t>(y) * 11 + c * 9000) & 0xFFFF;
                    p[(static_cast<size_t>(y) * kWidth + x) * 3 + c] = static_cast<uint16_t>(base ^ (s >> 26));
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
        VeltraErrorPtr(image->SetColorSpace(33));
        VeltraErrorPtr(image->SetData(const_cast<uint16_t*>(Pixels().data()), kWidth * 6,
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

// Builds the chain, pulls every output tile, and takes the chain down.
bool RunChain(Source& src)
{
    CVeltraFilterScale scale(src.manager, 1);  // reduction: area on both axes
    CVeltraFilterColorSpace colorSpace(src.manager);
    CVeltraFilterTransform transform(src.manager);
    VeltraErrorPtr(VeltraConnect(src.image, &scale));
    VeltraErrorPtr(VeltraConnect(&scale, &colorSpace));
    VeltraErrorPtr(VeltraConnect(&colorSpace, &transform));
    VeltraErrorPtr(scale.SetSize(kOutWidth, kOutHeight, true));
    VeltraErrorPtr(colorSpace.SetOutputColorSpace(CVeltraFilterColorSpace::eOutputColorSpaceSource,
                                                  CVeltraFilterColorSpace::eOutputBitDepth8, true));
    VeltraErrorPtr(transform.RotateCW(90, true));
    int32_t w = 0, h = 0, t = 0;
    VeltraErrorPtr(transform.GetSize(&w, &h));
    VeltraErrorPtr(transform.GetTileSize(&t));
    if (w != kOutHeight || h != kOutWidth || t <= 0)
        return false;
    for (int32_t row = 0; row * t < h; ++row)
        for (int32_t col = 0; col * t < w; ++col) {
            void* bits = nullptr;
            VeltraErrorPtr e(transform.LockTile(&bits, col, row, nullptr));
            if (e)
                return false;
            benchmark::DoNotOptimize(bits);
            VeltraErrorPtr(transform.UnlockTile(col, row));
        }
    return true;
}

std::string TempDir()
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/brisant_bench_XXXXXX";
        const char* d = mkdtemp(pattern);
        return std::string(d ? d : "/tmp");
    }();
    return dir;
}

bool Shell(const std::string& cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str()) == 0;
}

// The same pixels as a vips file, written once.
bool PrepareVipsInput()
{
    static const bool ready = [] {
        if (!Shell("command -v vips"))
            return false;
        const std::string ppm = TempDir() + "/in.ppm";
        {
            std::ofstream f(ppm, std::ios::binary);
            f << "P6\n" << kWidth << " " << kHeight << "\n65535\n";
            std::vector<uint8_t> row(static_cast<size_t>(kWidth) * 6);
            for (int32_t y = 0; y < kHeight; ++y) {
                const uint16_t* p = Pixels().data() + static_cast<size_t>(y) * kWidth * 3;
                for (int32_t i = 0; i < kWidth * 3; ++i) {
                    row[2 * i] = static_cast<uint8_t>(p[i] >> 8);
                    row[2 * i + 1] = static_cast<uint8_t>(p[i]);
                }
                f.write(reinterpret_cast<const char*>(row.data()), static_cast<std::streamsize>(row.size()));
            }
        }
        const bool ok = Shell("vips copy " + ppm + " " + TempDir() + "/in.v");
        std::remove(ppm.c_str());
        Shell("vips black " + TempDir() + "/tiny.v 1 1");
        return ok;
    }();
    return ready;
}

double Seconds(const std::string& cmd)
{
    const auto start = std::chrono::steady_clock::now();
    const bool ok = Shell(cmd);
    const auto end = std::chrono::steady_clock::now();
    return ok ? std::chrono::duration<double>(end - start).count() : -1;
}

struct Totals {
    double seconds = 0;
    int64_t runs = 0;
    double PerRun() const { return runs ? seconds / static_cast<double>(runs) : 0; }
};
Totals g_chain, g_vips, g_vipsStart;

void BM_UploadChain(benchmark::State& state)
{
    Source src;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!RunChain(src)) {
            state.SkipWithError("the chain failed");
            return;
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(s);
        g_chain.seconds += s;
        ++g_chain.runs;
    }
    state.counters["MP/s"] = benchmark::Counter(kMegapixels * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UploadChain)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_VipsSameSteps(benchmark::State& state)
{
    if (!PrepareVipsInput()) {
        state.SkipWithError("vips is not installed");
        return;
    }
    const std::string d = TempDir();
    const std::string steps = "export VIPS_CONCURRENCY=1; vips shrink " + d + "/in.v " + d + "/t1.v 3.75 3.75 && vips msb " +
                              d + "/t1.v " + d + "/t2.v && vips rot " + d + "/t2.v " + d + "/out.v d90";
    // the cost of starting the vips program three times, measured apart
    const std::string start3 = "export VIPS_CONCURRENCY=1; vips copy " + d + "/tiny.v " + d + "/t3.v && vips copy " + d +
                               "/tiny.v " + d + "/t4.v && vips copy " + d + "/tiny.v " + d + "/t5.v";
    for (auto _ : state) {
        const double s = Seconds("sh -c '" + steps + "'");
        if (s < 0) {
            state.SkipWithError("vips failed");
            return;
        }
        state.SetIterationTime(s);
        g_vips.seconds += s;
        ++g_vips.runs;
        g_vipsStart.seconds += Seconds("sh -c '" + start3 + "'");
        ++g_vipsStart.runs;
    }
    state.counters["MP/s"] = benchmark::Counter(kMegapixels * static_cast<double>(state.iterations()),
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VipsSameSteps)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double chain = g_chain.PerRun();
    const double vips = g_vips.PerRun();
    const double vipsWork = vips - g_vipsStart.PerRun();
    if (chain > 0)
        std::printf("\nupload chain (Brisant, 1 thread): %.1f ms per picture, %.1f MP/s\n", chain * 1e3,
                    kMegapixels / chain);
    if (vips > 0) {
        std::printf("vips, same three steps (1 thread): %.1f ms per picture, %.1f MP/s; without program start-up "
                    "%.1f ms, %.1f MP/s\n",
                    vips * 1e3, kMegapixels / vips, vipsWork * 1e3, vipsWork > 0 ? kMegapixels / vipsWork : 0.0);
        if (chain > 0)
            std::printf("ratio Brisant time / vips time: %.2f (%.2f against vips without start-up)\n", chain / vips,
                        vipsWork > 0 ? chain / vipsWork : 0.0);
    }
    const std::string d = TempDir();
    if (d != "/tmp")
        Shell("rm -rf " + d);
    return 0;
}
