// Makes thumbnails (the browser's 96 and 256 pixel sizes) of 200 generated 12 MP
// JPEGs through the image-file library, and the same with vipsthumbnail, and
// prints pictures per second and the ratio.
//   imagefile_bench [--count=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "outside/imagefile/JpegCodec.h"
#include "outside/imagefile/JqFileLib.h"

namespace fs = std::filesystem;

namespace {

int g_count = 200;
fs::path g_dir;
std::vector<std::string> g_files;
std::map<std::string, double> g_rates;  // benchmark name -> pictures per second

// A photo-like 4000 x 3000 picture: smooth shapes with fine texture, different per file.
void makePictures() {
    g_dir = fs::temp_directory_path() / ("imagefile-bench-" + std::to_string(::getpid()));
    fs::create_directories(g_dir / "out");
    jqfl::Raster r;
    jqfl::allocateRaster(r, 4000, 3000, 3, 1);
    for (int i = 0; i < g_count; ++i) {
        for (int y = 0; y < r.height; ++y) {
            uint8_t* row = r.data.data() + static_cast<size_t>(y) * r.rowBytes();
            for (int x = 0; x < r.width; ++x) {
                const int t = ((x * 7 + y * 13 + i * 31) ^ (x >> 3)) & 15;
                row[x * 3] = static_cast<uint8_t>((x / 16 + i * 5) + t);
                row[x * 3 + 1] = static_cast<uint8_t>((y / 12 + x / 40) + t);
                row[x * 3 + 2] = static_cast<uint8_t>(((x + y) / 24 + i) - t);
            }
        }
        std::vector<uint8_t> bytes;
        jqfl::encodeJpeg(r, 88, {}, {}, bytes);
        const fs::path p = g_dir / ("PICT" + std::to_string(1000 + i) + ".JPG");
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        g_files.push_back(p.string());
    }
}

// One thumbnail as the browser asks for it: the reduced picture fitted into the
// box, read, and written out as a JPEG file.
bool thumbnail(const std::string& path, int box, const std::string& out) {
    JqflOpenBlock open{sizeof open, 0, 4, path.c_str(), 0};
    if (Jqfl_Entry(JQFL_OPEN, &open) != 0) return false;
    JqflImageInfoBlock info{sizeof info, open.fileId, 0, 0, 0, 0, 0, 0};
    Jqfl_Entry(JQFL_GET_IMAGE_INFO, &info);
    const int w = info.width >= info.height ? box : info.width * box / info.height;
    const int h = info.width >= info.height ? info.height * box / info.width : box;
    JqflImageInfoBlock want{sizeof want, open.fileId, 0, w, h, 1, info.colorModel, 1};
    Jqfl_Entry(JQFL_SET_SUB_IMAGE_INFO, &want);
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
    JqflRectBlock rect{sizeof rect, open.fileId, 0, 0, 0, w, h, static_cast<uint32_t>(px.size()), px.data()};
    const bool ok = Jqfl_Entry(JQFL_READ_SUB_IMAGE, &rect) == 0;
    Jqfl_Entry(JQFL_CLOSE, &open);
    if (!ok) return false;
    JqflOpenBlock made{sizeof made, 0, 0, nullptr, 0};
    Jqfl_Entry(JQFL_OPEN, &made);
    JqflImageInfoBlock geometry{sizeof geometry, made.fileId, 0, w, h, 1, JQFL_MODEL_RGB, 1};
    Jqfl_Entry(JQFL_SET_IMAGE_INFO, &geometry);
    JqflRectBlock write{sizeof write, made.fileId, 0, 0, 0, w, h, static_cast<uint32_t>(px.size()), px.data()};
    Jqfl_Entry(JQFL_WRITE_IMAGE, &write);
    JqflSaveBlock save{sizeof save, made.fileId, 1, JQFL_TYPE_JPEG, 2, out.c_str(), 0, nullptr, nullptr};
    const bool saved = Jqfl_Entry(JQFL_SAVE_FILE, &save) == 0;
    Jqfl_Entry(JQFL_CLOSE, &made);
    return saved;
}

void BM_JqFileLib(benchmark::State& state) {
    const int box = static_cast<int>(state.range(0));
    JqflInitBlock init{};
    init.size = sizeof init;
    Jqfl_Entry(JQFL_INITIALIZE, &init);
    for (auto _ : state) {
        for (size_t i = 0; i < g_files.size(); ++i)
            if (!thumbnail(g_files[i], box, (g_dir / "out" / ("j" + std::to_string(i) + ".jpg")).string()))
                state.SkipWithError("thumbnail failed");
    }
    Jqfl_Entry(JQFL_TERMINATE, nullptr);
    state.counters["pictures_per_second"] =
        benchmark::Counter(static_cast<double>(g_files.size() * state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Vipsthumbnail(benchmark::State& state) {
    const int box = static_cast<int>(state.range(0));
    std::string cmd = "vipsthumbnail --size " + std::to_string(box) + " -o '" + (g_dir / "out").string() +
                      "/v%s.jpg[Q=85]'";
    for (const std::string& f : g_files) cmd += " '" + f + "'";
    cmd += " >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("vipsthumbnail failed");
    state.counters["pictures_per_second"] =
        benchmark::Counter(static_cast<double>(g_files.size() * state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_JqFileLib)->Arg(96)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_Vipsthumbnail)->Arg(96)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// Keeps the pictures-per-second figures to print the ratio at the end.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            auto it = r.counters.find("pictures_per_second");
            if (it != r.counters.end()) g_rates[r.benchmark_name()] = it->second.value;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--count=", 8) == 0) g_count = std::max(1, std::atoi(argv[i] + 8));
        else args.push_back(argv[i]);
    }
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    std::printf("making %d 12 MP pictures...\n", g_count);
    makePictures();
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (int box : {96, 256}) {
        const double ours = g_rates["BM_JqFileLib/" + std::to_string(box) + "/min_time:1.000/real_time"];
        const double vips = g_rates["BM_Vipsthumbnail/" + std::to_string(box) + "/min_time:1.000/real_time"];
        if (ours > 0 && vips > 0)
            std::printf("%3d px: JqFileLib %.1f pictures/s, vipsthumbnail %.1f pictures/s, ratio %.2f\n", box, ours,
                        vips, ours / vips);
    }
    fs::remove_all(g_dir);
    benchmark::Shutdown();
    return 0;
}
