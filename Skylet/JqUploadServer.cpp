#include "Skylet/JqUploadServer.h"

#include "Skylet/ErrorBox.h"
#include "Skylet/UploadProgram.h"
#include "platform/sysroot/SystemRoot.h"

#include <cstdio>
#include <limits>

namespace skylet {

namespace {

void DebugOutput(const char* text) { std::fprintf(stderr, "Skylet: %s\n", text); }

}  // namespace

plat::HResult CJqUploadServer::call(uint32_t method, plat::WireReader& in, plat::WireWriter&) {
    switch (method) {
    case kAddFileMethod: {
        std::optional<std::string> path;
        int32_t owner = 0;
        if (!decodeAddFile(in, &path, &owner)) return plat::hr::InvalidArg;
        return AddFile(path, owner);
    }
    case kStartUploadMethod:
        if (!in.atEnd()) return plat::hr::InvalidArg;
        return StartUpload();
    default: return plat::hr::NotImplemented;
    }
}

bool CJqUploadServer::EnsureQueueFile() {
    if (queue_) return true;
    UploadQueueFile file;
    if (!UploadQueueFile::create(plat::SystemRoot::current().tempPath(), &file)) return false;
    queue_ = file;
    itemCount_ = 0;
    return true;
}

void CJqUploadServer::ForgetQueue() {
    queue_.reset();
    itemCount_ = 0;
}

plat::HResult CJqUploadServer::AddFile(const std::optional<std::string>& strPathName, int32_t nOwner) {
    // 1. the queue file of this queue, made on its first item
    if (!EnsureQueueFile()) return plat::hr::Fail;
    // 2. the item's number; the count is 16 bits wide and never wraps
    if (itemCount_ == std::numeric_limits<int16_t>::max()) return plat::hr::Fail;
    const int n = ++itemCount_;
    // 3-5. the path as it came (raw bytes; a null path writes no Source line) and the owner
    if (!queue_->addItem(n, strPathName, nOwner)) return plat::hr::Fail;
    return plat::hr::Ok;
}

// The program is looked for before anything is recorded, so a missing program
// leaves neither a completed queue nor a registry value pointing at it; a
// program that cannot be started takes its queue and value back.
plat::HResult CJqUploadServer::StartUpload() {
    // 1. nothing queued: nothing to do
    if (itemCount_ == 0 || !queue_) return plat::hr::Ok;
    // 2. the upload program runs (or nobody can tell): the queue is discarded
    if (!MayStartUploadProgram()) {
        queue_->remove();
        ForgetQueue();
        return plat::hr::AccessDenied;
    }
    // 3. where the program is
    std::filesystem::path program;
    if (!FindUploadProgram(&program)) {
        ShowErrorBox("Unable to find App, " + program.string());
        return plat::hr::Fail;
    }
    // 4. the number of items
    if (!queue_->writeTotalItems(itemCount_)) {
        DebugOutput("Unable to write number of items to ini file");
        return plat::hr::Fail;
    }
    // 5. the queue's path for the upload program
    std::optional<std::string> previous;
    if (!StoreQueuedDataFile(queue_->path().string(), &previous)) {
        DebugOutput("Unable to write Queue Data File to the registry");
        DebugOutput("Unable to save file name to registry");
        return plat::hr::Fail;
    }
    // 6. the queue is handed over
    const UploadQueueFile handedOver = *queue_;
    ForgetQueue();
    // 7. the program
    if (!StartUploadProgram(program)) {
        handedOver.remove();
        RestoreQueuedDataFile(previous);
        ShowErrorBox("Unable to Create Process, " + program.string());
        return plat::hr::Fail;
    }
    return plat::hr::Ok;
}

}  // namespace skylet
