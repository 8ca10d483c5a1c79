#include "viewer/sources/camera/CameraModule.h"

#include <atomic>

#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/AsyncWaitTask.h"
#include "viewer/sources/camera/CameraSource.h"

namespace {

std::atomic<CameraPromptHandler> g_promptHandler{nullptr};

}  // namespace

void SetCameraPromptHandler(CameraPromptHandler handler)
{
    g_promptHandler = handler;
}

CCameraModule::CCameraModule(const std::string& moduleName) : moduleName_(moduleName) {}

CCameraModule::~CCameraModule()
{
    CloseModule();
}

CDornObject* CCameraModule::MakeChild(uint32_t)
{
    return new CCameraSource(this);
}

void CCameraModule::OnChildAdded(CDornObject* child)
{
    lastChild_ = child;
    CDornModule::OnChildAdded(child);
}

void CCameraModule::OnModuleEvent(uint32_t event, uint32_t data)
{
    if (event == DORN_EVENT_REMOVED) {
        // The camera went away: its source stops answering at once, even when
        // it is in use and its release is deferred.
        for (const CDornObjectRef& ref : GetChildren()) {
            auto* source = dynamic_cast<CCameraSource*>(ref.Get());
            if (source && source->GetId() == data) {
                source->SetConnectionError(DORN_R_NO_ANSWER);
                SetCameraPresent(false);
            }
        }
    }
    CDornModule::OnModuleEvent(event, data);
}

void CCameraModule::SetWinTitle(const std::string& first, const std::string& second)
{
    title1_ = first;
    title2_ = second;
}

int32_t CCameraModule::InitModule()
{
    int32_t r = OpenModule(moduleName_);
    if (r != 0) return r;
    sourceGone_ = false;
    CAsyncWaitTask task;
    QueueIdle(&task);
    task.Submit();
    return WaitTaskIdle(task);
}

int32_t CCameraModule::OnModuleRequest(uintptr_t value)
{
    const auto* request = reinterpret_cast<const DornPromptRequest*>(value);
    if (!request || request->size < sizeof(DornPromptRequest) || !request->text || !*request->text) return 0;
    CameraPrompt prompt;
    prompt.ownerTitle1 = title1_;
    prompt.ownerTitle2 = title2_;
    prompt.caption = "Lumora";
    prompt.text = request->text;
    if (request->text2) prompt.text += request->text2;
    switch (request->kind) {
    case 1:
    case 2:
        prompt.buttons = static_cast<int32_t>(request->kind);
        prompt.defaultButton = request->defaultButton == 2 ? 2 : 1;
        break;
    case 3:
        prompt.buttons = 3;
        prompt.defaultButton = request->defaultButton == 2 || request->defaultButton == 3
                                   ? static_cast<int32_t>(request->defaultButton) : 1;
        break;
    default:
        prompt.buttons = 0;
        prompt.defaultButton = 1;
        break;
    }
    const CameraPromptHandler handler = g_promptHandler;
    const int32_t answer = handler ? handler(prompt) : 0;
    return answer >= 1 && answer <= 4 ? answer : 0;
}

int32_t CCameraModule::IsCameraPresent()
{
    if (cameraPresent_ && !readOnce_) {
        readOnce_ = 1;
        return 0;
    }
    return cameraPresent_;
}

void CCameraModule::SetCameraPresent(bool present)
{
    cameraPresent_ = present ? 1 : 0;
}

void CCameraModule::OnSourceClosed()
{
    cameraPresent_ = 0;
    readOnce_ = 0;
}
