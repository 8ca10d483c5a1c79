// The upload chain on real photographs, Brisant beside libvips in one process:
// decode the JPEG, scale to 1600 pixels on the long side (area), unsharp mask
// (Gaussian radius 1, amount 1), colour conversion sRGB to an Adobe-compatible
// profile (perceptual, 8 bits), encode JPEG quality 90 into memory.
// Both sides read the same file (from the page cache after the warm-up): Brisant's
// side through the suite's loader, as the upload program loads a picture, libvips
// through its own. Both decode and encode with libjpeg-turbo. Rows:
//   - one thread on each side (libvips with its concurrency set to 1);
//   - the machine's cores on each side, one picture per thread (libvips threads
//     at concurrency 1 each, the same way).
// CHAIN_PROFILE_BRISANT=<threads> runs only the Brisant side, five rounds, for a
// profiler.
#include "bench/mainroad/MainRoad.h"
#include "platform/thread/PictureHeap.h"

#include "Caravel/Brisant/UnsharpMaskFilter.h"
#include "Caravel/Brisant/VeltraFilterScale.h"
#include "Caravel/Brisant/VeltraFilterTintara.h"
#include "outside/grindel/VeltraFileStream.h"
#include "outside/grindel/VeltraLoad.h"
#include "outside/imagefile/JpegCodec.h"

#include <vips/vips.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

constexpr int kLongSide = 1600;
const char* const kInProfile = "/usr/share/color/icc/sRGB.icc";
const char* const kOutProfile = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void OutputSize(int w, int h, int* ow, int* oh)
{
    if (w >= h) {
        *ow = kLongSide;
        *oh = static_cast<int>((int64_t{h} * kLongSide + w / 2) / w);
    } else {
        *oh = kLongSide;
        *ow = static_cast<int>((int64_t{w} * kLongSide + h / 2) / h);
    }
}

// ---------------------------------------------------------------- Brisant

// The picture loaded as the upload program loads it: the suite's loader decodes a
// band of rows at a time into the framework image.
IVeltraImage* LoadAsTheSuiteDoes(IVeltraManager* manager, const std::string& path)
{
    IVeltraImage* image = nullptr;
    IVeltraFileStream* stream = nullptr;
    IVeltraLoad* load = nullptr;
    VeltraFile file;
    std::strncpy(file.path, path.c_str(), sizeof(file.path) - 1);
    bool ok = !VeltraErrorPtr(manager->CreateImage(&image, 0)) &&
              !VeltraErrorPtr(IVeltraFileStream::CreateFileStream(&stream)) && !VeltraErrorPtr(stream->Open(file)) &&
              !VeltraErrorPtr(IVeltraLoad::CreateLoad(&load)) &&
              !VeltraErrorPtr(load->Open(stream, nullptr, 8388608, 0));
    const bool opened = ok;
    ok = ok && !VeltraErrorPtr(load->SetDestination(image));
    for (bool done = false; ok && !done;)
        ok = !VeltraErrorPtr(load->GetProgressInterface()->IsDone(&done)) &&
             (done || !VeltraErrorPtr(load->GetProgressInterface()->Step()));
    if (opened)
        VeltraErrorPtr(load->Close());
    if (load)
        load->Release();
    if (stream)
        stream->Release();
    if (!ok && image) {
        image->Destroy();
        image = nullptr;
    }
    return image;
}

size_t BrisantChain(const std::string& path, CVeltraFilterTintaraEngine& engine)
{
    IVeltraManager* manager = nullptr;
    VeltraErrorPtr(IVeltraManager::CreateManager(&manager, VeltraFile{}, 1u << 30, 4u << 16, 0));
    IVeltraImage* image = LoadAsTheSuiteDoes(manager, path);
    int32_t sw = 0, sh = 0;
    if (!image || VeltraErrorPtr(image->GetWidth(&sw)) || VeltraErrorPtr(image->GetHeight(&sh))) {
        manager->Release();
        return 0;
    }
    size_t encoded = 0;
    {
        CVeltraFilterScale scale(manager, 1);
        CUnsharpMaskFilter usm(manager);
        CVeltraFilterTintara cms(manager);
        int ow = 0, oh = 0;
        OutputSize(sw, sh, &ow, &oh);
        VeltraErrorPtr(VeltraConnect(image, &scale));
        VeltraErrorPtr(VeltraConnect(&scale, &usm));
        VeltraErrorPtr(VeltraConnect(&usm, &cms));
        VeltraErrorPtr(scale.SetSize(ow, oh, true));
        VeltraErrorPtr(usm.SetRadius(1.0, true));
        VeltraErrorPtr(cms.SetTintaraEngine(&engine, true));
        int32_t w = 0, h = 0, t = 0, rowBytes = 0;
        VeltraErrorPtr(cms.GetSize(&w, &h));
        VeltraErrorPtr(cms.GetTileSize(&t));
        VeltraErrorPtr(cms.GetRowBytes(&rowBytes));
        jqfl::Raster out;
        jqfl::allocateRaster(out, w, h, 3, 1);
        for (int32_t row = 0; t > 0 && row * t < h; ++row)
            for (int32_t col = 0; col * t < w; ++col) {
                void* bits = nullptr;
                VeltraErrorPtr e(cms.LockTile(&bits, col, row, nullptr));
                if (e)
                    continue;
                const int32_t x0 = col * t, y0 = row * t;
                const int32_t cw = std::min(t, w - x0), ch = std::min(t, h - y0);
                for (int32_t y = 0; y < ch; ++y)
                    std::memcpy(out.data.data() + static_cast<size_t>(y0 + y) * out.rowBytes() + x0 * 3,
                                static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * rowBytes,
                                static_cast<size_t>(cw) * 3);
                VeltraErrorPtr(cms.UnlockTile(col, row));
            }
        std::vector<uint8_t> jpeg;
        if (jqfl::encodeJpeg(out, 90, {}, {}, jpeg) == 0)
            encoded = jpeg.size();
    }
    image->Destroy();
    manager->Release();
    return encoded;
}

bool MakeEngine(CVeltraFilterTintaraEngine& engine)
{
    VeltraFile in, out;
    std::strncpy(in.path, kInProfile, sizeof(in.path) - 1);
    std::strncpy(out.path, kOutProfile, sizeof(out.path) - 1);
    if (VeltraErrorPtr(engine.SetProfiles(in, out)))
        return false;
    engine.SetBitsPerComponent(false, 8);
    engine.SetBitsPerComponent(true, 8);
    engine.SetRenderingIntent(0);
    return true;
}

// ---------------------------------------------------------------- libvips

size_t VipsChain(const std::string& path)
{
    VipsImage* in = nullptr;
    if (vips_jpegload(path.c_str(), &in, "access", VIPS_ACCESS_SEQUENTIAL, nullptr))
        return 0;
    int ow = 0, oh = 0;
    OutputSize(in->Xsize, in->Ysize, &ow, &oh);
    const double scale = static_cast<double>(ow) / in->Xsize;
    VipsImage *sized = nullptr, *blur = nullptr, *diff = nullptr, *sharp = nullptr, *cast = nullptr,
              *icc = nullptr;
    void* buf = nullptr;
    size_t len = 0;
    bool ok = !vips_resize(in, &sized, scale, "kernel", VIPS_KERNEL_LINEAR, nullptr) &&
              !vips_gaussblur(sized, &blur, 1.0, "precision", VIPS_PRECISION_INTEGER, nullptr) &&
              !vips_subtract(sized, blur, &diff, nullptr) && !vips_add(sized, diff, &sharp, nullptr) &&
              !vips_cast(sharp, &cast, VIPS_FORMAT_UCHAR, nullptr) &&
              !vips_icc_transform(cast, &icc, kOutProfile, "input_profile", kInProfile, "intent",
                                  VIPS_INTENT_PERCEPTUAL, "depth", 8, nullptr) &&
              !vips_jpegsave_buffer(icc, &buf, &len, "Q", 90, nullptr);
    for (VipsImage* i : {in, sized, blur, diff, sharp, cast, icc})
        if (i)
            g_object_unref(i);
    g_free(buf);
    return ok ? len : 0;
}

// ---------------------------------------------------------------- timing

template <typename Work>
double OverAll(const std::vector<std::string>& files, int threads, Work work)
{
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    const double t0 = mainroad::Seconds();
    auto run = [&](int slot) {
        for (size_t i; (i = next.fetch_add(1)) < files.size();)
            if (work(files[i], slot) == 0) {
                std::fprintf(stderr, "picture %zu failed: %s\n", i, vips_error_buffer());
                failed = true;
            }
    };
    std::vector<std::thread> pool;
    for (int k = 1; k < threads; ++k)
        pool.emplace_back(run, k);
    run(0);
    for (auto& t : pool)
        t.join();
    const double t = mainroad::Seconds() - t0;
    if (failed) {
        std::fprintf(stderr, "a picture failed in the chain\n");
        std::exit(1);
    }
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    // the heap as the programs keep it, for both sides of every row
    plat::keepPictureMemoryInHeap();
    (void)argc;
    if (VIPS_INIT(argv[0]))
        return 1;
    vips_cache_set_max(0);
    const std::vector<std::string> paths = mainroad::AllPhotographs();
    if (paths.size() < 2 || ::access(kInProfile, R_OK) != 0 || ::access(kOutProfile, R_OK) != 0) {
        mainroad::MissingRow("upload chain, 1 thread", "wallpaper photographs or ICC profiles missing");
        return 0;
    }
    std::vector<std::string> files;
    double megapixels = 0;
    for (const auto& p : paths) {
        std::vector<uint8_t> bytes = ReadFile(p);
        jqfl::JpegHeader h;
        // colour photographs only: the chain converts between RGB profiles
        if (jqfl::readJpegHeader(bytes.data(), bytes.size(), h) != 0 || h.components != 3)
            continue;
        megapixels += h.width * double(h.height) / 1e6;
        files.push_back(p);
    }
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::printf("upload chain: %zu photographs, %.1f MP, %d cores\n", files.size(), megapixels, cores);

    // one engine per thread: each keeps its own transform
    std::vector<CVeltraFilterTintaraEngine> engines(static_cast<size_t>(cores));
    for (auto& e : engines)
        if (!MakeEngine(e))
            return 1;
    auto brisant = [&](const std::string& f, int slot) {
        return BrisantChain(f, engines[static_cast<size_t>(slot)]);
    };
    auto vips = [](const std::string& f, int) { return VipsChain(f); };

    vips_concurrency_set(1);
    if (const char* only = std::getenv("CHAIN_PROFILE_BRISANT")) {
        const int threads = std::atoi(only) > 0 ? std::atoi(only) : 1;
        for (int round = 0; round < 5; ++round)
            std::printf("brisant %d threads: %.1f ms\n", threads, 1000 * OverAll(files, threads, brisant));
        return 0;
    }
    // warm-up: profiles, codecs, the page cache
    OverAll(files, 1, brisant);
    OverAll(files, 1, vips);
    for (int threads : {1, cores}) {
        std::vector<double> ours, theirs;
        for (int round = 0; round < 3; ++round) {
            ours.push_back(OverAll(files, threads, brisant));
            theirs.push_back(OverAll(files, threads, vips));
        }
        const double a = mainroad::Median(ours), b = mainroad::Median(theirs);
        char label[96];
        std::snprintf(label, sizeof label, "upload chain, %zu photos %.1f MP, %d thread%s each side", files.size(),
                      megapixels, threads, threads == 1 ? "" : "s");
        mainroad::Row(label, "Brisant " + mainroad::Ms(a), "libvips " + mainroad::Ms(b), a / b,
                      mainroad::Goal::AtMost, 1.0);
    }
    vips_shutdown();
    return 0;
}
