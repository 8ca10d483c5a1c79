#include "viewer/shell/AppHelpers.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/common/FolderTools.h"


bool MakeWorkFolder(const std::string& name, std::string* path)
{
    const CLumoraApp* app = TheApp();
    return app && MakeWorkFolderIn(app->TempFolder(), name, path);
}
