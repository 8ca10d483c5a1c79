// Tintara beside LittleCMS (optimised, its default) converting 8-bit RGB from
// sRGB to the Adobe-compatible profile, perceptual, on the same pixels in one run:
// the 2560x1600 wallpaper photographs (4 MP each) decoded, and 4 MP of random
// pixels. The ratio is Tintara's time over LittleCMS's; the target asks for
// Tintara at 1.2x LittleCMS's speed, that is a time ratio of at most 1/1.2.
#include "bench/mainroad/MainRoad.h"
#include "platform/thread/PictureHeap.h"

#include "Caravel/Tintara/Tintara.h"
#include "outside/imagefile/JpegCodec.h"

#include <lcms2.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

const char* const kInProfile = "/usr/share/color/icc/sRGB.icc";
const char* const kOutProfile = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Picture {
    long width = 0, height = 0;
    jqfl::PixelBytes pixels;
};

void Compare(const char* what, const std::vector<Picture>& pictures)
{
    const auto in = ReadFile(kInProfile), out = ReadFile(kOutProfile);
    long h = 0;
    JQCMCreate(&h);
    JQCMSetInputProfile(h, in.data(), in.size());
    JQCMSetOutputProfile(h, out.data(), out.size());
    JQCMSetInputBitSize(h, 8);
    JQCMSetOutputBitSize(h, 8);
    cmsHPROFILE lin = cmsOpenProfileFromFile(kInProfile, "r");
    cmsHPROFILE lout = cmsOpenProfileFromFile(kOutProfile, "r");
    cmsHTRANSFORM x = cmsCreateTransform(lin, TYPE_RGB_8, lout, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    std::vector<uint8_t> dst;
    double pixels = 0;
    for (const auto& p : pictures) {
        pixels += double(p.width) * p.height;
        if (dst.size() < p.pixels.size())
            dst.resize(p.pixels.size());
    }
    // both build their transforms before the clock runs
    JQCMProcessInterleavedData(h, pictures[0].width, 1, pictures[0].pixels.data(), dst.data(), 0, 0);
    cmsDoTransform(x, pictures[0].pixels.data(), dst.data(), 1);
    std::vector<double> ours, theirs;
    for (int round = 0; round < 5; ++round) {
        double t0 = mainroad::Seconds();
        for (const auto& p : pictures)
            JQCMProcessInterleavedData(h, p.width, p.height, p.pixels.data(), dst.data(), 0, 0);
        ours.push_back(mainroad::Seconds() - t0);
        t0 = mainroad::Seconds();
        for (const auto& p : pictures)
            cmsDoTransform(x, p.pixels.data(), dst.data(), cmsUInt32Number(p.width * p.height));
        theirs.push_back(mainroad::Seconds() - t0);
    }
    const double a = mainroad::Median(ours), b = mainroad::Median(theirs);
    char label[128], ra[64], rb[64], ratio[64];
    std::snprintf(label, sizeof label, "Tintara 8-bit sRGB to Adobe-compatible, %s (%.1f MP)", what, pixels / 1e6);
    std::snprintf(ra, sizeof ra, "Tintara %s (%.0f MP/s)", mainroad::Ms(a).c_str(), pixels / a / 1e6);
    std::snprintf(rb, sizeof rb, "LittleCMS %s (%.0f MP/s)", mainroad::Ms(b).c_str(), pixels / b / 1e6);
    std::snprintf(ratio, sizeof ratio, "%.2f (speed %.2fx)", a / b, b / a);
    mainroad::Row(label, ra, rb, a / b, mainroad::Goal::AtMost, 1 / 1.2, ratio);
    cmsDeleteTransform(x);
    cmsCloseProfile(lin);
    cmsCloseProfile(lout);
    JQCMDestroy(h);
}

}  // namespace

int main()
{
    // the heap as the programs keep it, for both sides of every row
    plat::keepPictureMemoryInHeap();
    std::vector<Picture> photos;
    for (const auto& path : mainroad::Photographs(2560, 1600)) {
        const auto bytes = ReadFile(path);
        jqfl::Raster r;
        if (jqfl::decodeJpeg(bytes.data(), bytes.size(), 0, 0, r) != 0 || r.channels != 3)
            continue;
        photos.push_back({r.width, r.height, std::move(r.data)});
    }
    if (photos.empty() || ReadFile(kInProfile).empty() || ReadFile(kOutProfile).empty()) {
        mainroad::MissingRow("Tintara 8-bit sRGB to Adobe-compatible", "photographs or ICC profiles missing");
        return 0;
    }
    Compare("photographs", photos);
    Picture noise{2048, 2048, jqfl::PixelBytes(size_t(2048) * 2048 * 3)};
    std::mt19937 random(11);
    for (auto& v : noise.pixels)
        v = static_cast<uint8_t>(random());
    Compare("random pixels", {noise});
    return 0;
}
