#include "viewer/browser/view/BrowserViewModel.h"

#include <gtest/gtest.h>

#include <deque>

#include "viewer/browser/view/tests/FakeSource.h"

namespace {

using Lines = std::vector<std::string>;

class RecordingHost : public BrowserViewHost {
public:
    Lines lines;
    int32_t width = 400;

    int32_t PaneWidth() override { return width; }
    void ResetPane(int32_t h) override { lines.push_back("reset pane " + std::to_string(h)); }
    void ItemPlaced(size_t i) override { lines.push_back("placed " + std::to_string(i)); }
    void ItemsChanged() override { lines.push_back("items changed"); }
    void BusyAnimation(bool on) override { lines.push_back(on ? "busy on" : "busy off"); }
    void UpdateButtons() override {}
    void BroadcastAccessState(int32_t f) override { lines.push_back("access " + std::to_string(f)); }
    void ResetStatusText() override {}
    void SelectionChanged(int32_t i) override { lines.push_back("selection " + std::to_string(i)); }
    void ReportError(int32_t c) override { lines.push_back("error " + std::to_string(c)); }
    void ReportLibraryResult(int32_t k) override { lines.push_back("library " + std::to_string(k)); }
    void TargetMessage(int32_t id) override { lines.push_back("target " + std::to_string(id)); }
    void TargetChanged(int32_t status) override { lines.push_back("changed " + std::to_string(status)); }
    void FolderListed(const std::string&) override {}

    bool Has(const std::string& line) const {
        for (const std::string& l : lines)
            if (l == line) return true;
        return false;
    }
};

class ModelTest : public ::testing::Test {
protected:
    FakeSource source;
    RecordingHost host;
    std::mutex queueMutex;
    std::deque<std::function<void()>> queue;
    BrowserViewModel model{source, host, [this](std::function<void()> work) {
                               std::lock_guard<std::mutex> lock(queueMutex);
                               queue.push_back(std::move(work));
                           }};

    void Add(const std::string& name, FakePicture p = {}) {
        source.pictures[name] = p;
        source.listed.push_back(name);
    }

    // Lets the workers end and handles what they posted; false when nothing was.
    bool DrainOnce() {
        model.Readers().WaitUntilDone();
        std::deque<std::function<void()>> work;
        {
            std::lock_guard<std::mutex> lock(queueMutex);
            work.swap(queue);
        }
        for (auto& w : work) w();
        return !work.empty();
    }
    void Settle() {
        while (DrainOnce()) {
        }
    }

    void OpenFolder(int32_t count) {
        for (int32_t i = 0; i < count; ++i) Add("IMG_000" + std::to_string(i) + ".JPG");
        ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
        Settle();
    }
};

TEST_F(ModelTest, FolderIsListedAndEveryThumbnailPlacedInTheGrid) {
    OpenFolder(5);
    ASSERT_EQ(5u, model.Items().size());
    for (size_t i = 0; i < 5; ++i) EXPECT_TRUE(model.Items().cell(i).placed) << i;
    EXPECT_EQ(15, model.Items().cell(4).left);   // row 2, column 1 of four
    EXPECT_EQ(130, model.Items().cell(4).top);
    EXPECT_EQ(18, model.Items().cell(4).pictureX);
    EXPECT_EQ(133 + 8, model.Items().cell(4).pictureY);   // 64 x 48, centred down
    EXPECT_FALSE(model.Items().item(0).record->blocks.empty());
    EXPECT_TRUE(model.Idle());
    EXPECT_TRUE(host.Has("reset pane " + std::to_string(292 * 5 + 30)));
    EXPECT_EQ("access 1", host.lines.back());
}

TEST_F(ModelTest, ReportsOfAStoppedRunAreDropped) {
    Add("A.JPG");
    Add("B.JPG");
    ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
    ASSERT_TRUE(DrainOnce());          // the list is ready: the run starts
    model.Readers().WaitUntilDone();   // its reads and "finished" are queued, unhandled
    model.StopThumbnailRun();
    host.lines.clear();
    Settle();
    EXPECT_TRUE(host.lines.empty());
    EXPECT_TRUE(model.Items().empty());
    EXPECT_TRUE(model.Idle());
}

TEST_F(ModelTest, DroppedPictureGivesItsPlaceToTheNext) {
    Add("A.JPG");
    Add("B.JPG", {});
    Add("C.JPG");
    source.pictures["B.JPG"].exists = false;
    ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
    Settle();
    ASSERT_EQ(2u, model.Items().size());
    EXPECT_EQ("C.JPG", model.Items().item(1).fileName);
    EXPECT_EQ(1, model.Items().cell(1).index);
    EXPECT_EQ(100, model.Items().cell(1).left);   // second column
    EXPECT_TRUE(model.Items().cell(1).placed);
}

TEST_F(ModelTest, PictureWithoutAThumbnailKeepsItsPlaceAndTheRunGoesOn) {
    Add("A.JPG");
    Add("B.MOV");
    Add("C.JPG");
    source.pictures["B.MOV"].thumbResult = 7;   // a clip the library cannot read
    ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
    Settle();
    ASSERT_EQ(3u, model.Items().size());
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(model.Items().cell(i).placed) << i;
    EXPECT_TRUE(model.Items().item(1).record->blocks.empty());   // its cell shows the type's icon
    EXPECT_EQ(100, model.Items().cell(1).left);
    EXPECT_EQ(185, model.Items().cell(2).left);
    EXPECT_FALSE(host.Has("library 3"));
    EXPECT_TRUE(model.Idle());
}

TEST_F(ModelTest, TargetChangeFoundByAReaderIsHandedToTheView) {
    Add("A.JPG");
    Add("B.JPG");
    source.pictures["B.JPG"].exists = false;
    source.sourceCheck = 106;
    ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
    Settle();
    EXPECT_TRUE(host.Has("changed 106"));
    EXPECT_EQ("busy off", host.lines[host.lines.size() - 2]);
}

TEST_F(ModelTest, ChangedFilesKeepTheSelectionAndReadThumbnailsAgain) {
    OpenFolder(3);
    model.Items().item(2).selected = true;
    model.RecountSelection(false);
    Add("IMG_0003.JPG");
    source.pictures.erase("IMG_0000.JPG");
    source.listed.erase(source.listed.begin());
    host.lines.clear();
    model.OnTargetFilesChanged();
    Settle();
    ASSERT_EQ(3u, model.Items().size());
    EXPECT_EQ("IMG_0002.JPG", model.Items().item(1).fileName);
    EXPECT_TRUE(model.Items().item(1).selected);
    EXPECT_TRUE(host.Has("selection -1"));   // cleared while the folder is read again
    EXPECT_TRUE(host.Has("selection 1"));    // and shown again for its new place
    EXPECT_EQ(1, model.Counts().selected);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(model.Items().cell(i).placed);
}

TEST_F(ModelTest, NarrowerPaneReflowsPlacedItems) {
    OpenFolder(3);
    host.width = 200;   // two columns of 85
    model.Reflow();
    EXPECT_EQ(15, model.Items().cell(2).left);
    EXPECT_EQ(130, model.Items().cell(2).top);
    EXPECT_EQ(133 + 8, model.Items().cell(2).pictureY);
}

TEST_F(ModelTest, FatalReadStopsTheAnimationAndReportsOnce) {
    Add("A.JPG");
    Add("B.JPG", {});
    source.pictures["B.JPG"].thumbResult = 6;
    ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
    Settle();
    EXPECT_TRUE(host.Has("library 4"));
    EXPECT_EQ("busy off", host.lines[host.lines.size() - 2]);
    EXPECT_FALSE(host.Has("access 1"));   // the box decides what comes next
}

TEST_F(ModelTest, ListFailureIsReportedAsAnError) {
    source.listResult = -101;
    ASSERT_TRUE(model.StartFileListRead("100ABCDE", 0));
    Settle();
    EXPECT_EQ("error -101", host.lines.back());
    EXPECT_TRUE(model.Items().empty());
}

TEST_F(ModelTest, SizeChangeReadsTheThumbnailsAgain) {
    OpenFolder(2);
    model.SetThumbSize(128);
    host.lines.clear();
    model.RestartThumbnailRun();
    Settle();
    EXPECT_TRUE(host.Has("reset pane " + std::to_string(286 * 2 + 30)));
    EXPECT_EQ(164, model.Items().cell(1).left);                     // 2 x 149 - 134
    EXPECT_TRUE(model.Items().cell(1).placed);
}

}  // namespace
