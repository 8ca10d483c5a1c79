#include "viewer/shell/AppHelpers.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/Messaging.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

constexpr const char* kTempFolderName = "temp";  // 62052
constexpr auto kWaitStep = std::chrono::milliseconds(200);

bool MakeFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

bool MakeWorkFolderIn(const std::string& tempFolder, const std::string& name, std::string* path)
{
    if (tempFolder.empty() || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return false;
    const std::string level1 = tempFolder + "/" + kTempFolderName;
    const std::string level2 = level1 + "/" + name;
    if (!MakeFolder(level1) || !MakeFolder(level2))
        return false;
    *path = level2;
    return true;
}

bool MakeWorkFolder(const std::string& name, std::string* path)
{
    const CLumoraApp* app = TheApp();
    return app && MakeWorkFolderIn(app->TempFolder(), name, path);
}

bool WaitForWindow(const std::function<plat::WindowHandle()>& handleOf, const std::atomic<bool>* abandon)
{
    while (!plat::isWindow(handleOf())) {
        if (abandon && abandon->load())
            return false;
        std::this_thread::sleep_for(kWaitStep);
    }
    std::this_thread::sleep_for(kWaitStep);
    return true;
}

void TreeSelectTimerProc(plat::WindowHandle window, uint32_t /*timerId*/)
{
    plat::sendMessage(window, UM_TREE_CHECK, 0, 0);
}
