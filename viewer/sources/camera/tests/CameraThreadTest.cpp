// The camera's protect/hide and format jobs: the worker changes the pictures,
// the watcher closes the wait dialog with UM_WORKER_DONE.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "platform/msg/MessageBox.h"
#include "platform/msg/MessageReceiver.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/camera/CFChgFileAttrThreadForRundle.h"
#include "viewer/sources/camera/CFFormatThreadForRundle.h"
#include "viewer/sources/camera/CameraPromptBox.h"
#include "viewer/sources/camera/tests/CameraTestSupport.h"

using namespace camtest;

namespace {

QCoreApplication& App()
{
    static int argc = 1;
    static char name[] = "camera_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

// A wait dialog and an owner view that record what they are sent.
struct Windows {
    Windows()
        : wait([this](uint32_t m, plat::WParam w, plat::LParam) {
              if (m == UM_WORKER_DONE) doneParam = static_cast<int64_t>(w);
              return plat::LResult(0);
          }),
          view([this](uint32_t m, plat::WParam w, plat::LParam) {
              if (m == UM_SELECTION_CHANGED) selectionPosts.push_back(w);
              return plat::LResult(0);
          })
    {
        App();
    }

    // Runs the loop until the dialog is told to close (bounded).
    bool WaitDone()
    {
        QElapsedTimer timer;
        timer.start();
        while (doneParam < 0 && timer.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::processEvents();
        return doneParam >= 0;
    }

    plat::MessageReceiver wait;
    plat::MessageReceiver view;
    int64_t doneParam = -1;
    std::vector<plat::WParam> selectionPosts;
};

struct Job {
    std::vector<CameraJobPicture> pictures;
    std::vector<int32_t> answers;  // result per change, in order
    std::vector<std::string> changed;
};

int32_t RunAttributeJob(Windows& windows, Job& job, int32_t kind, int32_t value, std::atomic<int32_t>* stop = nullptr)
{
    std::vector<CameraJobPicture*> items;
    for (CameraJobPicture& p : job.pictures) items.push_back(&p);
    size_t call = 0;
    CameraAttributeOperation op = [&](const std::string& folder, const std::string& name, int32_t v) {
        EXPECT_EQ(folder, "DCIM/100TEST");
        EXPECT_EQ(v, value);
        job.changed.push_back(name);
        return call < job.answers.size() ? job.answers[call++] : 0;
    };
    CameraJobOwner owner;
    owner.window = windows.view.handle();
    owner.accessFileLib = plat::Event::create(plat::Event::Reset::Auto, false);
    owner.stopFlag = stop;
    int32_t result = 12345;
    {
        CCFChgFileAttrThreadForRundle thread("DCIM/100TEST", &items, kind, value, &owner, windows.wait.handle(),
                                             &result, op, op);
        EXPECT_TRUE(thread.Start());
        EXPECT_TRUE(windows.WaitDone());
    }
    EXPECT_EQ(windows.doneParam, 1);  // always closed with 1; failures come through the result
    EXPECT_EQ(plat::waitFor(owner.accessFileLib, 0), plat::kWaitSignalled);
    return result;
}

Job FourSelected()
{
    Job job;
    for (const char* name : {"A.JPG", "B.JPG", "C.JPG", "D.JPG"}) job.pictures.push_back({1, name, 0, 0});
    return job;
}

TEST(CameraAttributeJob, ProtectsSelectedPicturesThatNeedIt)
{
    Windows windows;
    Job job = FourSelected();
    job.pictures[1].selected = 0;
    job.pictures[2].readOnly = 1;  // already protected: nothing to do
    EXPECT_EQ(RunAttributeJob(windows, job, CCFChgFileAttrThreadForRundle::Protect, 1), 0);
    EXPECT_EQ(job.changed, (std::vector<std::string>{"A.JPG", "D.JPG"}));
    EXPECT_EQ(job.pictures[0].readOnly, 1);
    EXPECT_EQ(job.pictures[1].readOnly, 0);
    EXPECT_EQ(job.pictures[3].readOnly, 1);
}

TEST(CameraAttributeJob, FailureSequences)
{
    struct Case {
        std::vector<int32_t> answers;
        size_t changes;  // pictures tried
        int32_t result;
    };
    const Case cases[] = {
        {{-99, -97, -99, -97}, 4, -97},       // not-found and hide failures never stop it
        {{-98, 0, 0, 0}, 4, -98},             // one other failure is kept
        {{-98, -99, 0, 0}, 4, -98},           // and not replaced by a later not-found
        {{-98, 0, -114, 0}, 3, -114},         // a second other failure ends it
        {{-99, -98, -97, -114}, 4, -114},
    };
    for (const Case& c : cases) {
        Windows windows;
        Job job = FourSelected();
        job.answers = c.answers;
        EXPECT_EQ(RunAttributeJob(windows, job, CCFChgFileAttrThreadForRundle::Hide, 1), c.result);
        EXPECT_EQ(job.changed.size(), c.changes);
    }
}

TEST(CameraAttributeJob, StopFlagPostsTheItemAndEnds)
{
    Windows windows;
    Job job = FourSelected();
    std::atomic<int32_t> stop{1};
    EXPECT_EQ(RunAttributeJob(windows, job, CCFChgFileAttrThreadForRundle::Protect, 1, &stop), 0);
    EXPECT_EQ(job.changed.size(), 1u);
    ASSERT_EQ(windows.selectionPosts.size(), 1u);
    EXPECT_EQ(windows.selectionPosts[0], reinterpret_cast<plat::WParam>(&job.pictures[0]));
}

std::atomic<bool> g_asking{false};

int32_t AskThroughTheBox(const CameraPrompt& prompt)
{
    g_asking = true;
    return ShowCameraPrompt(prompt);
}

TEST(CameraFormatJob, CameraQuestionFromTheWorkerIsShownWhileTheMainThreadWaitsForTheCamera)
{
    CameraCard card;
    CameraSetup setup(card);
    card.MakeStandard();
    card.WriteConfig({"prompt_on_format=1"});
    CRundleCtrl ctrl(DeviceFor(Road::InProcess));
    ASSERT_EQ(ctrl.Initialize(), 0);
    ASSERT_EQ(ctrl.IsTargetStatus("100TEST"), 0);
    Windows windows;
    InstallCameraPromptBox();
    SetCameraPromptHandler(&AskThroughTheBox);
    std::atomic<int> boxes{0};
    plat::setMessageBoxResponder([&](const plat::MessageBoxRequest&) {
        ++boxes;
        return plat::kAnswerOk;
    });
    g_asking = false;
    CameraJobOwner owner;
    CCFFormatThreadForRundle thread(&ctrl, &owner, windows.wait.handle());
    ASSERT_TRUE(thread.Start());
    while (!g_asking) std::this_thread::yield();   // the worker holds the camera and asks
    // A status tick of the main thread now wants the camera.
    EXPECT_EQ(ctrl.IsTargetStatus("100TEST"), JqIfMngResult_StatusNotOurs);   // after the format
    EXPECT_EQ(boxes.load(), 1);
    ASSERT_TRUE(windows.WaitDone());
    EXPECT_EQ(windows.doneParam, 1);
    plat::setMessageBoxResponder(nullptr);
    SetCameraPromptHandler(nullptr);
    SetCameraLockWait(nullptr);
}

TEST(CameraFormatJob, ReportsOutcomeThroughTheDialog)
{
    CameraCard card;
    CameraSetup setup(card);
    card.MakeStandard();
    card.WriteConfig();
    CRundleCtrl ctrl(DeviceFor(Road::InProcess));
    ASSERT_EQ(ctrl.Initialize(), 0);
    {
        Windows windows;
        CameraJobOwner owner;
        CCFFormatThreadForRundle thread(&ctrl, &owner, windows.wait.handle());
        ASSERT_TRUE(thread.Start());
        ASSERT_TRUE(windows.WaitDone());
        EXPECT_EQ(windows.doneParam, 1);
    }
    EXPECT_TRUE(std::filesystem::is_empty(card.root() / "DCIM"));
    {
        // Formatted: the medium counts as gone, so a second format fails.
        Windows windows;
        CameraJobOwner owner;
        CCFFormatThreadForRundle thread(&ctrl, &owner, windows.wait.handle());
        ASSERT_TRUE(thread.Start());
        ASSERT_TRUE(windows.WaitDone());
        EXPECT_EQ(windows.doneParam, 0);
    }
}

}  // namespace
