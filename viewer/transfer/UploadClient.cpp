#include "viewer/transfer/UploadClient.h"

#include "Skylet/JqUploadServerProxy.h"
#include "Skylet/QueuedSources.h"
#include "platform/sysroot/SystemRoot.h"
#include "viewer/shell/common/FolderTools.h"

#include <filesystem>
#include <set>

namespace {

// Owner 0: the upload program deletes the file once the album service has it.
constexpr int32_t kOwnerHandsOver = 0;

plat::HResult CreateUploadServer(std::unique_ptr<skylet::IJqUploadServer>* out) {
    std::unique_ptr<skylet::JqUploadServerProxy> proxy;
    plat::HResult r = skylet::JqUploadServerProxy::create(&proxy);
    *out = std::move(proxy);
    return r;
}

}  // namespace

UploadClient::UploadClient() : factory_(CreateUploadServer) {}

UploadClient::UploadClient(ServerFactory factory) : factory_(std::move(factory)) {}

JqIfMngResult UploadClient::ResultOfStartUpload(plat::HResult r) {
    switch (r) {
    case plat::hr::Ok: return JqIfMngResult_NoError;
    case plat::hr::OutOfMemory: return JqIfMngResult_NoMemory;        // -118
    case plat::hr::Fail: return JqIfMngResult_UploadRefused;          // -88
    case plat::hr::AccessDenied: return JqIfMngResult_UploadFailed;   // -89: the upload program already runs
    default: return JqIfMngResult_Failed;                             // -114, S_FALSE too
    }
}

bool UploadClient::UploadFiles(const std::vector<std::string>& paths, JqIfMngResult* result,
                               std::vector<std::string>* notQueued) {
    // 1. general failure until the upload is started
    *result = JqIfMngResult_Failed;
    if (notQueued) notQueued->clear();
    if (paths.empty()) return false;

    // 2. the server object
    std::unique_ptr<skylet::IJqUploadServer> server;
    if (plat::failed(factory_(&server)) || !server) return false;

    // 3. every path, head to tail
    bool added = false;
    for (const std::string& path : paths) {
        if (plat::succeeded(server->AddFile(path, kOwnerHandsOver))) added = true;
        else if (notQueued) notQueued->push_back(path);
    }

    // 4. start the upload when anything was queued
    if (!added) return false;
    const JqIfMngResult r = ResultOfStartUpload(server->StartUpload());
    if (r != JqIfMngResult_NoError) {
        *result = r;
        if (notQueued) *notQueued = paths;  // nothing goes up after all
        return false;
    }
    // 5-6. the object goes with `server`
    *result = JqIfMngResult_NoError;
    return true;
}

void PruneWebUploadFolder(const std::string& webFolder, int minAgeHours, bool removeEmptyYoung) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path web = fs::weakly_canonical(webFolder, ec);
    std::set<std::string> keep;
    for (const std::string& source : skylet::QueuedSources(plat::SystemRoot::current().tempPath())) {
        const fs::path queued = fs::weakly_canonical(source, ec);
        const fs::path relative = queued.lexically_relative(web);
        if (relative.empty() || *relative.begin() == ".." || *relative.begin() == ".") continue;
        keep.insert(relative.begin()->string());
    }
    CleanFolder(webFolder, false, minAgeHours, removeEmptyYoung, keep);
}
