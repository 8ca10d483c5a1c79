#include "viewer/shell/AppHelpers.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/common/FolderTools.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/Messaging.h"

bool MakeWorkFolder(const std::string& name, std::string* path)
{
    const CLumoraApp* app = TheApp();
    return app && MakeWorkFolderIn(app->TempFolder(), name, path);
}

void TreeSelectTimerProc(plat::WindowHandle window, uint32_t /*timerId*/)
{
    plat::sendMessage(window, UM_TREE_CHECK, 0, 0);
}
