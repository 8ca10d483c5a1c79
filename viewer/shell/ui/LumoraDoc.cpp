#include "viewer/shell/ui/LumoraDoc.h"

#include "viewer/shell/common/WinVersion.h"

#include <atomic>

namespace {
std::atomic<int> g_appLocks{0};
}  // namespace

CLumoraDoc::CLumoraDoc()
{
    ++g_appLocks;
}

CLumoraDoc::~CLumoraDoc()
{
    --g_appLocks;
}

bool CLumoraDoc::OnOpenDocument(const std::string& path, int versionCode) const
{
    return versionCode == kAutoPlayVersionCode && path.size() == 3;
}

bool CLumoraDoc::OnOpenDocument(const std::string& path) const
{
    return OnOpenDocument(path, CWinVersion().GetWindowsVersionCode());
}

int CLumoraDoc::AppLockCount()
{
    return g_appLocks.load();
}
