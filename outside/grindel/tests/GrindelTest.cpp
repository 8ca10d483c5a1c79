// Loads and saves through the library's objects, as the upload pipeline drives them,
// on pictures made here with libtiff; tags checked with exiftool.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "outside/grindel/Grindel.h"
#include "outside/veltra/VeltraChain.h"
#include "outside/veltra/VeltraImage.h"
#include "outside/veltra/VeltraManager.h"

namespace fs = std::filesystem;

namespace {

// A sample value of pixel (x, y), component c, at the given depth (16 bits: a smooth
// ramp below 65536 for pictures up to 320 x 200, whose low bytes still vary).
uint32_t sampleAt(int x, int y, int c, int bits)
{
    if (bits == 8) return static_cast<uint32_t>(x * 7 + y * 3 + c * 50) & 0xFF;
    return static_cast<uint32_t>(x * 97 + y * 61 + c * 5000) & 0xFFFF;
}

struct TiffSpec {
    const char* what;
    int samples;
    int bits;
    uint16_t photometric;
    int32_t format;       // what the load reports
    int32_t colorSpace;   // what the image gets
};

struct Tags {
    const char* make = nullptr;
    const char* model = nullptr;
    const char* dateTime = nullptr;
    const char* artist = nullptr;
};

void writeTiff(const fs::path& path, int w, int h, const TiffSpec& s, const Tags& tags = {})
{
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, s.samples);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, s.photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 7);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, 300.0f);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, 300.0f);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if ((s.samples == 2 || s.samples == 4) && s.photometric != PHOTOMETRIC_SEPARATED) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (s.photometric == PHOTOMETRIC_PALETTE) {
        std::vector<uint16_t> r(256), g(256), b(256);
        for (int i = 0; i < 256; ++i) {
            r[i] = static_cast<uint16_t>(i * 257);
            g[i] = static_cast<uint16_t>((255 - i) * 257);
            b[i] = 0x8080;
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    if (tags.make) TIFFSetField(t, TIFFTAG_MAKE, tags.make);
    if (tags.model) TIFFSetField(t, TIFFTAG_MODEL, tags.model);
    if (tags.dateTime) TIFFSetField(t, TIFFTAG_DATETIME, tags.dateTime);
    if (tags.artist) TIFFSetField(t, TIFFTAG_ARTIST, tags.artist);
    const int bytes = s.bits / 8;
    std::vector<unsigned char> row(static_cast<size_t>(w) * s.samples * bytes);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < s.samples; ++c) {
                const uint32_t v = sampleAt(x, y, c, s.bits);
                unsigned char* p = row.data() + (static_cast<size_t>(x) * s.samples + c) * bytes;
                if (bytes == 1) {
                    *p = static_cast<unsigned char>(v);
                } else {
                    const uint16_t v16 = static_cast<uint16_t>(v);
                    std::memcpy(p, &v16, 2);
                }
            }
        ASSERT_EQ(TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0), 1);
    }
    TIFFClose(t);
}

struct Manager {
    IVeltraManager* m = nullptr;
    Manager() { VeltraErrorPtr(IVeltraManager::CreateManager(&m, VeltraFile{}, 1u << 28, 4u << 16, 0)); }
    ~Manager()
    {
        if (m) m->Release();
    }
};

struct ImageHolder {
    IVeltraImage* image = nullptr;
    ~ImageHolder()
    {
        if (image) image->Destroy();
    }
};

VeltraFile fileOf(const fs::path& p)
{
    VeltraFile f;
    std::strncpy(f.path, p.c_str(), sizeof f.path - 1);
    return f;
}

// The load as the pipeline drives it; false when any call failed.
struct LoadResult {
    bool opened = false;
    bool loaded = false;
    int32_t format = 0;
    int steps = 0;
    bool progressMonotonic = true;
    int32_t total = 0;
};

LoadResult loadInto(const fs::path& path, IVeltraImage* image, IVeltraTagControl* tags, int32_t buffer = 8388608)
{
    LoadResult r;
    IVeltraFileStream* stream = nullptr;
    IVeltraLoad* load = nullptr;
    VeltraErrorPtr(IVeltraFileStream::CreateFileStream(&stream));
    VeltraErrorPtr(IVeltraLoad::CreateLoad(&load));
    EXPECT_TRUE(stream && load);
    if (!stream || !load) return r;
    bool ok = !VeltraErrorPtr(stream->Open(fileOf(path))) &&
              !VeltraErrorPtr(load->Open(stream, tags, buffer, 0));
    r.opened = ok;
    ok = ok && !VeltraErrorPtr(load->GetFileFormat(&r.format));
    ok = ok && !VeltraErrorPtr(load->SetDestination(image));
    IVeltraProgress* progress = load->GetProgressInterface();
    int32_t lastDone = -1;
    bool done = false;
    while (ok) {
        if (VeltraErrorPtr(progress->IsDone(&done))) ok = false;
        if (!ok || done) break;
        ok = !VeltraErrorPtr(progress->Step());
        int32_t d = 0;
        VeltraErrorPtr(progress->GetProgress(&d, &r.total));
        r.progressMonotonic = r.progressMonotonic && d > lastDone && d <= r.total;
        lastDone = d;
        ++r.steps;
    }
    r.loaded = ok && done;
    if (r.opened) {
        EXPECT_FALSE(VeltraErrorPtr(load->Close()));
    }
    load->Release();
    stream->Release();
    return r;
}

// The save as the pipeline drives it; stopAfter > 0 closes early (a cancel).
bool saveFrom(IVeltraDataSource* source, const fs::path& path, IVeltraTagControl* tags, int stopAfter = 0)
{
    IVeltraFileStream* stream = nullptr;
    IVeltraSave* save = nullptr;
    VeltraErrorPtr(IVeltraFileStream::CreateFileStream(&stream));
    VeltraErrorPtr(IVeltraSave::CreateSave(&save));
    bool ok = !VeltraErrorPtr(stream->Open(fileOf(path))) && !VeltraErrorPtr(save->Open(stream, tags, 16, 3));
    const bool opened = ok;
    ok = ok && !VeltraErrorPtr(save->SetSource(source, 0, 0));
    IVeltraProgress* progress = save->GetProgressInterface();
    bool done = false;
    int steps = 0;
    while (ok && !VeltraErrorPtr(progress->IsDone(&done)) && !done) {
        if (stopAfter > 0 && steps == stopAfter) {
            ok = false;
            break;
        }
        ok = !VeltraErrorPtr(progress->Step());
        ++steps;
    }
    if (opened) {
        EXPECT_FALSE(VeltraErrorPtr(save->Close()));
    }
    save->Release();
    stream->Release();
    return ok && done;
}

std::vector<unsigned char> pixelsOf(IVeltraImage* image)
{
    int32_t w = 0, h = 0, cs = 0;
    VeltraErrorPtr(image->GetSize(&w, &h));
    VeltraErrorPtr(image->GetColorSpace(&cs));
    const int32_t rowBytes = w * IVeltraDataSource::GetBitsPerPixel(cs) / 8;
    std::vector<unsigned char> out(static_cast<size_t>(rowBytes) * h);
    EXPECT_FALSE(VeltraErrorPtr(image->GetData(out.data(), rowBytes, VeltraRect{0, 0, w, h})));
    return out;
}

std::string exiftool(const fs::path& path, const std::string& tag)
{
    const std::string cmd = "exiftool -s -s -s -" + tag + " '" + path.string() + "' 2>/dev/null";
    std::FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

class GrindelFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("grindel-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ASSERT_NE(mgr_.m, nullptr);
    }
    void TearDown() override { fs::remove_all(dir_); }

    IVeltraImage* newImage(ImageHolder& h)
    {
        EXPECT_FALSE(VeltraErrorPtr(mgr_.m->CreateImage(&h.image, 0)));
        return h.image;
    }

    fs::path dir_;
    Manager mgr_;
};

TEST_F(GrindelFiles, TiffKindsLoadWithTheirFormatAndSamples)
{
    const TiffSpec specs[] = {
        {"grey 8", 1, 8, PHOTOMETRIC_MINISBLACK, kGrindelTiff8, 2},
        {"grey 16", 1, 16, PHOTOMETRIC_MINISBLACK, kGrindelTiff16, 3},
        {"rgb 8", 3, 8, PHOTOMETRIC_RGB, kGrindelTiff8, 32},
        {"rgb 16", 3, 16, PHOTOMETRIC_RGB, kGrindelTiff16, 33},
        {"rgb 8 with alpha", 4, 8, PHOTOMETRIC_RGB, kGrindelTiff8, 32},
        {"grey 8 with alpha", 2, 8, PHOTOMETRIC_MINISBLACK, kGrindelTiff8, 2},
        {"white is zero", 1, 8, PHOTOMETRIC_MINISWHITE, kGrindelTiff8, 2},
        {"palette", 1, 8, PHOTOMETRIC_PALETTE, kGrindelTiffOther, 32},
        {"cmyk", 4, 8, PHOTOMETRIC_SEPARATED, kGrindelTiffOther, 32},
    };
    const int w = 300, h = 270;  // more than one tile each way, partial edge tiles
    for (const TiffSpec& s : specs) {
        SCOPED_TRACE(s.what);
        const fs::path path = dir_ / "in.tif";
        writeTiff(path, w, h, s);
        ImageHolder holder;
        IVeltraImage* image = newImage(holder);
        const LoadResult r = loadInto(path, image, nullptr, 40000);
        ASSERT_TRUE(r.loaded);
        EXPECT_EQ(r.format, s.format);
        EXPECT_GT(r.steps, 1);
        EXPECT_TRUE(r.progressMonotonic);
        EXPECT_EQ(r.total, h);
        int32_t cs = 0, iw = 0, ih = 0;
        VeltraErrorPtr(image->GetColorSpace(&cs));
        VeltraErrorPtr(image->GetSize(&iw, &ih));
        EXPECT_EQ(cs, s.colorSpace);
        EXPECT_EQ(iw, w);
        EXPECT_EQ(ih, h);
        double dpi = 0;
        VeltraErrorPtr(image->GetResolution(&dpi));
        EXPECT_DOUBLE_EQ(dpi, 300.0);
        if (s.format == kGrindelTiffOther) continue;  // rendered colours: checked by format only

        const std::vector<unsigned char> px = pixelsOf(image);
        const int planes = s.colorSpace == 2 || s.colorSpace == 3 ? 1 : 3;
        const int bytes = s.bits / 8;
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < planes; ++c) {
                    uint32_t want = sampleAt(x, y, c, s.bits);
                    if (s.photometric == PHOTOMETRIC_MINISWHITE) want = 255 - want;
                    const unsigned char* p = px.data() + ((static_cast<size_t>(y) * w + x) * planes + c) * bytes;
                    uint32_t got = *p;
                    if (bytes == 2) {
                        uint16_t v;
                        std::memcpy(&v, p, 2);
                        got = v;
                    }
                    wrong += got != want;
                }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(GrindelFiles, TiffToJpegCarriesTagsAndPixels)
{
    const fs::path in = dir_ / "scan.tif";
    const fs::path out = dir_ / "scan.jpg";
    Tags tags;
    tags.make = "Vorel";
    tags.model = "Halden 7";
    tags.dateTime = "2026:07:14 10:11:12";
    tags.artist = "Ada";
    writeTiff(in, 320, 200, {"rgb 16", 3, 16, PHOTOMETRIC_RGB, 2, 33}, tags);

    IVeltraTagControl* control = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(IVeltraTagControl::CreateTagControl(&control)));
    ImageHolder holder;
    IVeltraImage* image = newImage(holder);
    ASSERT_TRUE(loadInto(in, image, control).loaded);
    char text[64];
    ASSERT_TRUE(control->GetTagText("Exif.Image.Model", text, sizeof text));
    EXPECT_STREQ(text, "Halden 7");
    EXPECT_FALSE(control->GetTagText("Exif.Image.Model", text, 4));  // too small: refused, not cut

    // Through a chain without filters, as the pipeline's chain hands the image on.
    IVeltraChain* chain = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(mgr_.m->CreateChain(&chain)));
    ASSERT_FALSE(VeltraErrorPtr(chain->SetSource(image, 0)));
    EXPECT_TRUE(saveFrom(chain, out, control));
    chain->Release();
    control->Release();

    EXPECT_EQ(exiftool(out, "FileType"), "JPEG");
    EXPECT_EQ(exiftool(out, "Make"), "Vorel");
    EXPECT_EQ(exiftool(out, "Model"), "Halden 7");
    EXPECT_EQ(exiftool(out, "ModifyDate"), "2026:07:14 10:11:12");
    EXPECT_EQ(exiftool(out, "Artist"), "Ada");
    EXPECT_EQ(exiftool(out, "ImageWidth"), "320");
    EXPECT_EQ(exiftool(out, "ImageHeight"), "200");
    EXPECT_EQ(exiftool(out, "ExifImageWidth"), "320");
    EXPECT_EQ(exiftool(out, "StripOffsets"), "");  // the TIFF's layout stays behind
    EXPECT_EQ(exiftool(out, "XResolution"), "300");

    // Loaded back: an EXIF JPEG whose pixels are the high bytes of the 16-bit samples.
    ImageHolder back;
    IVeltraImage* again = newImage(back);
    const LoadResult r = loadInto(out, again, nullptr);
    ASSERT_TRUE(r.loaded);
    EXPECT_EQ(r.format, kGrindelExifJpeg);
    const std::vector<unsigned char> px = pixelsOf(again);
    ASSERT_EQ(px.size(), 320u * 200u * 3u);
    double error = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x)
            for (int c = 0; c < 3; ++c)
                error += std::abs(int(px[(static_cast<size_t>(y) * 320 + x) * 3 + c]) -
                                  int(sampleAt(x, y, c, 16) >> 8));
    EXPECT_LT(error / (320.0 * 200 * 3), 2.0);
}

TEST_F(GrindelFiles, JpegWithoutTagsIsPlainJfifAndGreyStaysGrey)
{
    const fs::path in = dir_ / "g.tif";
    const fs::path out = dir_ / "g.jpg";
    writeTiff(in, 64, 40, {"grey 8", 1, 8, PHOTOMETRIC_MINISBLACK, 1, 2});
    ImageHolder holder;
    IVeltraImage* image = newImage(holder);
    ASSERT_TRUE(loadInto(in, image, nullptr).loaded);
    ASSERT_TRUE(saveFrom(image, out, nullptr));
    EXPECT_EQ(exiftool(out, "ColorComponents"), "1");
    ImageHolder back;
    const LoadResult r = loadInto(out, newImage(back), nullptr);
    EXPECT_TRUE(r.loaded);
    EXPECT_EQ(r.format, kGrindelJfif);
}

TEST_F(GrindelFiles, UnreadableFilesFailCleanly)
{
    const fs::path good = dir_ / "good.tif";
    writeTiff(good, 200, 200, {"rgb 8", 3, 8, PHOTOMETRIC_RGB, 1, 32});
    std::ifstream whole(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(whole)), {});

    struct Case {
        const char* what;
        std::string content;
    };
    const Case cases[] = {
        {"text", "hello, this is no picture"},
        {"empty", ""},
        {"TIFF header only", bytes.substr(0, 8)},
        {"TIFF cut in its pixels", bytes.substr(0, bytes.size() / 2)},
        {"JPEG header only", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path p = dir_ / "bad";
        std::ofstream(p, std::ios::binary) << c.content;
        ImageHolder holder;
        EXPECT_FALSE(loadInto(p, newImage(holder), nullptr).loaded);
    }
    ImageHolder holder;
    EXPECT_FALSE(loadInto(dir_ / "missing.tif", newImage(holder), nullptr).opened);

    // A JPEG cut in its data fails rather than loading made-up grey rows.
    ImageHolder tiff;
    IVeltraImage* image = newImage(tiff);
    ASSERT_TRUE(loadInto(good, image, nullptr).loaded);
    const fs::path jpeg = dir_ / "good.jpg";
    ASSERT_TRUE(saveFrom(image, jpeg, nullptr));
    std::ifstream jin(jpeg, std::ios::binary);
    const std::string jbytes((std::istreambuf_iterator<char>(jin)), {});
    std::ofstream(dir_ / "cut.jpg", std::ios::binary) << jbytes.substr(0, jbytes.size() * 2 / 3);
    ImageHolder cut;
    const LoadResult r = loadInto(dir_ / "cut.jpg", newImage(cut), nullptr);
    EXPECT_TRUE(r.opened);
    EXPECT_FALSE(r.loaded);
}

TEST_F(GrindelFiles, UnfinishedSaveLeavesTheTargetAlone)
{
    const fs::path in = dir_ / "big.tif";
    writeTiff(in, 600, 600, {"rgb 8", 3, 8, PHOTOMETRIC_RGB, 1, 32});
    ImageHolder holder;
    IVeltraImage* image = newImage(holder);
    ASSERT_TRUE(loadInto(in, image, nullptr).loaded);

    const fs::path out = dir_ / "work.jpg";
    std::ofstream(out) << "previous";
    EXPECT_FALSE(saveFrom(image, out, nullptr, 1));  // closed after one band: a cancel
    std::ifstream kept(out);
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "previous");
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 2);  // no partial file left beside it

    EXPECT_FALSE(saveFrom(image, dir_ / "no-such-folder" / "x.jpg", nullptr));
    EXPECT_TRUE(saveFrom(image, out, nullptr));
    EXPECT_EQ(exiftool(out, "ImageWidth"), "600");
}

TEST_F(GrindelFiles, CallsOutOfOrderAreRefused)
{
    IVeltraLoad* load = nullptr;
    IVeltraSave* save = nullptr;
    IVeltraFileStream* stream = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(IVeltraLoad::CreateLoad(&load)));
    ASSERT_FALSE(VeltraErrorPtr(IVeltraSave::CreateSave(&save)));
    ASSERT_FALSE(VeltraErrorPtr(IVeltraFileStream::CreateFileStream(&stream)));
    int32_t format = 0;
    bool done = false;
    EXPECT_TRUE(VeltraErrorPtr(load->GetFileFormat(&format)));
    EXPECT_TRUE(VeltraErrorPtr(load->Close()));
    EXPECT_TRUE(VeltraErrorPtr(load->GetProgressInterface()->Step()));
    EXPECT_TRUE(VeltraErrorPtr(load->Open(stream, nullptr, 8388608, 0)));  // stream not opened
    EXPECT_TRUE(VeltraErrorPtr(save->Close()));
    EXPECT_TRUE(VeltraErrorPtr(save->GetProgressInterface()->IsDone(&done)));
    ASSERT_FALSE(VeltraErrorPtr(stream->Open(fileOf(dir_ / "x.jpg"))));
    EXPECT_TRUE(VeltraErrorPtr(save->Open(stream, nullptr, 1, 3)));   // not a format it writes
    EXPECT_TRUE(VeltraErrorPtr(save->Open(stream, nullptr, 16, 9)));  // not an option
    VeltraFile unterminated;
    std::memset(unterminated.path, 'a', sizeof unterminated.path);
    EXPECT_TRUE(VeltraErrorPtr(stream->Open(unterminated)));
    load->Release();
    save->Release();
    stream->Release();
}

}  // namespace
