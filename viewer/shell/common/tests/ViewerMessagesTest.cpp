#include "viewer/shell/common/ViewerMessages.h"

#include <gtest/gtest.h>

#include <map>

TEST(ViewerMessages, EveryNumberOnceExceptTheTwoSharedPairs)
{
    const std::pair<const char*, uint32_t> messages[] = {
        {"UM_PROGRESS_RANGE", UM_PROGRESS_RANGE}, {"UM_PROGRESS_POS", UM_PROGRESS_POS},
        {"UM_PROGRESS", UM_PROGRESS}, {"UM_SHOW_HINT", UM_SHOW_HINT},
        {"UM_SELECTION_CHANGED", UM_SELECTION_CHANGED}, {"UM_TARGET_CHANGED", UM_TARGET_CHANGED},
        {"UM_LIBRARY_RESULT", UM_LIBRARY_RESULT}, {"UM_ERROR", UM_ERROR}, {"UM_TREE_CHECK", UM_TREE_CHECK},
        {"UM_FILE_MISSING", UM_FILE_MISSING}, {"UM_OPEN_TRANSFER_PANEL", UM_OPEN_TRANSFER_PANEL},
        {"UM_OPEN_BROWSER", UM_OPEN_BROWSER}, {"UM_TARGET_OPENED", UM_TARGET_OPENED},
        {"UM_TARGET_MESSAGE", UM_TARGET_MESSAGE}, {"UM_OPEN_VIEWER", UM_OPEN_VIEWER},
        {"UM_VIEW_SELECTION", UM_VIEW_SELECTION}, {"UM_WORKER_DONE", UM_WORKER_DONE},
        {"UM_ACCESS_STATE", UM_ACCESS_STATE}, {"UM_CLOSE_TARGET", UM_CLOSE_TARGET},
        {"UM_TRANSFER_BUSY", UM_TRANSFER_BUSY}, {"UM_TRANSFER_FILE", UM_TRANSFER_FILE},
        {"UM_TRANSFER_TOTAL", UM_TRANSFER_TOTAL}, {"UM_TRANSFER_PROGRESS", UM_TRANSFER_PROGRESS},
        {"UM_TRANSFER_END", UM_TRANSFER_END}, {"UM_TARGET_FILES_CHANGED", UM_TARGET_FILES_CHANGED},
        {"UM_SHOW_IMAGE", UM_SHOW_IMAGE}, {"UM_LIST_READY", UM_LIST_READY},
        {"UM_START_WITHOUT_MONITOR", UM_START_WITHOUT_MONITOR}, {"UM_TRANSFER_REQUEST", UM_TRANSFER_REQUEST},
    };
    std::map<uint32_t, const char*> seen;
    for (const auto& [name, number] : messages) {
        EXPECT_GE(number, 0x401u) << name;
        EXPECT_LE(number, 0x41Eu) << name;
        EXPECT_TRUE(seen.emplace(number, name).second) << name << " repeats " << seen[number];
    }
    EXPECT_EQ(seen.size(), 29u);  // 0x401-0x41e without 0x41b
    EXPECT_EQ(seen.count(0x41B), 0u);
    // The two pairs that share a number, told apart by their receivers.
    EXPECT_EQ(UM_THUMB_PLACED, UM_PROGRESS_RANGE);
    EXPECT_EQ(UM_THUMB_RUN_DONE, UM_PROGRESS_POS);
    EXPECT_EQ(UM_TARGET_MESSAGE, 0x40Eu);
    EXPECT_EQ(UM_START_WITHOUT_MONITOR, 0x41Du);
    EXPECT_EQ(ID_ACCEPT_CAMERA_REQUEST, 32839u);
}
