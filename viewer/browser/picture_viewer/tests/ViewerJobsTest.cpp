#include "viewer/browser/picture_viewer/ViewerJobs.h"

#include "viewer/browser/JobAccess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

class FakeAccess : public JobAccess {
public:
    std::set<std::string> files;  // "folder/file"
    std::string root;
    int32_t copyResult = 0;
    int32_t resumeResult = 0;
    int suspended = 0;
    bool IsFile(const std::string& folder, const std::string& file) override { return files.count(folder + "/" + file); }
    int32_t GetFullPath(const std::string& folder, const std::string& file, std::string* path) override {
        *path = root + "/" + folder + "/" + file;
        return 0;
    }
    int32_t CopyFile(const std::string& from, const std::string& to) override {
        if (copyResult) return copyResult;
        std::ofstream(to) << from;
        return 0;
    }
    int32_t DeleteFile(const std::string&, const std::string&) override { return 0; }
    int32_t DeleteFolder(const std::string&) override { return 0; }
    int32_t GetThumbnail(const std::string&, const std::string&, std::unique_ptr<PictureRecord>&, int32_t,
                         int32_t) override {
        return 1;
    }
    int32_t LastResult() override { return 0; }
    bool SuspendDeviceCheck() override { return ++suspended > 0; }
    int32_t ResumeDeviceCheck() override { return resumeResult; }
    uint64_t FreeSpace(const std::string&) override { return 1u << 30; }
    int Ask(plat::WindowHandle, const std::string&, const std::string&, plat::MessageButtons,
            plat::MessageIcon) override {
        return 0;
    }
    OverwriteAnswer AskOverwrite(plat::WindowHandle, const std::string&, bool) override {
        return OverwriteAnswer::Cancel;
    }
};

class FakeHost : public ViewerOpenHost {
public:
    bool opening = true;
    std::map<std::string, int32_t> openViewers;  // title -> answer
    std::vector<std::string> handed;
    std::vector<std::pair<std::string, std::string>> started;
    int32_t loadResult = 0;
    double memory = 0.9;
    std::vector<int32_t> steps;
    bool OpeningRequested() override { return opening; }
    bool ShowInOpenViewer(const std::string& title, const std::string&, int32_t, int32_t* answer) override {
        auto it = openViewers.find(title);
        if (it == openViewers.end()) return false;
        *answer = it->second;
        return true;
    }
    bool HandOverPicture(std::unique_ptr<PictureRecord> record, const std::string& title) override {
        handed.push_back(title);
        openViewers[title] = 0;
        return record != nullptr;
    }
    int32_t LoadPicture(const std::string&, int32_t turns, std::unique_ptr<PictureRecord>& out) override {
        if (loadResult) return loadResult;
        out = std::make_unique<PictureRecord>();
        out->rotation = turns;
        return 0;
    }
    int32_t StartProgram(const std::string& program, const std::string& argument) override {
        started.emplace_back(program, argument);
        return 0;
    }
    double AvailableMemory() override { return memory; }
    void StepDone(int32_t progress) override { steps.push_back(progress); }
};

class ViewerOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp = fs::temp_directory_path() / ("picview_open_" + std::to_string(::getpid()));
        fs::create_directories(temp);
        job.access = &access;
        job.host = &host;
        job.folder = "100VOREL";
        job.tempFolder = temp.string();
        access.root = temp.string();
        access.files = {"100VOREL/A.JPG", "100VOREL/B.JPG", "100VOREL/C.MOV"};
        job.items = {{"A.JPG", true, false, 0}, {"B.JPG", false, false, 0}, {"C.MOV", true, true, 0}};
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(temp, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto& e : fs::recursive_directory_iterator(temp, ec))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(temp, ec);
    }
    fs::path temp;
    FakeAccess access;
    FakeHost host;
    ViewerOpenJob job;
};

TEST_F(ViewerOpenTest, StillsGoToViewersAndMoviesToAReadOnlyCopy) {
    const fs::path player = temp / "player";
    std::ofstream(player) << "#!/bin/sh\n";
    fs::permissions(player, fs::perms::owner_all);
    job.settings.DinamicSoft = player.string();
    EXPECT_EQ(ViewerThreadProc(job), 0);
    ASSERT_EQ(host.handed.size(), 1u);
    EXPECT_EQ(host.handed[0], "100VOREL\\A.JPG");
    ASSERT_EQ(host.started.size(), 1u);
    const fs::path copy = temp / "temp" / "100VOREL" / "C.MOV";
    EXPECT_EQ(host.started[0].first, player.string());
    EXPECT_EQ(host.started[0].second, copy.string());
    EXPECT_TRUE(fs::exists(copy));
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(host.steps, (std::vector<int32_t>{10, 20}));
}

TEST_F(ViewerOpenTest, AnOpenViewerIsShownAgainAndCountsAsOpened) {
    host.openViewers["100VOREL\\A.JPG"] = 0;
    job.items.pop_back();
    EXPECT_EQ(ViewerThreadProc(job), 0);
    EXPECT_TRUE(host.handed.empty());
}

TEST_F(ViewerOpenTest, Failures) {
    struct Case {
        const char* what;
        double memory;
        int32_t load;
        int32_t viewerAnswer;  // -1: no open viewer
        bool opening;
        int32_t expected;
    } cases[] = {
        {"memory at the floor", 0.4, 0, -1, true, kViewerNoMemory},
        {"out of memory loading", 0.9, 1, -1, true, kViewerNoMemory},
        {"library missing", 0.9, 6, -1, true, 6},
        {"decoder fails", 0.9, 3, -1, true, kViewerCannotShow},
        {"open viewer reports library failing", 0.9, 0, 7, true, 7},
        {"open viewer reports other failure", 0.9, 0, 107, true, 0},
        {"browser gave up", 0.9, 0, -1, false, kViewerNoWorkFolder},
    };
    for (const Case& c : cases) {
        FakeHost h;
        h.memory = c.memory;
        h.loadResult = c.load;
        h.opening = c.opening;
        if (c.viewerAnswer >= 0) h.openViewers["100VOREL\\A.JPG"] = c.viewerAnswer;
        ViewerOpenJob j = job;
        j.host = &h;
        EXPECT_EQ(ViewerThreadProc(j), c.expected) << c.what;
        EXPECT_TRUE(h.started.empty()) << c.what;
    }
}

TEST_F(ViewerOpenTest, MissingPictureAndFailedResume) {
    access.files.erase("100VOREL/A.JPG");
    EXPECT_EQ(ViewerThreadProc(job), kViewerNotFound);
    access.files.insert("100VOREL/A.JPG");
    access.resumeResult = -114;
    EXPECT_EQ(ViewerThreadProc(job), kViewerNoWorkFolder);
}

TEST_F(ViewerOpenTest, StillProgramMustExist) {
    job.settings.ViewerSoft = 1;
    job.settings.StaticSoft = (temp / "none").string();
    job.items.pop_back();
    EXPECT_EQ(ViewerThreadProc(job), kViewerNoStillProgram);
}

TEST_F(ViewerOpenTest, CancelStopsBeforeTheNextPicture) {
    job.cancelled = [] { return true; };
    EXPECT_EQ(ViewerThreadProc(job), 0);
    EXPECT_TRUE(host.handed.empty());
}

TEST(ViewerMemory, MeminfoShare) {
    const std::string text =
        "MemTotal: 1000 kB\nMemFree: 10 kB\nMemAvailable: 300 kB\nSwapTotal: 1000 kB\nSwapFree: 500 kB\n";
    EXPECT_DOUBLE_EQ(MemoryAvailableFromMeminfo(text), 0.4);
    EXPECT_DOUBLE_EQ(MemoryAvailableFromMeminfo(""), 1.0);
}

TEST(ViewerRotate, LoadsAtTheNewTurnsWithoutTouchingTheWindow) {
    FakeAccess access;
    FakeHost host;
    std::unique_ptr<PictureRecord> out;
    EXPECT_EQ(RotateThreadProc(access, "100VOREL\\A.JPG", 3, out, &host), 0);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->rotation, 3);
    host.loadResult = 1;
    std::unique_ptr<PictureRecord> none;
    EXPECT_EQ(RotateThreadProc(access, "100VOREL\\A.JPG", 1, none, &host), kViewerNoMemory);
    EXPECT_FALSE(none);
    access.resumeResult = -114;
    EXPECT_EQ(RotateThreadProc(access, "100VOREL\\A.JPG", 1, none, &host), kViewerNoWorkFolder);
}

}  // namespace
