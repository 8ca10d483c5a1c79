#include "viewer/browser/SaveJob.h"

#include "platform/msg/Messaging.h"
#include "viewer/browser/LangFormat.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/JqIfMngResult.h"

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
constexpr int32_t kResultOutOfMemory = -118;
constexpr int32_t kResultDeviceCheck = -114;
constexpr int32_t kResultSaveFailed = -91;
constexpr int32_t kResultDiskFull = -90;
}  // namespace

std::string NormaliseDestination(const std::string& folder) {
    std::string d = folder;
    if (d.empty() || d.back() != '/') d += '/';
    return d;
}

bool IsEmptyMountRoot(const std::string& folder) {
    struct stat self {}, parent {};
    const fs::path p = fs::path(folder).lexically_normal();
    std::string dir = p.string();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (stat(dir.c_str(), &self) != 0 || stat((dir + "/..").c_str(), &parent) != 0) return false;
    const bool root = self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
    if (!root) return false;
    std::error_code ec;
    return fs::directory_iterator(dir, ec) == fs::directory_iterator() && !ec;
}

int32_t CopyThroughTemporary(JobAccess& access, const std::string& sourcePath, const std::string& target) {
    const fs::path t(target);
    const std::string temporary = (t.parent_path() / ("." + t.filename().string() + ".part")).string();
    std::error_code ec;
    fs::remove(temporary, ec);
    int32_t r = access.CopyFile(sourcePath, temporary);
    if (r == 0) {
        fs::rename(temporary, target, ec);
        if (ec) r = kResultSaveFailed;
    }
    if (r != 0) fs::remove(temporary, ec);
    return r;
}

CPreductSaveThread::CPreductSaveThread(plat::WindowHandle view, BrowserItemList& items, JobAccess& access)
    : view_(view), items_(items), access_(access) {}

CPreductSaveThread::~CPreductSaveThread() { Join(); }

void CPreductSaveThread::Setup(plat::WindowHandle owner, plat::Event completion, int32_t* exitSlot) {
    CJobThread::Setup(owner, std::move(completion));
    exitSlot_ = exitSlot;
}

int32_t CPreductSaveThread::Start(const std::string& sourceFolder, const std::string& destinationFolder) {
    source_ = sourceFolder;
    destination_ = destinationFolder;
    if (CJobThread::Start([this] { return uint32_t(SaveSelected()); }) == 1) return 1;
    plat::postMessage(view_, UM_ERROR, uintptr_t(intptr_t(kResultOutOfMemory)), kResultOutOfMemory);
    return 0;
}

uint32_t CPreductSaveThread::Run() {
    const uint32_t code = WaitForWorker(200);
    if (exitSlot_) *exitSlot_ = int32_t(code);
    PostDone(code == 0 ? 1 : 0);
    return 0;
}

void CPreductSaveThread::Progress() { plat::postMessage(Owner(), UM_PROGRESS, uintptr_t(position_), 0); }

bool CPreductSaveThread::AskForRoom(uint32_t size, bool* shortage) {
    for (;;) {
        *shortage = access_.FreeSpace(destination_) < size;
        if (!*shortage || !IsEmptyMountRoot(destination_)) return true;
        const std::string text = FormatLang(LangText(61684), {destination_});
        if (access_.Ask(view_, text, {}, plat::MessageButtons::OkCancel, plat::MessageIcon::Stop) != plat::kAnswerOk)
            return false;
    }
}

CPreductSaveThread::Step CPreductSaveThread::AskAboutTarget(const BrowserItem& item, const std::string& target,
                                                            bool several) {
    std::error_code ec;
    if (!fs::exists(target, ec) || overwriteAll.load()) return Step::Next;
    switch (access_.AskOverwrite(view_, item.fileName, several)) {
    case OverwriteAnswer::OverwriteAll: overwriteAll.store(1); return Step::Next;
    case OverwriteAnswer::Skip: skipThisFile.store(1); return Step::Next;
    case OverwriteAnswer::Overwrite: return Step::Next;
    case OverwriteAnswer::Cancel: break;
    }
    if (Completion().valid()) Completion().set();
    return Step::Stop;
}

CPreductSaveThread::Step CPreductSaveThread::SourceMissing() {
    const int32_t last = access_.LastResult();
    if (last != 0) {
        access_.Ask(view_, LangText(uint32_t(GetErrorStringID(last, 1))), {}, plat::MessageButtons::Ok,
                    plat::MessageIcon::Exclamation);
        if (Completion().valid()) Completion().set();
        return Step::Stop;
    }
    if (access_.Ask(view_, LangText(61648), {}, plat::MessageButtons::OkCancel, plat::MessageIcon::Exclamation) !=
        plat::kAnswerOk) {
        if (Completion().valid()) Completion().set();
        return Step::Stop;
    }
    Progress();
    return Step::Next;
}

CPreductSaveThread::Step CPreductSaveThread::CopyOne(const BrowserItem& item, const std::string& target,
                                                     bool shortage, int32_t* result, std::string* pendingFile) {
    if (!access_.IsFile(source_, item.fileName)) return SourceMissing();
    std::string path;
    int32_t r = access_.GetFullPath(source_, item.fileName, &path);
    if (r == 0) r = CopyThroughTemporary(access_, path, target);
    if (r == 0) {
        Progress();
        return Step::Next;
    }
    if (r == kResultDiskFull)
        *pendingFile = item.fileName;
    else if (shortage || access_.IsFile(source_, item.fileName))
        // The picture is still there, so the destination failed (full, gone,
        // refused): saving failed, and the card stays open.
        *result = kResultSaveFailed;
    else
        *result = r;   // the card went away during the copy
    return Step::Stop;
}

int32_t CPreductSaveThread::SaveSelected() {
    if (!plat::waitForWindow(Owner(), &AbandonFlag())) return 0;
    const bool several = SelectedCount(items_) > 1;
    destination_ = NormaliseDestination(destination_);
    access_.SuspendDeviceCheck();
    int32_t result = 0;
    std::string pendingFull;
    for (BrowserItem& item : items_) {
        if (Cancelled()) break;
        if (!item.selected) continue;
        position_ += 10;
        const std::string target = destination_ + item.fileName;
        bool shortage = false;
        if (!AskForRoom(item.record ? item.record->size : 0, &shortage)) break;
        if (AskAboutTarget(item, target, several) == Step::Stop) break;
        if (skipThisFile.exchange(0)) {
            Progress();
            continue;
        }
        if (CopyOne(item, target, shortage, &result, &pendingFull) == Step::Stop) break;
    }
    if (!pendingFull.empty())
        access_.Ask(view_, FormatLang(LangText(61679), {pendingFull}), {}, plat::MessageButtons::Ok,
                    plat::MessageIcon::Stop);
    SignalDoneUnlessCancelled();
    if (access_.ResumeDeviceCheck() != 0) result = kResultDeviceCheck;
    return result;
}
