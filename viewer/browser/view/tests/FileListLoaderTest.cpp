#include "viewer/browser/view/FileListLoader.h"

#include <gtest/gtest.h>

#include "viewer/browser/view/tests/FakeSource.h"

namespace {

std::vector<std::string> Names(const BrowserItems& items) {
    std::vector<std::string> names;
    for (const BrowserItem& item : items.list()) names.push_back(item.fileName);
    return names;
}

class LoaderTest : public ::testing::Test {
protected:
    FakeSource source;
    CFileListLoader loader{source, "100ABCDE"};

    void Add(const std::string& name, FakePicture p = {}) { source.pictures[name] = p; }

    BrowserItems Build(std::vector<std::string> names) {
        BrowserItems items;
        EXPECT_EQ(0, loader.BuildItemList(names, items));
        return items;
    }

    RefreshOutcome Refresh(BrowserItems& items, std::vector<std::string> names) {
        RefreshPlan plan = loader.RefreshItemList(names, Names(items));
        return CommitRefresh(plan, items);
    }
};

TEST(SortUniqueNameList, ByteOrderKeepsCaseApartAndDropsRepeats) {
    std::vector<std::string> names = {"b.jpg", "A.JPG", "a.jpg", "A.JPG", "B.JPG"};
    CFileListLoader::SortUniqueNameList(names);
    EXPECT_EQ((std::vector<std::string>{"A.JPG", "B.JPG", "a.jpg", "b.jpg"}), names);
}

TEST_F(LoaderTest, BuildFillsEachRecordFromTheFileStatus) {
    Add("IMG_0002.JPG", {2048, 1, 0, true});
    Add("IMG_0001.JPG", {4096, 0, 1, false});
    Add("clip.mov");
    BrowserItems items = Build({"IMG_0002.JPG", "clip.mov", "IMG_0001.JPG", "IMG_0002.JPG"});

    ASSERT_EQ((std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG", "clip.mov"}), Names(items));
    for (size_t i = 0; i < items.size(); ++i) {
        const BrowserItem& item = items.item(i);
        ASSERT_TRUE(item.record);
        EXPECT_EQ(item.fileName, item.record->name);
        EXPECT_EQ(static_cast<int32_t>(i), items.cell(i).index);
        EXPECT_EQ(static_cast<int32_t>(i), item.record->index);
        EXPECT_FALSE(item.selected);
        EXPECT_FALSE(items.cell(i).placed);
        EXPECT_EQ(0, item.record->rotation);
        EXPECT_EQ(0, item.record->exif);   // the thumbnail reader tells whether the file has EXIF
        EXPECT_TRUE(item.record->blocks.empty());
    }
    const PictureRecord& first = *items.item(0).record;
    EXPECT_EQ(4096u, first.size);
    EXPECT_EQ(0, first.protect);
    EXPECT_EQ(1, first.hidden);
    EXPECT_EQ(0, first.transferMarked);
    const PictureRecord& second = *items.item(1).record;
    EXPECT_EQ(2048u, second.size);
    EXPECT_EQ(1, second.protect);
    EXPECT_EQ(1, second.transferMarked);
    EXPECT_EQ(0, second.movie);
    EXPECT_EQ(1, items.item(2).record->movie);
}

TEST_F(LoaderTest, BuildStopsAtTheFirstFailingRecordAndHandsOutNothing) {
    Add("A.JPG");
    Add("B.JPG", {0, 0, 0, false, -101});
    Add("C.JPG", {0, 0, 0, false, -102});
    std::vector<std::string> names = {"C.JPG", "A.JPG", "B.JPG"};
    BrowserItems items;
    EXPECT_EQ(-101, loader.BuildItemList(names, items));
    EXPECT_TRUE(items.empty());
}

TEST_F(LoaderTest, BuildOfNoNamesIsEmpty) {
    std::vector<std::string> names;
    BrowserItems items;
    EXPECT_EQ(0, loader.BuildItemList(names, items));
    EXPECT_TRUE(items.empty());
}

TEST_F(LoaderTest, RefreshKeepsSelectionAndTilesButReadsThumbnailsAgain) {
    Add("A.JPG");
    Add("B.MOV");
    Add("C.JPG");
    BrowserItems items = Build({"A.JPG", "B.MOV", "C.JPG"});
    items.item(1).selected = true;            // a selected movie without tiles
    items.item(2).selected = true;
    items.item(2).record->blocks.resize(1);   // with its thumbnail
    items.cell(2).placed = true;
    PictureRecord* keptRecord = items.item(2).record.get();

    source.pictures.erase("A.JPG");
    source.pictures["C.JPG"].protect = 1;
    Add("D.JPG");
    RefreshOutcome out = Refresh(items, {"D.JPG", "C.JPG", "B.MOV"});

    ASSERT_EQ((std::vector<std::string>{"B.MOV", "C.JPG", "D.JPG"}), Names(items));
    EXPECT_TRUE(items.item(0).selected);
    EXPECT_TRUE(items.item(1).selected);
    EXPECT_FALSE(items.item(2).selected);
    EXPECT_EQ(keptRecord, items.item(1).record.get());
    EXPECT_EQ(1u, items.item(1).record->blocks.size());
    EXPECT_EQ(1, items.item(1).record->protect);
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_FALSE(items.cell(i).placed);
        EXPECT_EQ(static_cast<int32_t>(i), items.cell(i).index);
    }
    EXPECT_EQ(2, out.counts.selected);
    EXPECT_EQ(1, out.counts.selectedMovies);
    EXPECT_EQ(1, out.counts.selectedWithoutThumb);
    EXPECT_TRUE(out.counts.anySelected && out.counts.anyMovie && out.counts.anyWithoutThumb);
    EXPECT_EQ(-1, out.singleSelected);
}

TEST_F(LoaderTest, RefreshFindsOldItemsWhateverTheCase) {
    Add("img_0001.jpg");
    BrowserItems items = Build({"img_0001.jpg"});
    items.item(0).selected = true;
    Add("IMG_0001.JPG", {77});
    Refresh(items, {"IMG_0001.JPG"});
    ASSERT_EQ(1u, items.size());
    EXPECT_TRUE(items.item(0).selected);
    EXPECT_EQ(77u, items.item(0).record->size);
    EXPECT_EQ("IMG_0001.JPG", items.item(0).fileName);   // the renamed picture shows its new name
    EXPECT_EQ("IMG_0001.JPG", items.item(0).record->name);
}

TEST_F(LoaderTest, RefreshKeepsNamesThatDifferOnlyInCaseApart) {
    struct Case {
        const char* what;
        std::vector<std::string> before, after;
        std::string selectedBefore;
        std::vector<std::string> expected;
        std::string selectedAfter;
    };
    const Case cases[] = {
        {"a twin appears", {"img.jpg"}, {"IMG.JPG", "img.jpg"}, "img.jpg", {"IMG.JPG", "img.jpg"}, "img.jpg"},
        {"twins stay", {"IMG.JPG", "img.jpg"}, {"IMG.JPG", "img.jpg"}, "IMG.JPG", {"IMG.JPG", "img.jpg"}, "IMG.JPG"},
        {"one twin goes", {"IMG.JPG", "img.jpg"}, {"img.jpg"}, "img.jpg", {"img.jpg"}, "img.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : c.before) Add(name);
        for (const std::string& name : c.after) Add(name);
        BrowserItems items = Build(c.before);
        for (size_t i = 0; i < items.size(); ++i) items.item(i).selected = items.item(i).fileName == c.selectedBefore;
        Refresh(items, c.after);
        ASSERT_EQ(c.expected, Names(items));
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items.item(i).fileName, items.item(i).record->name);
            EXPECT_EQ(items.item(i).fileName == c.selectedAfter, items.item(i).selected) << items.item(i).fileName;
        }
    }
}

TEST_F(LoaderTest, RefreshWithOneSelectedNamesIt) {
    Add("A.JPG");
    Add("B.JPG");
    BrowserItems items = Build({"A.JPG", "B.JPG"});
    items.item(1).selected = true;
    Add("0.JPG");
    RefreshOutcome out = Refresh(items, {"A.JPG", "B.JPG", "0.JPG"});
    EXPECT_EQ(2, out.singleSelected);
    EXPECT_EQ("B.JPG", items.item(2).fileName);
}

TEST_F(LoaderTest, RefreshEndingEmptyOrFailingLeavesNoItems) {
    Add("A.JPG");
    Add("B.JPG");
    for (bool failing : {false, true}) {
        BrowserItems items = Build({"A.JPG", "B.JPG"});
        items.item(0).selected = true;
        std::vector<std::string> names;
        if (failing) {
            names = {"A.JPG", "B.JPG"};
            source.pictures["B.JPG"].statusResult = -101;
        }
        RefreshPlan plan = loader.RefreshItemList(names, Names(items));
        EXPECT_EQ(failing ? -101 : 0, plan.result);
        RefreshOutcome out = CommitRefresh(plan, items);
        EXPECT_TRUE(items.empty());
        EXPECT_EQ(0, out.counts.selected);
        EXPECT_FALSE(out.counts.anySelected);
        EXPECT_EQ(-1, out.singleSelected);
    }
}

TEST(BrowserItemsTest, RemoveAtClosesTheGap) {
    BrowserItems items;
    for (const char* name : {"A", "B", "C"}) {
        ItemCell cell;
        cell.left = name[0];
        items.Append(BrowserItem(name, false), cell);
    }
    items.RemoveAt(1);
    items.RemoveAt(7);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ("C", items.item(1).fileName);
    EXPECT_EQ('C', items.cell(1).left);
}

}  // namespace
