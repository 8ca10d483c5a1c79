// The parts of other subsystems that this build does not have yet: each answers
// with a failure and says so on standard error.
#include "viewer/shell/WorkWindows.h"

#include <cstdio>

namespace {

void NotAvailable(const char* what)
{
    std::fprintf(stderr, "Lumora: %s is not available in this build\n", what);
}

}  // namespace

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
