// The program's module object: the module's prompts and the camera-present flag.
#include <gtest/gtest.h>

#include "viewer/sources/camera/CameraModule.h"
#include "viewer/sources/camera/tests/FakeModule.h"

using namespace camtest;

namespace {

std::vector<CameraPrompt> g_prompts;
int32_t g_answer = 0;

int32_t RecordPrompt(const CameraPrompt& prompt)
{
    g_prompts.push_back(prompt);
    return g_answer;
}

class CameraModuleTest : public ::testing::Test {
protected:
    CameraModuleTest() : module_("fake")
    {
        CDornModule::RegisterBuiltin("fake", &FakeModule::Entry);
        g_prompts.clear();
        SetCameraPromptHandler(&RecordPrompt);
        EXPECT_EQ(module_.InitModule(), 0);
        module_.SetWinTitle("Lumora - Browser", "Lumora - Transfer");
    }
    ~CameraModuleTest() override { SetCameraPromptHandler(nullptr); }

    int32_t Ask(uint32_t kind, uint32_t defaultButton, const char* text, const char* text2 = nullptr)
    {
        DornPromptRequest request{sizeof(DornPromptRequest), kind, defaultButton, text, text2};
        const DornCallbackRecord cb = fake_.callbacks[module_.GetObjectRecord()][DORN_CAP_REQUEST_CB];
        return reinterpret_cast<DornRequestProc>(cb.procedure)(cb.reference, reinterpret_cast<uintptr_t>(&request));
    }

    FakeModule fake_;
    CCameraModule module_;
};

TEST_F(CameraModuleTest, PromptWithoutTextShowsNothing)
{
    EXPECT_EQ(Ask(1, 0, nullptr), 0);
    EXPECT_EQ(Ask(1, 0, ""), 0);
    EXPECT_TRUE(g_prompts.empty());
}

TEST_F(CameraModuleTest, PromptKindsAndAnswers)
{
    struct Case {
        uint32_t kind, defaultButton;
        int32_t buttons, expectedDefault, answer, expected;
    };
    const Case cases[] = {
        {1, 2, 1, 2, 2, 2},  // OK/Cancel, Cancel by default, answered Cancel
        {2, 0, 2, 1, 3, 3},  // Yes/No, answered Yes
        {3, 3, 3, 3, 4, 4},  // Yes/No/Cancel, third by default, answered No
        {9, 2, 0, 1, 1, 1},  // anything else: OK
        {1, 0, 1, 1, 6, 0},  // an answer the module does not know
    };
    for (const Case& c : cases) {
        g_prompts.clear();
        g_answer = c.answer;
        EXPECT_EQ(Ask(c.kind, c.defaultButton, "Card full.", " Delete pictures?"), c.expected);
        ASSERT_EQ(g_prompts.size(), 1u);
        EXPECT_EQ(g_prompts[0].buttons, c.buttons);
        EXPECT_EQ(g_prompts[0].defaultButton, c.expectedDefault);
        EXPECT_EQ(g_prompts[0].text, "Card full. Delete pictures?");
        EXPECT_EQ(g_prompts[0].caption, "Lumora");
        EXPECT_EQ(g_prompts[0].ownerTitle1, "Lumora - Browser");
    }
}

TEST_F(CameraModuleTest, PromptsAskedBelowTheModuleReachIt)
{
    fake_.SendEvent(module_.GetObjectRecord(), DORN_EVENT_ADDED, 1);
    ASSERT_EQ(module_.GetChildren().size(), 1u);
    EXPECT_EQ(module_.GetLastChild(), module_.GetChildren()[0].Get());
    CDornObject* source = module_.GetChildren()[0].Get();
    g_answer = 1;
    DornPromptRequest request{sizeof(DornPromptRequest), 1, 0, "Hello", nullptr};
    const DornCallbackRecord cb = fake_.callbacks[source->GetObjectRecord()][DORN_CAP_REQUEST_CB];
    EXPECT_EQ(reinterpret_cast<DornRequestProc>(cb.procedure)(cb.reference, reinterpret_cast<uintptr_t>(&request)), 1);
    EXPECT_EQ(g_prompts.size(), 1u);
}

TEST_F(CameraModuleTest, CameraPresentFlagAnswersZeroOnceAfterAClose)
{
    EXPECT_EQ(module_.IsCameraPresent(), 0);
    module_.SetCameraPresent(true);
    EXPECT_EQ(module_.IsCameraPresent(), 1);
    module_.OnSourceClosed();
    EXPECT_EQ(module_.IsCameraPresent(), 0);
    module_.SetCameraPresent(true);
    EXPECT_EQ(module_.IsCameraPresent(), 0);  // the first read after the close
    EXPECT_EQ(module_.IsCameraPresent(), 1);
}

}  // namespace
