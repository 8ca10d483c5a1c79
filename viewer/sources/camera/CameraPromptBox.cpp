#include "viewer/sources/camera/CameraPromptBox.h"

#include <unistd.h>

#include <optional>

#include "platform/desktop/Desktop.h"
#include "platform/msg/MessageBox.h"
#include "platform/msg/MessageWait.h"
#include "platform/msg/UiThread.h"
#include "platform/thread/Event.h"
#include "viewer/sources/camera/CameraClock.h"

namespace {

// The owner: this program's most recent window whose title begins with one of the titles.
std::optional<plat::TopLevelWindow> FindOwner(const CameraPrompt& prompt)
{
    for (const std::string* title : {&prompt.ownerTitle1, &prompt.ownerTitle2}) {
        if (title->empty()) continue;
        std::optional<plat::TopLevelWindow> found = plat::findTopLevelByTitlePrefix(*title, plat::TitleCase::Sensitive);
        if (found && found->pid == getpid()) return found;
    }
    return std::nullopt;
}

plat::MessageButtons ButtonsOf(int32_t buttons)
{
    switch (buttons) {
    case 1: return plat::MessageButtons::OkCancel;
    case 2: return plat::MessageButtons::YesNo;
    case 3: return plat::MessageButtons::YesNoCancel;
    default: return plat::MessageButtons::Ok;
    }
}

// The UI thread waits for the camera serving what other threads ask of it: a
// worker that holds the camera may be waiting for the UI thread to show its
// camera's question.
bool WaitServingTheUiThread()
{
    if (!plat::isUiThread()) return false;
    static const plat::Event never = plat::Event::create(plat::Event::Reset::Manual, false);
    plat::waitServingSends(never, 5);
    return true;
}

}  // namespace

int32_t ShowCameraPrompt(const CameraPrompt& prompt)
{
    if (prompt.text.empty()) return 0;
    plat::MessageBoxRequest request;
    const std::optional<plat::TopLevelWindow> owner = FindOwner(prompt);
    if (owner) {
        if (owner->state == plat::WindowState::Minimized) plat::restoreAndRaise(*owner);
        request.owner = owner->window;
    }
    request.text = prompt.text;
    request.caption = prompt.caption;
    request.buttons = ButtonsOf(prompt.buttons);
    request.icon = plat::MessageIcon::Exclamation;
    request.defaultButton = prompt.defaultButton;
    request.topmost = true;
    switch (plat::showMessageBox(request)) {
    case plat::kAnswerOk: return 1;
    case plat::kAnswerCancel: return 2;
    case plat::kAnswerYes: return 3;
    case plat::kAnswerNo: return 4;
    default: return 0;
    }
}

void InstallCameraPromptBox()
{
    SetCameraPromptHandler(&ShowCameraPrompt);
    SetCameraLockWait(&WaitServingTheUiThread);
}
