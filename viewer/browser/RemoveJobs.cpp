#include "viewer/browser/RemoveJobs.h"

#include "platform/msg/Messaging.h"
#include "viewer/shell/common/ViewerMessages.h"

#include <algorithm>

CRemoveFileThread::CRemoveFileThread(BrowserItemList& items, std::list<std::string>& names, JobAccess& access)
    : items_(items), names_(names), access_(access) {}

CRemoveFileThread::~CRemoveFileThread() { Join(); }

int32_t CRemoveFileThread::Start(const std::string& folder) {
    folder_ = folder;
    return CJobThread::Start([this] { return uint32_t(RemoveSelected()); });
}

uint32_t CRemoveFileThread::Run() {
    WaitForWorker(200);
    PostDone(0);   // the dialog ends on any outcome; the failure is read from the job
    return 0;
}

int32_t CRemoveFileThread::RemoveSelected() {
    if (!plat::waitForWindow(Owner(), &AbandonFlag())) return 0;
    int32_t result = 1;
    int32_t position = 0;
    for (BrowserItem& item : items_) {
        if (Cancelled()) break;
        if (!item.selected) continue;
        position += 10;
        if (access_.IsFile(folder_, item.fileName)) {
            const int32_t r = access_.DeleteFile(folder_, item.fileName);
            if (r != 0) {
                failed_.store(r);
                result = 0;
                break;
            }
        }
        item.removed.store(1);
        const auto it = std::find(names_.begin(), names_.end(), item.fileName);
        if (it != names_.end()) names_.erase(it);
        plat::postMessage(Owner(), UM_PROGRESS, uintptr_t(position), 0);
    }
    SignalDoneUnlessCancelled();
    return result;
}

CRemoveFolderThread::CRemoveFolderThread(plat::WindowHandle owner, JobAccess& access) : access_(access) {
    CJobThread::Setup(owner, plat::Event());
}

CRemoveFolderThread::~CRemoveFolderThread() { Join(); }

int32_t CRemoveFolderThread::Start(const std::string& folder) {
    folder_ = folder;
    return CJobThread::Start([this] { return uint32_t(RemoveFolder()); });
}

uint32_t CRemoveFolderThread::Run() {
    PostDone(WaitForWorker(100));
    return 0;
}

int32_t CRemoveFolderThread::RemoveFolder() {
    if (!plat::waitForWindow(Owner(), &AbandonFlag())) return 0;
    return access_.DeleteFolder(folder_) == 0 ? 1 : 0;
}
