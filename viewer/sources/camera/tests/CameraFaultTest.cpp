// Each scripted fault of the simulated camera gives the controller's result code.
#include <atomic>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "viewer/sources/camera/CameraModule.h"
#include "viewer/sources/camera/tests/CameraTestSupport.h"

namespace fs = std::filesystem;
using namespace camtest;

namespace {

std::atomic<uint32_t> g_fakeTick{0};
std::atomic<uint32_t> g_sleptMs{0};
uint32_t FakeTick() { return g_fakeTick += 1; }
void FakeSleep(uint32_t ms)
{
    g_fakeTick += ms;
    g_sleptMs += ms;
}

class CameraFaultTest : public ::testing::TestWithParam<Road> {
protected:
    CameraFaultTest() : setup_(card_) { card_.MakeStandard(); }

    std::unique_ptr<CRundleCtrl> Connect(const std::vector<std::string>& faults, JqIfMngResult expected,
                                         const std::string& model = "Snapwren310")
    {
        card_.WriteConfig(faults, model);
        auto ctrl = std::make_unique<CRundleCtrl>(DeviceFor(GetParam()));
        EXPECT_EQ(ctrl->Initialize(), expected);
        return ctrl;
    }

    bool DestEmpty() const { return fs::is_empty(card_.dest()); }

    CameraCard card_;
    CameraSetup setup_;
};

TEST_P(CameraFaultTest, ConnectFaults)
{
    struct Case {
        std::vector<std::string> faults;
        std::string model;
        JqIfMngResult expected;
    };
    const Case cases[] = {
        {{"open_result=150"}, "Snapwren310", JqIfMngResult_Code107},   // in use by another program
        {{"open_result=7"}, "Snapwren310", JqIfMngResult_NoAnswer},
        {{}, "Snapwren270", JqIfMngResult_NoAnswer},                   // no source of that model
        {{"state=2"}, "Snapwren310", JqIfMngResult_EmptyFolder},       // attached, no medium access
        {{"state=3"}, "Snapwren310", JqIfMngResult_ConnectionLost},
    };
    for (const Case& c : cases) {
        auto ctrl = Connect(c.faults, c.expected, c.model);
        EXPECT_EQ(ctrl->GetSource(), nullptr);
    }
}

TEST_P(CameraFaultTest, ConnectWithoutCameraFolder)
{
    fs::remove_all(card_.root());
    Connect({}, JqIfMngResult_NoAnswer);
}

TEST_P(CameraFaultTest, StateReadThatNeverAnswersIsBounded)
{
    SetCameraWaitLimit(100);
    Connect({"no_answer=33032"}, JqIfMngResult_NoAnswer);
}

TEST_P(CameraFaultTest, StatusThatDoesNotAnswerGives100)
{
    auto ctrl = Connect({"status_result=134"}, 0);
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), JqIfMngResult_StatusNoPower);
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), JqIfMngResult_StatusNoPower);
}

TEST_P(CameraFaultTest, StatusZeroIsStickyMinus110)
{
    auto ctrl = Connect({"status=0"}, 0);
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), JqIfMngResult_Module135);
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), JqIfMngResult_Module135);
}

TEST_P(CameraFaultTest, CopyThatNeverCompletesIsBoundedAndLeavesNothing)
{
    auto ctrl = Connect({"no_answer=20"}, 0);
    SetCameraWaitLimit(100);
    EXPECT_EQ(ctrl->GetImageFile(1, 1, "IMG_0001.JPG", card_.dest().string(), false, false),
              JqIfMngResult_NoAnswer);
    EXPECT_TRUE(DestEmpty());
}

TEST_P(CameraFaultTest, UnplugDuringCopyLeavesNoFileUnderTheFinalName)
{
    card_.AddJpeg("100TEST", "BIG.JPG", 640, 480);  // sorts first
    auto ctrl = Connect({"unplug_after_chunks=2"}, 0);
    EXPECT_EQ(ctrl->GetImageFile(1, 1, "BIG.JPG", card_.dest().string(), false, false),
              JqIfMngResult_ConnectionLost);
    EXPECT_TRUE(DestEmpty());
    EXPECT_EQ(ctrl->IsTargetStatus("100TEST"), JqIfMngResult_StatusNoPower);
    EXPECT_EQ(ctrl->GetFolderNum(), 0);
}

TEST_P(CameraFaultTest, StepwiseUnplugLeavesNoFileUnderTheFinalName)
{
    card_.AddJpeg("100TEST", "BIG.JPG", 640, 480);
    auto ctrl = Connect({"unplug_after_chunks=3"}, 0);
    ASSERT_EQ(ctrl->GetImageFileCallBack(1, 1, "BIG.JPG", card_.dest().string()), 0);
    uint32_t done = 0, total = 0;
    int32_t result = 0;
    while (!ctrl->SavingImage(&done, &total, &result)) {
    }
    EXPECT_EQ(result, JqIfMngResult_ConnectionLost);
    EXPECT_TRUE(DestEmpty());
}

TEST_P(CameraFaultTest, LateCompletionsStillWork)
{
    auto ctrl = Connect({"late=5", "busy_refresh=1", "close_busy=2"}, 0);
    FileInfoArray entries;
    EXPECT_EQ(ctrl->GetImgFileInfList(1, entries, nullptr), 3);
    EXPECT_EQ(ctrl->GetImageFile(1, 1, "IMG_0001.JPG", card_.dest().string(), false, false), 0);
    EXPECT_TRUE(fs::exists(card_.dest() / "IMG_0001.JPG"));
}

TEST_P(CameraFaultTest, FolderListFailingAfterACameraSideChangeIsReportedNotWaitedFor)
{
    auto ctrl = Connect({"folder_list_fails_while=NOLIST"}, 0);
    ASSERT_EQ(ctrl->IsTargetStatus("100TEST"), 0);
    SetCameraWaitLimit(3000);
    std::ofstream(card_.root() / "NOLIST") << "x";
    card_.AddJpeg("102TEST", "IMG_0201.JPG");  // a new folder: the folder table is marked
    JqIfMngResult r = 0;
    for (int i = 0; i < 200 && r == 0; ++i) {
        CameraSleep(10);
        r = ctrl->IsTargetStatus("100TEST");
    }
    EXPECT_EQ(r, JqIfMngResult_ModuleMinus235);  // the failure, not "no pictures"
    // The camera lists its folders again: the change shows at the next check.
    fs::remove(card_.root() / "NOLIST");
    r = ctrl->IsTargetStatus("100TEST");
    EXPECT_TRUE(r == JqIfMngResult_StatusFoldersChanged || r == JqIfMngResult_StatusBothChanged) << r;
    EXPECT_EQ(ctrl->GetFolderNum(), 3);
}

TEST_P(CameraFaultTest, RefusedProtectAndHide)
{
    auto ctrl = Connect({"protect_result=9"}, 0);
    EXPECT_EQ(ctrl->SetProtectStats(1, 1, true), JqIfMngResult_AttributeFailed2);
    EXPECT_EQ(ctrl->SetHideStats(1, 1, true), JqIfMngResult_AttributeFailed1);
}

TEST_P(CameraFaultTest, BusyFormatIsRetriedEveryTwoSeconds)
{
    auto ctrl = Connect({"busy_format=3"}, 0);
    g_sleptMs = 0;
    SetCameraClock(&FakeTick, &FakeSleep);
    EXPECT_EQ(ctrl->FormatCFCard(), 0);
    EXPECT_GE(g_sleptMs.load(), 6000u);
    EXPECT_LT(g_sleptMs.load(), 7000u);
}

TEST_P(CameraFaultTest, FormatThatStaysBusyGivesUp)
{
    auto ctrl = Connect({"busy_format=1000"}, 0);
    SetCameraClock(&FakeTick, &FakeSleep);
    EXPECT_EQ(ctrl->FormatCFCard(), JqIfMngResult_Failed);
    EXPECT_FALSE(fs::is_empty(card_.root() / "DCIM"));
}

INSTANTIATE_TEST_SUITE_P(Roads, CameraFaultTest, ::testing::Values(Road::InProcess, Road::Dlopen),
                         [](const auto& info) { return RoadName(info.param); });

TEST(CameraModuleLoading, ModuleFilesThatCannotServe)
{
    CCameraModule missing("/nonexistent/Nothing.kx3");
    EXPECT_EQ(missing.InitModule(), DORN_E_LOAD);
    CCameraModule noEntry(NOENTRY_MODULE_PATH);
    EXPECT_EQ(noEntry.InitModule(), DORN_E_NO_ENTRY);
    EXPECT_FALSE(noEntry.IsLoaded());
}

}  // namespace

namespace {

int32_t g_promptAnswer = 0;
int32_t g_promptsShown = 0;
int32_t AnswerPrompt(const CameraPrompt& prompt)
{
    ++g_promptsShown;
    EXPECT_EQ(prompt.buttons, 1);
    EXPECT_EQ(prompt.defaultButton, 2);
    EXPECT_NE(prompt.text.find("Every picture"), std::string::npos);
    return g_promptAnswer;
}

TEST_P(CameraFaultTest, CameraAsksBeforeItFormats)
{
    auto ctrl = Connect({"prompt_on_format=1"}, 0);
    SetCameraPromptHandler(&AnswerPrompt);
    g_promptsShown = 0;
    g_promptAnswer = 2;  // Cancel
    EXPECT_EQ(ctrl->FormatCFCard(), JqIfMngResult_Failed);
    EXPECT_FALSE(fs::is_empty(card_.root() / "DCIM"));
    g_promptAnswer = 1;  // OK
    EXPECT_EQ(ctrl->FormatCFCard(), 0);
    EXPECT_TRUE(fs::is_empty(card_.root() / "DCIM"));
    EXPECT_EQ(g_promptsShown, 2);
    SetCameraPromptHandler(nullptr);
}

}  // namespace
