// The parts of other subsystems that this build does not have yet: each answers
// with a failure and says so on standard error.
#include "viewer/shell/TargetParts.h"
#include "viewer/shell/WorkWindows.h"

#include "viewer/sources/JqIfMngResult.h"

#include <cstdio>

namespace {

void NotAvailable(const char* what)
{
    std::fprintf(stderr, "Lumora: %s is not available in this build\n", what);
}

}  // namespace

int PendingTargetParts::OpenCameraController(const MessageIdRecord&, const std::string&, const std::string&,
                                             bool* created)
{
    NotAvailable("the camera controller");
    *created = false;
    return JqIfMngResult_Failed;
}

int PendingTargetParts::CameraTargetStatus(const std::string&)
{
    return JqIfMngResult_Failed;
}

bool PendingTargetParts::CreateCardSource()
{
    NotAvailable("the card source");
    return false;
}

int PendingTargetParts::CardTargetStatus(const MessageIdRecord&, const std::string&)
{
    return JqIfMngResult_Failed;
}

bool PendingTargetParts::CreatePictureAccess()
{
    NotAvailable("the picture-access object");
    return false;
}

bool PendingTargetParts::CreateDropSource()
{
    NotAvailable("the drag-out drop source");
    return false;
}

bool PendingWorkWindows::OpenTransferPanel(int)
{
    NotAvailable("the transfer panel");
    return false;
}

bool PendingWorkWindows::OpenBrowser(bool)
{
    NotAvailable("the browser");
    return false;
}
