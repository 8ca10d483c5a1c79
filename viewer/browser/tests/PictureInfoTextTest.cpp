#include "viewer/browser/PictureInfoText.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace {

// Label and value texts are "<id>"; formats, separator and line end are real.
std::string FakeText(uint32_t id) {
    static const std::map<uint32_t, std::string> formats = {
        {0, ""}, {62425, ": "}, {62572, "\n"}, {62566, "-"}, {62428, "%.3f KB (%d bytes)"},
        {62429, "%.1f MB (%d bytes)"}, {62432, "%d x %d"}, {62434, "%.0f/%.0f"}, {62437, "%d bits"},
        {62474, "%.1f mm"}, {62478, "+%.1f"}, {62479, "%.1f"}, {62513, "%.1f"}, {62514, "%.1f"},
        {62565, "%.0f"}, {62569, " s"},
    };
    auto it = formats.find(id);
    return it != formats.end() ? it->second : "<" + std::to_string(id) + ">";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

PictureRecord Record(uint32_t size) {
    PictureRecord r;
    r.name = "IMG_0001.JPG";
    r.size = size;
    r.shotInfo = std::make_unique<ShotInfo>();
    return r;
}

}  // namespace

TEST(PictureInfoText, FileSizeSwitchesToMegabytesAtOneMebibyte) {
    for (auto [size, expected] : {std::pair<uint32_t, const char*>{1048575, "<62427>: 1023.999 KB (1048575 bytes)"},
                                  {1048576, "<62427>: 1.0 MB (1048576 bytes)"}}) {
        PictureRecord r = Record(size);
        std::string text;
        BuildPictureInfoText(text, &r, false, FakeText);
        EXPECT_EQ(Lines(text).at(1), expected);
    }
}

TEST(PictureInfoText, LinesCarryValuesPlaceholdersAndCodedWords) {
    PictureRecord r = Record(10);
    r.shotInfo->dateTime = JqCalendar{32, 2004, 3, 9, 14, 5, 7.6};
    r.shotInfo->exposureTime = "1/125";
    r.shotInfo->hasExposureBias = 1;   // exactly 0.0
    r.shotInfo->meteringMode = 255;    // not in the table: empty, not the placeholder
    r.shotInfo->exposureProgram = 2;
    r.shotInfo->maker80081 = 16;
    r.shotInfo->maker80083Text = "text of the group";
    std::string text;
    BuildPictureInfoText(text, &r, false, FakeText);
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(lines[0], "<62426>: IMG_0001.JPG");
    EXPECT_EQ(lines[2], "<62430>: 2004/03/09 14:05:08");
    EXPECT_EQ(lines[3], "<62431>: -");
    EXPECT_EQ(lines[5], "<62435>: -");
    EXPECT_EQ(lines[6], "<62438>: <62568>");
    EXPECT_EQ(lines[11], "<62454>: ");
    EXPECT_EQ(lines[12], "<62462>: <62465>");
    EXPECT_EQ(lines[15], "<62475>: 1/125 s");
    EXPECT_EQ(lines[17], "<62477>: <62480>");
    EXPECT_EQ(lines[19], "<62493>: text of the group");
    EXPECT_EQ(lines[28], "<62539>: -");
    EXPECT_EQ(lines[29], "<62545>: <62557>");
}

TEST(PictureInfoText, CameraMovieKeepsOnlyTheFileLines) {
    PictureRecord r = Record(10);
    r.movie = 1;
    std::string text;
    BuildPictureInfoText(text, &r, true, FakeText);
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].substr(0, 8), "<62435>:");
    text.clear();
    BuildPictureInfoText(text, &r, false, FakeText);   // a movie on a card shows everything
    EXPECT_EQ(Lines(text).size(), 33u);
    text.clear();
    r.shotInfo.reset();
    BuildPictureInfoText(text, &r, false, FakeText);
    EXPECT_TRUE(text.empty());
}

TEST(PictureInfoText, FormattersMapTheirTablesAndNothingElse) {
    EXPECT_EQ(FormatMakerTag80094(0, FakeText), "<62544>");
    EXPECT_EQ(FormatMakerTag80094(4, FakeText), "<62540>");
    EXPECT_EQ(FormatMakerTag80082(0x3002, FakeText), "<62500>");
    EXPECT_EQ(FormatExposureProgram(8, FakeText), "<62471>");
    EXPECT_EQ(FormatExposureProgram(9, FakeText), "");
    EXPECT_EQ(FormatMeteringMode(-2, FakeText), "");
    EXPECT_DOUBLE_EQ(BytesToKilobytes(2048), 2.0);
}

TEST(PictureInfoText, LabelsStopAtAMissingText) {
    std::vector<std::string> labels;
    EXPECT_EQ(LoadShootingDataLabels(labels, FakeText), 1);
    ASSERT_EQ(labels.size(), 33u);
    EXPECT_EQ(labels[32], "<62564>: ");
    auto missing = [](uint32_t id) { return id == 62476 ? std::string() : FakeText(id); };
    EXPECT_EQ(LoadShootingDataLabels(labels, missing), 0);
    EXPECT_EQ(labels.size(), 16u);
}

TEST(LangFormat, FormatsThatDoNotFitTheArgumentsAreNotUsed) {
    EXPECT_EQ(FormatLang("%d x %d", {int64_t(3), int64_t(4)}), "3 x 4");
    EXPECT_EQ(FormatLang("100%% %.1f", {2.25}), "100% 2.2");
    EXPECT_EQ(FormatLang("%s crashes", {1.5}), "1.5");
    EXPECT_EQ(FormatLang("%d %d", {int64_t(1)}), "1");
    EXPECT_EQ(FormatLang("%n", {int64_t(1)}), "1");
    EXPECT_EQ(FormatLang("%ld", {int64_t(1) << 40}), "1099511627776");
}
