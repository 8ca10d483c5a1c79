// The simulated camera on its own: configuration, header bytes, thumbnails, and
// the connect sequence as a module must answer it.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include <gtest/gtest.h>

#include "outside/dorn/SimCam.h"
#include "outside/dorn/SimCamConfig.h"
#include "outside/dorn/SimCamPictures.h"

namespace fs = std::filesystem;

namespace {

struct TempDir {
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "simcamXXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

void Write(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

TEST(SimCamConfig, ReadsKeysAndTakesRootFromTheFilesFolderThroughALink)
{
    TempDir dir;
    fs::create_directories(dir.path / "cam" / "card");
    Write(dir.path / "cam" / "SimCam.conf",
          "# comment\nroot = card\nmodel=Snapwren270\nbusy_format=3\nopen_result=150\nunknown=1\nno_answer=0x14\n");
    fs::create_directories(dir.path / "mods");
    fs::create_symlink(dir.path / "cam" / "SimCam.conf", dir.path / "mods" / "W310.kx3.conf");
    SimCamConfig config;
    ASSERT_TRUE(ReadSimCamConfig((dir.path / "mods" / "W310.kx3.conf").string(), config));
    EXPECT_EQ(fs::path(config.root), fs::canonical(dir.path / "cam" / "card"));
    EXPECT_EQ(config.model, "Snapwren270");
    EXPECT_EQ(config.busyFormat, 3u);
    EXPECT_EQ(config.openResult, 150);
    EXPECT_EQ(config.noAnswer, 20u);
    SimCamConfig missing;
    EXPECT_FALSE(ReadSimCamConfig((dir.path / "none.conf").string(), missing));
}

TEST(SimCamPictures, HeaderIsTheJpegStartThroughItsAppSegments)
{
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x04, 0xAA, 0xBB, 0xFF, 0xDB, 0x00, 0x03, 0x01};
    EXPECT_EQ(HeaderOf(jpeg), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x04, 0xAA, 0xBB, 0xFF, 0xD9}));
    // A segment longer than the file ends the walk there.
    const std::vector<uint8_t> cut = {0xFF, 0xD8, 0xFF, 0xE1, 0x10, 0x00, 0xAA};
    EXPECT_EQ(HeaderOf(cut), (std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD9}));
    const std::vector<uint8_t> other = {'M', 'M', 0, 42};
    EXPECT_EQ(HeaderOf(other), other);
}

// SOI and an APP1 EXIF block (little-endian) whose DateTimeOriginal is the text.
std::vector<uint8_t> JpegStartWithExifDate(const char* text)
{
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0,
                                 1, 0, 0x69, 0x87, 4, 0, 1, 0, 0, 0, 26, 0, 0, 0, 0, 0, 0, 0,
                                 1, 0, 0x03, 0x90, 2, 0, 20, 0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 0};
    tiff.insert(tiff.end(), text, text + 20);
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE1};
    const size_t length = tiff.size() + 8;
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), {'E', 'x', 'i', 'f', 0, 0});
    out.insert(out.end(), tiff.begin(), tiff.end());
    return out;
}

TEST(SimCamPictures, ExifDateOriginal)
{
    uint16_t date[6] = {};
    ASSERT_TRUE(ExifDateOf(JpegStartWithExifDate("2001:02:03 04:05:06"), date));
    EXPECT_EQ(std::vector<uint16_t>(date, date + 6), (std::vector<uint16_t>{2001, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(ExifDateOf(JpegStartWithExifDate("    :  :     :  :  "), date));
    std::vector<uint8_t> cut = JpegStartWithExifDate("2001:02:03 04:05:06");
    cut.resize(cut.size() - 10);  // the segment claims more than there is
    EXPECT_FALSE(ExifDateOf(cut, date));
    EXPECT_FALSE(ExifDateOf({0xFF, 0xD8, 0xFF, 0xD9}, date));
}

TEST(SimCamPictures, ThumbnailOfSomethingThatIsNoJpegIsAGreyField)
{
    TempDir dir;
    Write(dir.path / "x.JPG", "not a picture");
    const SimThumbnail t = MakeThumbnail((dir.path / "x.JPG").string());
    EXPECT_EQ(t.width, 8u);
    EXPECT_EQ(t.rowBytes % 4, 0u);
    EXPECT_EQ(t.pixels.size(), static_cast<size_t>(t.rowBytes) * t.height);
}

// What a module must do when the suite connects: report its source with event 0
// before it completes the idle request, and deliver it only from inside a call.
struct Probe {
    std::vector<uint32_t> events;
    std::vector<int32_t> completions;
    bool sourceSeenAtCompletion = false;
};
Probe g_probe;

void OnEvent(void*, uint32_t event, uint32_t data)
{
    g_probe.events.push_back(event * 100 + data);
}

int32_t OnComplete(DornObjectRecord*, uint32_t command, uint32_t, uint32_t, uintptr_t, uintptr_t, int32_t result)
{
    if (command == DORN_CMD_IDLE) g_probe.sourceSeenAtCompletion = !g_probe.events.empty();
    g_probe.completions.push_back(result);
    return 0;
}

TEST(SimCamEntry, ConnectSequence)
{
    TempDir dir;
    fs::create_directories(dir.path / "card" / "DCIM" / "100TEST");
    Write(dir.path / "SimCam.conf", "root=card\nmodel=Snapwren310\n");
    SimCamSetConfigPath((dir.path / "SimCam.conf").c_str());
    g_probe = Probe{};

    DornObjectRecord module{};
    ASSERT_EQ(SimCamEntry(nullptr, DORN_CMD_OPEN, 0, DORN_DT_POBJECT, reinterpret_cast<uintptr_t>(&module), nullptr, 0), 0);
    EXPECT_EQ(SimCamEntry(nullptr, DORN_CMD_OPEN, 0, DORN_DT_POBJECT, reinterpret_cast<uintptr_t>(&module), nullptr, 0),
              DORN_E_ALREADY_OPEN);
    uint32_t count = 0;
    ASSERT_EQ(SimCamEntry(&module, DORN_CMD_CAPCOUNT, 0, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&count), nullptr, 0), 0);
    std::vector<DornCapRecord> caps(count);
    ASSERT_EQ(SimCamEntry(&module, DORN_CMD_CAPRECORDS, count, DORN_DT_PCAPRECORDS,
                          reinterpret_cast<uintptr_t>(caps.data()), nullptr, 0), 0);
    EXPECT_EQ(SimCamEntry(&module, DORN_CMD_CAPRECORDS, count + 1, DORN_DT_PCAPRECORDS,
                          reinterpret_cast<uintptr_t>(caps.data()), nullptr, 0), DORN_E_CHANGED);
    DornCallbackRecord events{reinterpret_cast<DornProc>(&OnEvent), nullptr};
    ASSERT_EQ(SimCamEntry(&module, DORN_CMD_SET, DORN_CAP_EVENT_CB, DORN_DT_PCALLBACK,
                          reinterpret_cast<uintptr_t>(&events), nullptr, 0), 0);

    ASSERT_EQ(SimCamEntry(&module, DORN_CMD_IDLE, 0, 0, 0, &OnComplete, 7), 0);
    EXPECT_TRUE(g_probe.completions.empty());  // not before a pump
    SimCamEntry(&module, DORN_CMD_PUMP, 0, 0, 0, nullptr, 0);
    ASSERT_EQ(g_probe.completions, (std::vector<int32_t>{0}));
    EXPECT_TRUE(g_probe.sourceSeenAtCompletion);
    EXPECT_EQ(g_probe.events, (std::vector<uint32_t>{1}));  // event 0, source 1

    // A request aborted in flight completes inside the abort, with "cancelled".
    uint32_t period = 0;
    ASSERT_EQ(SimCamEntry(&module, DORN_CMD_GET, DORN_CAP_IDLE_PERIOD, DORN_DT_PU32,
                          reinterpret_cast<uintptr_t>(&period), &OnComplete, 8), 0);
    SimCamEntry(&module, DORN_CMD_ABORT, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(g_probe.completions.back(), DORN_E_CANCELLED);

    EXPECT_EQ(SimCamEntry(&module, DORN_CMD_CLOSE, 0, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(SimCamEntry(&module, DORN_CMD_CAPCOUNT, 0, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&count), nullptr, 0),
              DORN_E_NOT_OPEN);
    SimCamSetConfigPath(nullptr);
}

TEST(SimCamEntry, SecondModuleOpenLeavesTheFirstAlone)
{
    TempDir dir;
    fs::create_directories(dir.path / "card" / "DCIM" / "100TEST");
    Write(dir.path / "SimCam.conf", "root=card\nmodel=Snapwren310\n");
    SimCamSetConfigPath((dir.path / "SimCam.conf").c_str());
    g_probe = Probe{};

    DornObjectRecord first{}, second{};
    ASSERT_EQ(SimCamEntry(nullptr, DORN_CMD_OPEN, 0, DORN_DT_POBJECT, reinterpret_cast<uintptr_t>(&first), nullptr, 0), 0);
    uint32_t period = 0;
    ASSERT_EQ(SimCamEntry(&first, DORN_CMD_GET, DORN_CAP_IDLE_PERIOD, DORN_DT_PU32,
                          reinterpret_cast<uintptr_t>(&period), &OnComplete, 9), 0);
    ASSERT_EQ(SimCamEntry(nullptr, DORN_CMD_OPEN, 0, DORN_DT_POBJECT, reinterpret_cast<uintptr_t>(&second), nullptr, 0), 0);

    SimCamEntry(&first, DORN_CMD_PUMP, 0, 0, 0, nullptr, 0);
    SimCamEntry(&first, DORN_CMD_PUMP, 0, 0, 0, nullptr, 0);
    EXPECT_EQ(g_probe.completions, (std::vector<int32_t>{0}));  // completed, exactly once
    EXPECT_EQ(period, 500u);
    uint32_t count = 0;
    EXPECT_EQ(SimCamEntry(&first, DORN_CMD_CAPCOUNT, 0, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&count), nullptr, 0), 0);

    // Closing one module leaves the other open.
    EXPECT_EQ(SimCamEntry(&second, DORN_CMD_CLOSE, 0, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(SimCamEntry(&second, DORN_CMD_CAPCOUNT, 0, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&count), nullptr, 0),
              DORN_E_NOT_OPEN);
    EXPECT_EQ(SimCamEntry(&first, DORN_CMD_CAPCOUNT, 0, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&count), nullptr, 0), 0);
    EXPECT_EQ(SimCamEntry(&first, DORN_CMD_CLOSE, 0, 0, 0, nullptr, 0), 0);
    SimCamSetConfigPath(nullptr);
}

}  // namespace
