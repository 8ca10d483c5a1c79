#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "outside/imagefile/JqFileLib.h"
#include "outside/imagefile/tests/TestPictures.h"

namespace fs = std::filesystem;
using jqfltest::Rgb;

namespace {

// One library session on one picture, as the viewer's wrapper drives it.
class Session {
public:
    Session() {
        JqflInitBlock init{};
        init.size = sizeof init;
        init.memoryWord = 0x2000000;
        EXPECT_EQ(Jqfl_Entry(JQFL_INITIALIZE, &init), 0);
    }
    ~Session() {
        if (id_) close();
        Jqfl_Entry(JQFL_TERMINATE, nullptr);
    }
    int32_t open(const std::string& path) {
        JqflOpenBlock b{sizeof b, 0, 4, path.c_str(), 0};
        const int32_t rc = Jqfl_Entry(JQFL_OPEN, &b);
        id_ = b.fileId;
        return rc;
    }
    int32_t makeNew() {
        JqflOpenBlock b{sizeof b, 0, 0, nullptr, 0};
        const int32_t rc = Jqfl_Entry(JQFL_OPEN, &b);
        id_ = b.fileId;
        return rc;
    }
    void close() {
        JqflOpenBlock b{sizeof b, id_, 0, nullptr, 0};
        Jqfl_Entry(JQFL_CLOSE, &b);
        id_ = 0;
    }
    JqflImageInfoBlock info(uint32_t command = JQFL_GET_IMAGE_INFO) {
        JqflImageInfoBlock b{};
        b.size = sizeof b;
        b.fileId = id_;
        EXPECT_EQ(Jqfl_Entry(command, &b), 0);
        return b;
    }
    int32_t setInfo(int w, int h, int orientation, uint32_t command = JQFL_SET_IMAGE_INFO, int depth = 1,
                    int model = JQFL_MODEL_RGB) {
        JqflImageInfoBlock b{sizeof b, id_, 0, w, h, depth, model, orientation};
        return Jqfl_Entry(command, &b);
    }
    int32_t read(std::vector<uint8_t>& px, int w, int h, uint32_t command = JQFL_READ_IMAGE, int channels = 3) {
        px.assign(static_cast<size_t>(w) * h * channels, 0);
        JqflRectBlock b{sizeof b, id_, 0, 0, 0, w, h, static_cast<uint32_t>(px.size()), px.data()};
        return Jqfl_Entry(command, &b);
    }
    int32_t write(std::vector<uint8_t>& px, int w, int h) {
        JqflRectBlock b{sizeof b, id_, 0, 0, 0, w, h, static_cast<uint32_t>(px.size()), px.data()};
        return Jqfl_Entry(JQFL_WRITE_IMAGE, &b);
    }
    int32_t tag(uint32_t tag, JqflTagBlock& b, std::vector<uint8_t>* data) {
        b = JqflTagBlock{sizeof b, id_, tag, 0, 0, 0, nullptr};
        int32_t rc = Jqfl_Entry(JQFL_GET_TAG, &b);
        if (rc != 0 || !data) return rc;
        data->assign(b.bufferSize, 0);
        b.buffer = data->data();
        return Jqfl_Entry(JQFL_GET_TAG, &b);
    }
    int32_t setTag(uint32_t tag, uint32_t type, const void* data, uint32_t size) {
        JqflTagBlock b{sizeof b, id_, tag, type, 0, size, const_cast<void*>(data)};
        return Jqfl_Entry(JQFL_SET_TAG, &b);
    }
    int32_t save(const std::string& path, uint32_t format = JQFL_TYPE_JPEG, JqflProgress progress = nullptr,
                 void* ref = nullptr) {
        JqflSaveBlock b{sizeof b, id_, 1, format, 3, path.c_str(), 0, progress, ref};
        return Jqfl_Entry(JQFL_SAVE_FILE, &b);
    }
    uint32_t id() const { return id_; }

private:
    uint32_t id_ = 0;
};

class JqFileLib : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("jqfl-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

// Left half red, right half blue.
Rgb halves(int x, int y, int w) {
    (void)y;
    return x < w / 2 ? Rgb{255, 0, 0} : Rgb{0, 0, 255};
}

bool isRed(const uint8_t* p) { return p[0] > 200 && p[2] < 60; }
bool isBlue(const uint8_t* p) { return p[2] > 200 && p[0] < 60; }

TEST_F(JqFileLib, BadFilesGiveResultsNotCrashes) {
    Session s;
    EXPECT_EQ(s.open(path("missing.jpg")), JQFL_CANNOT_OPEN);
    std::ofstream(path("text.jpg")) << "not a picture";
    EXPECT_EQ(s.open(path("text.jpg")), JQFL_UNSUPPORTED);
    EXPECT_EQ(s.open(dir_.string()), JQFL_CANNOT_OPEN);

    jqfltest::writeJpeg(path("good.jpg"), 160, 120, [](int x, int y) { return Rgb{uint8_t(x), uint8_t(y), 7}; });
    std::vector<uint8_t> bytes = jqfltest::readFile(path("good.jpg"));
    // truncated in the entropy-coded data: opens (header intact) but reading fails
    std::ofstream(path("cut.jpg"), std::ios::binary).write(reinterpret_cast<char*>(bytes.data()), bytes.size() / 2);
    ASSERT_EQ(s.open(path("cut.jpg")), 0);
    std::vector<uint8_t> px;
    EXPECT_EQ(s.read(px, 160, 120), JQFL_CORRUPT);
    s.close();
    // truncated inside the header
    std::ofstream(path("head.jpg"), std::ios::binary).write(reinterpret_cast<char*>(bytes.data()), 40);
    EXPECT_EQ(s.open(path("head.jpg")), JQFL_CORRUPT);
    // a header announcing a huge picture is refused before anything is allocated
    std::vector<uint8_t> huge = bytes;
    for (size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFF, huge[i + 6] = 0x00, huge[i + 7] = 0xFF, huge[i + 8] = 0x00;
            break;
        }
    std::ofstream(path("huge.jpg"), std::ios::binary).write(reinterpret_cast<char*>(huge.data()), huge.size());
    ASSERT_EQ(s.open(path("huge.jpg")), 0);
    EXPECT_EQ(s.setInfo(0, 0, 1), 0);
    EXPECT_NE(s.read(px, 16, 16), 0);
    s.close();
    std::vector<uint8_t> tiffBad{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    std::ofstream(path("bad.tif"), std::ios::binary).write(reinterpret_cast<char*>(tiffBad.data()), tiffBad.size());
    EXPECT_EQ(s.open(path("bad.tif")), JQFL_CORRUPT);
}

TEST_F(JqFileLib, StaleIdsAndShortBuffersAreRefused) {
    Session s;
    jqfltest::writeJpeg(path("a.jpg"), 80, 80, [](int, int) { return Rgb{1, 2, 3}; });
    ASSERT_EQ(s.open(path("a.jpg")), 0);
    std::vector<uint8_t> px(10);
    JqflRectBlock b{sizeof b, s.id(), 0, 0, 0, 80, 80, static_cast<uint32_t>(px.size()), px.data()};
    EXPECT_EQ(Jqfl_Entry(JQFL_READ_IMAGE, &b), JQFL_BAD_PARAMETER);
    JqflRectBlock outside{sizeof b, s.id(), 0, 0, 0, 81, 80, 1u << 20, px.data()};
    EXPECT_EQ(Jqfl_Entry(JQFL_READ_IMAGE, &outside), JQFL_BAD_PARAMETER);
    JqflImageInfoBlock small{};
    small.size = 8;
    small.fileId = s.id();
    EXPECT_EQ(Jqfl_Entry(JQFL_GET_IMAGE_INFO, &small), JQFL_BAD_PARAMETER);
    const uint32_t id = s.id();
    s.close();
    JqflFileTypeBlock t{sizeof t, id, 0};
    EXPECT_EQ(Jqfl_Entry(JQFL_GET_FILE_TYPE, &t), JQFL_BAD_PARAMETER);
}

TEST_F(JqFileLib, FileTypeGeometryAndPixels) {
    Session s;
    jqfltest::writeJpeg(path("c.jpg"), 96, 64, [](int, int) { return Rgb{200, 100, 50}; });
    ASSERT_EQ(s.open(path("c.jpg")), 0);
    JqflFileTypeBlock t{sizeof t, s.id(), 0};
    ASSERT_EQ(Jqfl_Entry(JQFL_GET_FILE_TYPE, &t), 0);
    EXPECT_EQ(t.type, JQFL_TYPE_JPEG);
    const JqflImageInfoBlock i = s.info();
    EXPECT_EQ(i.width, 96);
    EXPECT_EQ(i.height, 64);
    EXPECT_EQ(i.depth, 1);
    EXPECT_EQ(i.colorModel, JQFL_MODEL_RGB);
    std::vector<uint8_t> px;
    ASSERT_EQ(s.read(px, 96, 64), 0);
    EXPECT_NEAR(px[0], 200, 6);
    EXPECT_NEAR(px[1], 100, 6);
    EXPECT_NEAR(px[2], 50, 6);
    JqflInfoWordsBlock w{};
    w.size = sizeof w;
    w.fileId = s.id();
    ASSERT_EQ(Jqfl_Entry(JQFL_GET_INFO_WORDS, &w), 0);
    EXPECT_EQ(w.word[0], 96);
    EXPECT_EQ(w.word[1], 64);
    EXPECT_EQ(w.word[3], JQFL_MODEL_RGB);
    s.close();

    jqfltest::writeJpeg(path("g.jpg"), 80, 80, [](int, int) { return Rgb{90, 90, 90}; }, true);
    ASSERT_EQ(s.open(path("g.jpg")), 0);
    EXPECT_EQ(s.info().colorModel, JQFL_MODEL_GREY);
    ASSERT_EQ(s.read(px, 80, 80, JQFL_READ_IMAGE, 1), 0);
    EXPECT_NEAR(px[0], 90, 3);
}

// A large JPEG opens from its first bytes; its pixels and a copy read the rest,
// and a file changed in between is reported, never read as a mix of two files.
TEST_F(JqFileLib, LargeJpegReadsItsRestWhenPixelsAreNeeded) {
    auto noisy = [](int x, int y) {
        const uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
        const auto high = static_cast<uint8_t>(200 + h % 56), low1 = static_cast<uint8_t>((h >> 8) % 60),
                   low2 = static_cast<uint8_t>((h >> 16) % 60);
        return x < 400 ? Rgb{high, low1, low2} : Rgb{low1, low2, high};
    };
    jqfltest::writeJpeg(path("big.jpg"), 800, 600, noisy);
    ASSERT_TRUE(jqfltest::exiftool("-Model=M-100", path("big.jpg")));
    ASSERT_GT(fs::file_size(path("big.jpg")), 280u * 1024) << "the picture must be larger than the first bytes read";
    {
        Session s;
        ASSERT_EQ(s.open(path("big.jpg")), 0);
        EXPECT_EQ(s.info().width, 800);
        JqflTagBlock b{};
        EXPECT_EQ(s.tag(272, b, nullptr), 0);
        std::vector<uint8_t> px;
        ASSERT_EQ(s.read(px, 800, 600), 0);
        EXPECT_TRUE(isRed(&px[(300 * 800 + 10) * 3]));
        EXPECT_TRUE(isBlue(&px[(300 * 800 + 790) * 3]));
        // an untouched save is a byte-for-byte copy of the picture data
        ASSERT_EQ(s.save(path("copy.jpg")), 0);
        const auto a = jqfltest::readFile(path("big.jpg")), c = jqfltest::readFile(path("copy.jpg"));
        ASSERT_EQ(c.size(), a.size());
        EXPECT_TRUE(std::equal(a.end() - 4096, a.end(), c.end() - 4096));
    }
    Session s;
    ASSERT_EQ(s.open(path("big.jpg")), 0);
    jqfltest::writeJpeg(path("big.jpg"), 800, 600, [](int, int) { return Rgb{20, 200, 20}; });
    std::vector<uint8_t> px;
    EXPECT_EQ(s.read(px, 800, 600), JQFL_READ_ERROR);
}

TEST_F(JqFileLib, CmykIsReportedAndNotDelivered) {
    ASSERT_EQ(std::system(("convert -size 80x80 xc:red -colorspace CMYK '" + path("k.jpg") + "'").c_str()), 0);
    Session s;
    ASSERT_EQ(s.open(path("k.jpg")), 0);
    EXPECT_EQ(s.info().colorModel, JQFL_MODEL_CMYK);
    std::vector<uint8_t> px;
    EXPECT_EQ(s.read(px, 80, 80), JQFL_UNSUPPORTED);
}

// Orientation codes 1, 8, 3, 6 turn the delivered pixels clockwise by 0, 1, 2, 3
// quarter turns: the red left half goes to the top, right, bottom, left.
TEST_F(JqFileLib, OrientationCodesTurnClockwise) {
    const int W = 64, H = 32;
    jqfltest::writeJpeg(path("o.jpg"), W, H, [](int x, int y) { return halves(x, y, W); });
    struct Case {
        int code;
        int width, height;
        int redX, redY;   // a point that must be red
        int blueX, blueY; // a point that must be blue
    };
    const Case cases[] = {
        {1, W, H, 8, 16, 56, 16},   // red left
        {8, H, W, 16, 8, 16, 56},   // red top
        {3, W, H, 56, 16, 8, 16},   // red right
        {6, H, W, 16, 56, 16, 8},   // red bottom
    };
    for (const Case& c : cases) {
        Session s;
        ASSERT_EQ(s.open(path("o.jpg")), 0);
        ASSERT_EQ(s.setInfo(W, H, c.code), 0) << c.code;
        const JqflImageInfoBlock i = s.info();
        ASSERT_EQ(i.width, c.width) << c.code;
        ASSERT_EQ(i.height, c.height) << c.code;
        std::vector<uint8_t> px;
        ASSERT_EQ(s.read(px, i.width, i.height), 0);
        EXPECT_TRUE(isRed(&px[(c.redY * i.width + c.redX) * 3])) << "code " << c.code;
        EXPECT_TRUE(isBlue(&px[(c.blueY * i.width + c.blueX) * 3])) << "code " << c.code;
    }
}

// A camera's orientation tag is applied before the codes: a picture tagged 6
// (stored lying on its side) comes out upright; code 8 then turns it one more
// quarter. Red is the stored left half.
TEST_F(JqFileLib, PicturesComeOutUprightByTheirOrientationTag) {
    const int W = 64, H = 32;
    struct Case {
        int tag, code;
        int width, height;
        int redX, redY;
        int blueX, blueY;
    };
    const Case cases[] = {
        {1, 1, W, H, 8, 16, 56, 16},   // as stored: red left
        {6, 1, H, W, 16, 8, 16, 56},   // a quarter clockwise: red top
        {3, 1, W, H, 56, 16, 8, 16},   // half: red right
        {8, 1, H, W, 16, 56, 16, 8},   // three quarters: red bottom
        {6, 8, W, H, 56, 16, 8, 16},   // upright, then a quarter more: red right
        {6, 6, W, H, 8, 16, 56, 16},   // upright, then three quarters more: back as stored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tag " << c.tag << " code " << c.code);
        const std::string file = path("tag" + std::to_string(c.tag) + ".jpg");
        if (!fs::exists(file)) {
            jqfltest::writeJpeg(file, W, H, [](int x, int y) { return halves(x, y, W); });
            ASSERT_TRUE(jqfltest::exiftool("-Orientation#=" + std::to_string(c.tag), file));
        }
        Session s;
        ASSERT_EQ(s.open(file), 0);
        const JqflImageInfoBlock upright = s.info();
        EXPECT_EQ((upright.width > upright.height), (c.tag == 1 || c.tag == 3));
        ASSERT_EQ(s.setInfo(upright.width, upright.height, c.code), 0);
        const JqflImageInfoBlock i = s.info();
        ASSERT_EQ(i.width, c.width);
        ASSERT_EQ(i.height, c.height);
        std::vector<uint8_t> px;
        ASSERT_EQ(s.read(px, i.width, i.height), 0);
        EXPECT_TRUE(isRed(&px[(c.redY * i.width + c.redX) * 3]));
        EXPECT_TRUE(isBlue(&px[(c.blueY * i.width + c.blueX) * 3]));
    }
}

TEST_F(JqFileLib, ReducedPictureThroughSubImage) {
    const int W = 800, H = 600;
    jqfltest::writeJpeg(path("r.jpg"), W, H, [](int x, int y) { return halves(x, y, W); });
    Session s;
    ASSERT_EQ(s.open(path("r.jpg")), 0);
    // before any request the sub-image is the whole picture
    JqflImageInfoBlock whole = s.info(JQFL_GET_SUB_IMAGE_INFO);
    EXPECT_EQ(whole.width, W);
    EXPECT_EQ(whole.height, H);
    ASSERT_EQ(s.setInfo(96, 72, 1, JQFL_SET_SUB_IMAGE_INFO), 0);
    JqflImageInfoBlock sub = s.info(JQFL_GET_SUB_IMAGE_INFO);
    EXPECT_EQ(sub.width, 96);
    EXPECT_EQ(sub.height, 72);
    std::vector<uint8_t> px;
    ASSERT_EQ(s.read(px, 96, 72, JQFL_READ_SUB_IMAGE), 0);
    EXPECT_TRUE(isRed(&px[(36 * 96 + 10) * 3]));
    EXPECT_TRUE(isBlue(&px[(36 * 96 + 86) * 3]));
    // a reduced size given in unturned proportions with a quarter turn is turned
    ASSERT_EQ(s.setInfo(96, 72, 8, JQFL_SET_SUB_IMAGE_INFO), 0);
    sub = s.info(JQFL_GET_SUB_IMAGE_INFO);
    EXPECT_EQ(sub.width, 72);
    EXPECT_EQ(sub.height, 96);
    ASSERT_EQ(s.read(px, 72, 96, JQFL_READ_SUB_IMAGE), 0);
    EXPECT_TRUE(isRed(&px[(10 * 72 + 36) * 3]));
    // the main picture is untouched by the sub-image
    EXPECT_EQ(s.info().width, W);
}

TEST_F(JqFileLib, TagsFromExif) {
    jqfltest::writeJpeg(path("t.jpg"), 64, 48, [](int, int) { return Rgb{10, 20, 30}; });
    ASSERT_TRUE(jqfltest::exiftool("-Model=M-100 -ModifyDate='2024:03:05 10:11:12' -ExposureTime=1/125 -FNumber=2.8 "
                                   "-Flash=16 -ExifVersion=0230 -FocalLength=35 -XResolution=72",
                                   path("t.jpg")));
    Session s;
    ASSERT_EQ(s.open(path("t.jpg")), 0);
    JqflTagBlock b{};
    std::vector<uint8_t> data;
    ASSERT_EQ(s.tag(272, b, &data), 0);
    EXPECT_EQ(b.type, 2u);
    EXPECT_STREQ(reinterpret_cast<char*>(data.data()), "M-100");
    ASSERT_EQ(s.tag(306, b, &data), 0);
    EXPECT_EQ(b.type, JQFL_TAGTYPE_CALENDAR);
    ASSERT_EQ(data.size(), 32u);
    int32_t cal[5];
    std::memcpy(cal, data.data() + 4, sizeof cal);
    EXPECT_EQ(cal[0], 2024);
    EXPECT_EQ(cal[1], 3);
    EXPECT_EQ(cal[4], 11);
    ASSERT_EQ(s.tag(33434, b, &data), 0);
    EXPECT_EQ(b.type, 5u);
    uint32_t rational[2];
    std::memcpy(rational, data.data(), 8);
    EXPECT_EQ(rational[0], 1u);
    EXPECT_EQ(rational[1], 125u);
    EXPECT_EQ(s.tag(36864, b, nullptr), 0);  // the EXIF version is there
    EXPECT_EQ(s.tag(37510, b, nullptr), JQFL_NO_TAG);
    // the buffer too small: refused with the size needed
    JqflTagBlock small{sizeof small, s.id(), 272, 0, 0, 2, data.data()};
    EXPECT_EQ(Jqfl_Entry(JQFL_GET_TAG, &small), JQFL_BAD_PARAMETER);
    EXPECT_EQ(small.bufferSize, 6u);
    JqflTagListBlock count{sizeof count, s.id(), 0, nullptr};
    ASSERT_EQ(Jqfl_Entry(JQFL_GET_TAG_LIST, &count), 0);
    EXPECT_GE(count.count, 6u);
    std::vector<JqflTagEntry> list(count.count);
    JqflTagListBlock all{sizeof all, s.id(), count.count, list.data()};
    ASSERT_EQ(Jqfl_Entry(JQFL_GET_TAG_LIST, &all), 0);
    bool model = false;
    for (const JqflTagEntry& e : list) model = model || e.tag == 272;
    EXPECT_TRUE(model);
}

// Maker notes laid out as each maker's cameras write them (exiftool decodes them
// as that maker's) read into the library's own codes and texts.
TEST_F(JqFileLib, MakerNotesReadAsTheLibrarysOwnCameraSettings) {
    struct Camera {
        const char* oracle;  // a tag exiftool finds only in a maker note of that maker
        std::vector<std::pair<std::string, std::string>> entries;
        std::vector<std::pair<uint32_t, int32_t>> codes;
        std::vector<std::pair<uint32_t, std::string>> texts;
        std::vector<std::pair<uint32_t, std::vector<double>>> reals;
    };
    const Camera cameras[] = {
        {"Canon:Quality",
         {{"Exif.Image.Make", "Canon"}, {"Exif.Image.Model", "Canon EOS 70D"}, {"Exif.CanonCs.Quality", "3"},
          {"Exif.CanonCs.DriveMode", "0"}, {"Exif.CanonCs.Selftimer", "100"}, {"Exif.CanonCs.FocusMode", "1"},
          {"Exif.CanonCs.EasyMode", "8"}, {"Exif.CanonCs.DigitalZoom", "1"}, {"Exif.CanonCs.Contrast", "-1"},
          {"Exif.CanonCs.Sharpness", "2"}, {"Exif.CanonCs.ImageStabilization", "1"},
          {"Exif.CanonCs.Lens", "135 18 1"}, {"Exif.CanonSi.WhiteBalance", "8"},
          {"Exif.Canon.FirmwareVersion", "Firmware Version 1.1.2"},
          {"Exif.Canon.LensModel", "EF-S18-135mm f/3.5-5.6 IS STM"}},
         {{0x80004, 0}, {0x80008, 2}, {0x80082, 0x2001}, {0x80080, 257}, {0x80094, 1}, {0x80006, 2},
          {0x8008D, 1}, {0x80005, 3}},
         {{0x30001, "EF-S18-135mm f/3.5-5.6 IS STM"}, {0x30003, "Firmware Version 1.1.2"}},
         {{0x8000E, {2.0}}, {0x30002, {18.0, 135.0}}}},
        {"Nikon:ShutterCount",
         {{"Exif.Image.Make", "NIKON CORPORATION"}, {"Exif.Image.Model", "NIKON D7000"},
          {"Exif.Image.Software", "Ver.1.03"}, {"Exif.Nikon3.Quality", "RAW+FINE"},
          {"Exif.Nikon3.WhiteBalance", "CLOUDY"}, {"Exif.Nikon3.Focus", "AF-F"},
          {"Exif.Nikon3.ShutterCount", "12345"}, {"Exif.Nikon3.NoiseReduction", "OFF"},
          {"Exif.Nikon3.Lens", "180/10 1050/10 35/10 56/10"}, {"Exif.Nikon3.DigitalZoom", "1/1"},
          {"Exif.Nikon3.Sharpening", "SOFT"}, {"Exif.Nikon3.ToneComp", "HIGH"}, {"Exif.Nikon3.ShootingMode", "1"}},
         {{0x80004, 32}, {0x80005, 2}, {0x80092, 12345}, {0x8000D, 0}, {0x80006, 1}, {0x80094, 3}, {0x80008, 1}},
         {{0x80083, "AF-F"}, {0x30001, "18-105mm F3.5-5.6"}, {0x30004, "Ver.1.03"}},
         {{0x8000E, {0.0}}, {0x30002, {18.0, 105.0}}}},
        {"FujiFilm:Quality",
         {{"Exif.Image.Make", "FUJIFILM"}, {"Exif.Image.Model", "X-T2"}, {"Exif.Fujifilm.Quality", "FINE"},
          {"Exif.Fujifilm.WhiteBalance", "256"}, {"Exif.Fujifilm.FocusMode", "1"},
          {"Exif.Fujifilm.Continuous", "1"}, {"Exif.Fujifilm.Sharpness", "4"}, {"Exif.Fujifilm.FilmMode", "512"},
          {"Exif.Fujifilm.PictureMode", "1"}, {"Exif.Photo.SubjectDistance", "250/100"}},
         {{0x80004, 0}, {0x80005, 1}, {0x80082, 1}, {0x80008, 1}, {0x80006, 2}, {0x80080, 257}},
         {{0x80002, "F2/Fujichrome (Velvia)"}},
         {{0x30006, {2.5}}}},
        {"Panasonic:WhiteBalance",
         {{"Exif.Image.Make", "Panasonic"}, {"Exif.Image.Model", "DMC-GH4"}, {"Exif.Panasonic.Quality", "2"},
          {"Exif.Panasonic.WhiteBalance", "3"}, {"Exif.Panasonic.FocusMode", "1"},
          {"Exif.Panasonic.ImageStabilization", "2"}, {"Exif.Panasonic.ShootingMode", "6"},
          {"Exif.Panasonic.Contrast", "1"}, {"Exif.Panasonic.LensType", "LUMIX G VARIO 14-42/F3.5-5.6"}},
         {{0x80004, 0}, {0x80005, 2}, {0x80082, 0}, {0x8008D, 1}, {0x80080, 2}, {0x80094, 1}},
         {{0x30001, "LUMIX G VARIO 14-42/F3.5-5.6"}},
         {}},
    };
    Session s;
    for (const Camera& c : cameras) {
        const std::string file = path("camera.jpg");
        jqfltest::writeJpeg(file, 32, 24, [](int, int) { return Rgb{90, 90, 90}; });
        ASSERT_TRUE(jqfltest::writeExifEntries(file, c.entries)) << c.oracle;
        ASSERT_FALSE(jqfltest::exiftoolRead(c.oracle, file).empty()) << c.oracle << ": no maker note written";
        ASSERT_EQ(s.open(file), 0) << c.oracle;
        JqflTagBlock b{};
        std::vector<uint8_t> data;
        for (const auto& [tag, code] : c.codes) {
            ASSERT_EQ(s.tag(tag, b, &data), 0) << c.oracle << std::hex << " tag 0x" << tag;
            ASSERT_EQ(b.type, 9u);
            int32_t v = 0;
            std::memcpy(&v, data.data(), 4);
            EXPECT_EQ(v, code) << c.oracle << std::hex << " tag 0x" << tag;
        }
        for (const auto& [tag, text] : c.texts) {
            ASSERT_EQ(s.tag(tag, b, &data), 0) << c.oracle << std::hex << " tag 0x" << tag;
            EXPECT_STREQ(reinterpret_cast<const char*>(data.data()), text.c_str()) << c.oracle;
        }
        for (const auto& [tag, values] : c.reals) {
            ASSERT_EQ(s.tag(tag, b, &data), 0) << c.oracle << std::hex << " tag 0x" << tag;
            ASSERT_EQ(b.count, values.size());
            for (size_t i = 0; i < values.size(); ++i) {
                int32_t nd[2];
                std::memcpy(nd, data.data() + 8 * i, 8);
                EXPECT_DOUBLE_EQ(static_cast<double>(nd[0]) / nd[1], values[i]) << c.oracle << std::hex << " 0x" << tag;
            }
        }
        // the maker tags are the camera's: a program cannot set them
        const int32_t fine = 0;
        EXPECT_NE(s.setTag(0x80004, 9, &fine, 4), 0);
        s.close();
    }
    // a picture without a maker note has none of them
    jqfltest::writeJpeg(path("plain.jpg"), 32, 24, [](int, int) { return Rgb{90, 90, 90}; });
    ASSERT_TRUE(jqfltest::exiftool("-Make=Canon -Model='Canon EOS 70D'", path("plain.jpg")));
    ASSERT_EQ(s.open(path("plain.jpg")), 0);
    JqflTagBlock b{};
    for (uint32_t tag : {0x80004u, 0x80005u, 0x30001u, 0x30003u, 0x30006u})
        EXPECT_EQ(s.tag(tag, b, nullptr), JQFL_NO_TAG) << std::hex << tag;
}

TEST_F(JqFileLib, SaveTurnedCarriesTagsAndResetsOrientation) {
    jqfltest::writeJpeg(path("s.jpg"), 64, 32, [](int x, int y) { return halves(x, y, 64); });
    ASSERT_TRUE(jqfltest::exiftool("-Model=M-200 -Orientation#=6 -Artist=Someone", path("s.jpg")));
    Session s;
    ASSERT_EQ(s.open(path("s.jpg")), 0);
    ASSERT_EQ(s.setInfo(32, 64, 8), 0);   // upright (32 x 64), then a quarter more
    const uint8_t iptc[] = {0x1C, 2, 120, 0, 5, 'h', 'e', 'l', 'l', 'o'};
    ASSERT_EQ(s.setTag(33723, 1, iptc, sizeof iptc), 0);
    ASSERT_EQ(s.save(path("out.jpg")), 0);
    EXPECT_EQ(jqfltest::exiftoolRead("Model", path("out.jpg")), "M-200");
    EXPECT_EQ(jqfltest::exiftoolRead("Artist", path("out.jpg")), "Someone");
    EXPECT_EQ(jqfltest::exiftoolRead("Orientation#", path("out.jpg")), "1");
    EXPECT_EQ(jqfltest::exiftoolRead("Caption-Abstract", path("out.jpg")), "hello");
    EXPECT_EQ(jqfltest::exiftoolRead("ImageWidth", path("out.jpg")), "64");
    EXPECT_EQ(jqfltest::exiftoolRead("ImageHeight", path("out.jpg")), "32");
    // no temporary file is left beside it
    int files = 0;
    for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 2);
}

TEST_F(JqFileLib, SaveUntouchedKeepsTheCompressedPicture) {
    jqfltest::writeJpeg(path("l.jpg"), 64, 64, [](int x, int y) { return Rgb{uint8_t(x * 4), uint8_t(y * 4), 0}; });
    ASSERT_TRUE(jqfltest::exiftool("-Model=M-300", path("l.jpg")));
    Session s;
    ASSERT_EQ(s.open(path("l.jpg")), 0);
    const uint8_t iptc[] = {0x1C, 2, 25, 0, 3, 'k', 'e', 'y'};
    ASSERT_EQ(s.setTag(33723, 1, iptc, sizeof iptc), 0);
    ASSERT_EQ(s.save(path("same.jpg")), 0);
    const auto a = jqfltest::readFile(path("l.jpg"));
    const auto b = jqfltest::readFile(path("same.jpg"));
    // the scan data after the last marker segment is the same bytes
    const size_t tail = 200;
    ASSERT_GT(a.size(), tail);
    ASSERT_GT(b.size(), tail);
    EXPECT_TRUE(std::equal(a.end() - tail, a.end(), b.end() - tail));
    EXPECT_EQ(jqfltest::exiftoolRead("Keywords", path("same.jpg")), "key");
    EXPECT_EQ(jqfltest::exiftoolRead("Model", path("same.jpg")), "M-300");
}

// Every line exiftool reports, by group, except the file system's own.
std::vector<std::string> allTags(const std::string& file) {
    const std::string cmd = "exiftool -a -G1 -s -x System:all -x Composite:all '" + file + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
    std::vector<std::string> lines;
    std::array<char, 4096> buf{};
    while (p && fgets(buf.data(), buf.size(), p.get())) lines.emplace_back(buf.data());
    return lines;
}

// The APP1 EXIF segment's bytes.
std::vector<uint8_t> exifSegmentOf(const std::vector<uint8_t>& jpeg) {
    size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
        const size_t len = (jpeg[at + 2] << 8) | jpeg[at + 3];
        if (jpeg[at + 1] == 0xE1 && at + 10 <= jpeg.size() && std::memcmp(&jpeg[at + 4], "Exif\0\0", 6) == 0)
            return std::vector<uint8_t>(jpeg.begin() + at, jpeg.begin() + at + 2 + len);
        at += 2 + len;
    }
    return {};
}

// Writing a caption changes the IPTC block and nothing else: the EXIF segment
// (thumbnail, camera data) stays byte for byte, XMP and the colour profile stay.
// The old block's digest is dropped rather than left wrong.
TEST_F(JqFileLib, CaptionWriteChangesOnlyTheIptcBlock) {
    jqfltest::writeJpeg(path("cam.jpg"), 64, 64, [](int x, int y) { return Rgb{uint8_t(x * 4), uint8_t(y * 4), 9}; });
    jqfltest::writeJpeg(path("thumb.jpg"), 16, 16, [](int x, int y) { return halves(x, y, 16); });
    ASSERT_TRUE(jqfltest::exiftool("-Make=Maker -Model=M-300 -ExposureTime=1/60 -GPSLatitude=48.1 -GPSLatitudeRef=N "
                                   "-XMP-xmp:Rating=4 -XMP-dc:Subject=harbour -IPTC:Keywords=old "
                                   "'-ThumbnailImage<=" + path("thumb.jpg") + "' '-ICC_Profile<=" JQFL_TEST_ICC "'",
                                   path("cam.jpg")));
    Session s;
    ASSERT_EQ(s.open(path("cam.jpg")), 0);
    const uint8_t iptc[] = {0x1C, 2, 25, 0, 3, 'o', 'l', 'd', 0x1C, 2, 120, 0, 4, 's', 'e', 'a', '!'};
    ASSERT_EQ(s.setTag(33723, 1, iptc, sizeof iptc), 0);
    ASSERT_EQ(s.save(path("captioned.jpg")), 0);
    EXPECT_EQ(exifSegmentOf(jqfltest::readFile(path("cam.jpg"))),
              exifSegmentOf(jqfltest::readFile(path("captioned.jpg"))));
    auto notIptc = [](std::vector<std::string> lines) {
        std::erase_if(lines, [](const std::string& l) {
            return l.rfind("[IPTC]", 0) == 0 || l.find("IPTCDigest") != std::string::npos;
        });
        return lines;
    };
    const auto before = allTags(path("cam.jpg"));
    const auto after = allTags(path("captioned.jpg"));
    EXPECT_GT(before.size(), 40u);
    EXPECT_EQ(notIptc(before), notIptc(after));
    EXPECT_EQ(jqfltest::exiftoolRead("IPTC:Caption-Abstract", path("captioned.jpg")), "sea!");
    EXPECT_EQ(jqfltest::exiftoolRead("Warning", path("captioned.jpg")), "");
}

// A turned and scaled picture keeps its colour profile, its XMP (ratings,
// keywords) and its camera data, as JPEG and as TIFF; what told the old
// orientation and size is gone or says the new one.
TEST_F(JqFileLib, TurnedOrScaledPicturesKeepProfileXmpAndCameraData) {
    jqfltest::writeJpeg(path("src.jpg"), 64, 32, [](int x, int y) { return halves(x, y, 64); });
    jqfltest::writeTiff(path("src.tif"), 64, 32, [](int x, int y) { return halves(x, y, 64); });
    for (const char* src : {"src.jpg", "src.tif"}) {
        ASSERT_TRUE(jqfltest::exiftool("-Make=Maker -Model=M-400 -ExposureTime=1/60 -FNumber=4 -ISO=200 "
                                       "-DateTimeOriginal='2024:05:06 07:08:09' -GPSLatitude=48.1 -GPSLatitudeRef=N "
                                       "-XResolution=300 -YResolution=300 -Orientation#=6 -XMP-tiff:Orientation#=6 "
                                       "-XMP-xmp:Rating=4 -XMP-dc:Subject=harbour '-ICC_Profile<=" JQFL_TEST_ICC "'",
                                       path(src)));
    }
    const std::string icc = jqfltest::exiftoolRead("ProfileDescription", path("src.jpg"));
    ASSERT_FALSE(icc.empty());
    struct Case {
        const char* src;
        const char* out;
        uint32_t format;
    } cases[] = {{"src.jpg", "t.jpg", JQFL_TYPE_JPEG}, {"src.jpg", "t.tif", JQFL_TYPE_TIFF},
                 {"src.tif", "u.jpg", JQFL_TYPE_JPEG}, {"src.tif", "u.tif", JQFL_TYPE_TIFF}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.src) + " -> " + c.out);
        Session s;
        ASSERT_EQ(s.open(path(c.src)), 0);
        // Upright by its tag (32 x 64), a quarter turn more (64 x 32), made smaller.
        ASSERT_EQ(s.setInfo(32, 16, 8), 0);
        ASSERT_EQ(s.save(path(c.out), c.format), 0);
        const std::string out = path(c.out);
        EXPECT_EQ(jqfltest::exiftoolRead("ProfileDescription", out), icc);
        EXPECT_EQ(jqfltest::exiftoolRead("XMP-xmp:Rating", out), "4");
        EXPECT_EQ(jqfltest::exiftoolRead("XMP-dc:Subject", out), "harbour");
        EXPECT_EQ(jqfltest::exiftoolRead("XMP-tiff:Orientation", out), "");
        EXPECT_EQ(jqfltest::exiftoolRead("Orientation#", out), "1");
        EXPECT_EQ(jqfltest::exiftoolRead("Make", out), "Maker");
        EXPECT_EQ(jqfltest::exiftoolRead("Model", out), "M-400");
        EXPECT_EQ(jqfltest::exiftoolRead("ExposureTime", out), "1/60");
        EXPECT_EQ(jqfltest::exiftoolRead("FNumber", out), "4.0");
        EXPECT_EQ(jqfltest::exiftoolRead("ISO", out), "200");
        EXPECT_EQ(jqfltest::exiftoolRead("DateTimeOriginal", out), "2024:05:06 07:08:09");
        EXPECT_EQ(jqfltest::exiftoolRead("GPSLatitude#", out).substr(0, 4), "48.1");
        EXPECT_EQ(jqfltest::exiftoolRead("XResolution", out), "300");
        EXPECT_EQ(jqfltest::exiftoolRead("ImageWidth", out), "32");
        EXPECT_EQ(jqfltest::exiftoolRead("ImageHeight", out), "16");
        EXPECT_EQ(jqfltest::exiftoolRead("Warning", out), "");
    }
}

TEST_F(JqFileLib, StoppedSaveLeavesNothing) {
    jqfltest::writeJpeg(path("p.jpg"), 300, 300, [](int x, int y) { return Rgb{uint8_t(x), uint8_t(y), uint8_t(x ^ y)}; });
    Session s;
    ASSERT_EQ(s.open(path("p.jpg")), 0);
    ASSERT_EQ(s.setInfo(150, 150, 1), 0);
    auto stop = [](uint32_t, uint32_t, void*) -> int32_t { return 1; };
    EXPECT_EQ(s.save(path("stopped.jpg"), JQFL_TYPE_JPEG, stop), JQFL_STOPPED);
    int files = 0;
    for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
    EXPECT_EQ(s.save((dir_ / "no-such-folder" / "x.jpg").string()), JQFL_WRITE_ERROR);
}

TEST_F(JqFileLib, NewPictureWrittenAndSavedWithDate) {
    Session s;
    ASSERT_EQ(s.makeNew(), 0);
    ASSERT_EQ(s.setInfo(40, 30, 0, JQFL_SET_IMAGE_INFO, 1, JQFL_MODEL_RGB), 0);
    std::vector<uint8_t> px(40 * 30 * 3, 0);
    for (size_t i = 0; i < px.size(); i += 3) px[i + 1] = 255;  // green
    ASSERT_EQ(s.write(px, 40, 30), 0);
    struct {
        uint32_t size;
        int32_t y, mo, d, h, mi;
        double s;
    } cal{32, 2023, 12, 31, 23, 59, 58.0};
    ASSERT_EQ(s.setTag(306, JQFL_TAGTYPE_CALENDAR, &cal, sizeof cal), 0);
    ASSERT_EQ(s.save(path("new.jpg")), 0);
    EXPECT_EQ(jqfltest::exiftoolRead("ModifyDate", path("new.jpg")), "2023:12:31 23:59:58");
    s.close();
    ASSERT_EQ(s.open(path("new.jpg")), 0);
    ASSERT_EQ(s.read(px, 40, 30), 0);
    EXPECT_GT(px[1], 230);
    EXPECT_LT(px[0], 30);
}

TEST_F(JqFileLib, SixteenBitTiffAndTiffSave) {
    jqfltest::writeTiff(path("d.tif"), 80, 60, [](int x, int y) { return halves(x, y, 80); }, 2);
    Session s;
    ASSERT_EQ(s.open(path("d.tif")), 0);
    JqflFileTypeBlock t{sizeof t, s.id(), 0};
    ASSERT_EQ(Jqfl_Entry(JQFL_GET_FILE_TYPE, &t), 0);
    EXPECT_EQ(t.type, JQFL_TYPE_TIFF);
    const JqflImageInfoBlock i = s.info();
    EXPECT_EQ(i.depth, 2);
    std::vector<uint8_t> px;
    ASSERT_EQ(s.read(px, 80, 60, JQFL_READ_IMAGE, 6), 0);
    const uint16_t* p16 = reinterpret_cast<const uint16_t*>(px.data());
    EXPECT_EQ(p16[0], 65535);
    EXPECT_EQ(p16[2], 0);
    const uint8_t iptc[] = {0x1C, 2, 120, 0, 3, 'c', 'a', 'p'};
    ASSERT_EQ(s.setTag(33723, 1, iptc, sizeof iptc), 0);
    ASSERT_EQ(s.save(path("o.tif"), JQFL_TYPE_TIFF), 0);
    EXPECT_EQ(jqfltest::exiftoolRead("Caption-Abstract", path("o.tif")), "cap");
    EXPECT_EQ(jqfltest::exiftoolRead("BitsPerSample", path("o.tif")), "16 16 16");
    s.close();
    ASSERT_EQ(s.open(path("o.tif")), 0);
    JqflTagBlock b{};
    std::vector<uint8_t> data;
    ASSERT_EQ(s.tag(33723, b, &data), 0);
    EXPECT_EQ(data, std::vector<uint8_t>(iptc, iptc + sizeof iptc));
}

// A camera's picture header (start, metadata segments, end) has no picture: its
// size comes from the EXIF structure and its pixels from the EXIF thumbnail.
TEST_F(JqFileLib, HeaderFileServesItsThumbnail) {
    jqfltest::writeJpeg(path("big.jpg"), 640, 480, [](int x, int y) { return halves(x, y, 640); });
    jqfltest::writeJpeg(path("thumb.jpg"), 160, 120, [](int x, int y) { return halves(x, y, 160); });
    ASSERT_TRUE(jqfltest::exiftool("-Model=M-9 -ExifImageWidth=640 -ExifImageHeight=480 '-ThumbnailImage<=" +
                                       path("thumb.jpg") + "'",
                                   path("big.jpg")));
    const auto bytes = jqfltest::readFile(path("big.jpg"));
    size_t at = 2;
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] >= 0xE0 && bytes[at + 1] <= 0xEF)
        at += 2 + ((bytes[at + 2] << 8) | bytes[at + 3]);
    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    header.push_back(0xFF);
    header.push_back(0xD9);
    std::ofstream(path("head.jpg"), std::ios::binary).write(reinterpret_cast<char*>(header.data()), header.size());
    Session s;
    ASSERT_EQ(s.open(path("head.jpg")), 0);
    const JqflImageInfoBlock i = s.info();
    EXPECT_EQ(i.width, 640);
    EXPECT_EQ(i.height, 480);
    ASSERT_EQ(s.setInfo(96, 72, 1, JQFL_SET_SUB_IMAGE_INFO), 0);
    std::vector<uint8_t> px;
    ASSERT_EQ(s.read(px, 96, 72, JQFL_READ_SUB_IMAGE), 0);
    EXPECT_TRUE(isRed(&px[(36 * 96 + 10) * 3]));
    EXPECT_TRUE(isBlue(&px[(36 * 96 + 86) * 3]));
    JqflTagBlock b{};
    std::vector<uint8_t> data;
    ASSERT_EQ(s.tag(272, b, &data), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(data.data()), "M-9");
}

// With the option set, a picture's own EXIF thumbnail serves as its sub-image,
// but only where it shows the same picture at least as large as asked; in every
// other case the sub-image is the one built from the picture, byte for byte.
// The thumbnails here are green so that it shows which one was read.
TEST_F(JqFileLib, EmbeddedThumbnailServesOnlyWhereItShowsThePicture) {
    struct Case {
        const char* name;
        int width, height;            // the picture
        int thumbWidth, thumbHeight;  // its EXIF thumbnail
        int askWidth, askHeight;      // the sub-image asked for
        bool fromThumbnail;
    } cases[] = {
        {"same proportions", 640, 480, 160, 120, 96, 72, true},
        {"rounded short side", 640, 400, 160, 100, 128, 80, true},
        {"letter-boxed", 640, 360, 160, 120, 96, 54, false},
        {"camera's thumbnail of an uncropped picture", 800, 500, 160, 120, 96, 60, false},
        {"asked larger than the thumbnail", 640, 480, 160, 120, 200, 150, false},
    };
    const Rgb green{0, 200, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int W = c.width;
        jqfltest::writeJpeg(path("p.jpg"), c.width, c.height, [W](int x, int y) { return halves(x, y, W); });
        jqfltest::writeJpeg(path("t.jpg"), c.thumbWidth, c.thumbHeight, [green](int, int) { return green; });
        ASSERT_TRUE(jqfltest::exiftool("'-ThumbnailImage<=" + path("t.jpg") + "'", path("p.jpg")));
        std::vector<uint8_t> built, chosen;
        for (const bool allowed : {false, true}) {
            Session s;
            ASSERT_EQ(s.open(path("p.jpg")), 0);
            const JqflOptionEntry option{sizeof(JqflOptionEntry), {JQFL_OPTION_SUB_IMAGE_SOURCE, allowed ? 1u : 0u, 0}};
            JqflOptionsBlock o{sizeof o, s.id(), 1, &option};
            ASSERT_EQ(Jqfl_Entry(JQFL_SET_OPTIONS, &o), 0);
            ASSERT_EQ(s.setInfo(c.askWidth, c.askHeight, 1, JQFL_SET_SUB_IMAGE_INFO), 0);
            ASSERT_EQ(s.read(allowed ? chosen : built, c.askWidth, c.askHeight, JQFL_READ_SUB_IMAGE), 0);
        }
        const uint8_t* middle = &chosen[((c.askHeight / 2) * c.askWidth + c.askWidth / 4) * 3];
        if (c.fromThumbnail) {
            EXPECT_TRUE(middle[1] > 150 && middle[0] < 60) << int(middle[0]) << "," << int(middle[1]);
        } else {
            EXPECT_EQ(chosen, built);
            EXPECT_TRUE(isRed(middle));
        }
    }
}

// Clips as cameras write them (tests/clips): the left half red, the right half blue.
std::vector<uint8_t> clipBytes(const std::string& name) {
    return jqfltest::readFile(std::string(VOREL_SOURCE_DIR) + "/outside/imagefile/tests/clips/" + name);
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST_F(JqFileLib, ClipGivesItsFirstFrame) {
    for (const char* name : {"h264.mp4", "hevc.mov", "mjpeg.mov"}) {
        SCOPED_TRACE(name);
        writeBytes(path(name), clipBytes(name));
        Session s;
        ASSERT_EQ(s.open(path(name)), 0);
        JqflFileTypeBlock t{sizeof t, s.id(), 0};
        ASSERT_EQ(Jqfl_Entry(JQFL_GET_FILE_TYPE, &t), 0);
        EXPECT_EQ(t.type, JQFL_TYPE_MOVIE);
        EXPECT_EQ(s.info().width, 160);
        EXPECT_EQ(s.info().height, 120);
        std::vector<uint8_t> px;
        ASSERT_EQ(s.setInfo(80, 60, 1), 0);
        ASSERT_EQ(s.read(px, 80, 60), 0);
        EXPECT_TRUE(isRed(&px[(30 * 80 + 5) * 3]));
        EXPECT_FALSE(isRed(&px[(30 * 80 + 75) * 3]));
        s.close();
    }
}

TEST_F(JqFileLib, ClipsThatCannotBeReadAndLargeClips) {
    // a clip cut before its index: nothing to decode
    auto cut = clipBytes("hevc.mov");
    cut.resize(cut.size() / 2);
    writeBytes(path("cut.mov"), cut);
    Session s;
    EXPECT_EQ(s.open(path("cut.mov")), JQFL_UNSUPPORTED);
    // a clip file over the still-picture limit is read as far as its first frame
    writeBytes(path("long.mp4"), clipBytes("h264.mp4"));
    fs::resize_file(path("long.mp4"), (600ull << 20));
    ASSERT_EQ(s.open(path("long.mp4")), 0);
    EXPECT_EQ(s.info().width, 160);
    s.close();
}

}  // namespace
