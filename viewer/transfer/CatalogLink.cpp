#include "viewer/transfer/CatalogLink.h"

#include "platform/com/ComClasses.h"
#include "platform/com/DispatchCall.h"
#include "platform/com/RemoteObject.h"
#include "platform/desktop/Desktop.h"
#include "platform/fs/FileOps.h"
#include "platform/proc/Process.h"
#include "platform/thread/Timing.h"
#include "viewer/shell/common/LangString.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace {

using plat::DispatchKind;
using plat::RemoteObject;
using plat::Variant;
namespace hr = plat::hr;

// Catalog results.
constexpr int32_t kAssetMax = -114;
constexpr int32_t kFolderApplication = -115;
constexpr int32_t kNotExecuted = -117;
constexpr int32_t kExecuteMemory = -118;
constexpr int32_t kNoSendFile = -121;
constexpr int32_t kExecuteError = -122;
constexpr int32_t kNoTitle = -123;
constexpr int32_t kNoConnection = -124;
constexpr int32_t kEmptyTarget = -125;
constexpr int32_t kNoTarget = -126;
constexpr int32_t kEmptyApplication = -127;
constexpr int32_t kNoApplication = -128;

// The catalog application's class id (the program's own string 62070).
constexpr const char* kQuillbaseClassId = "{3E7C1A50-9B2D-4F61-8A47-5D0C9E2B7F18}";

// Dispatch ids of the application's automation.
constexpr int32_t kNewCatalog = 14;
constexpr int32_t kOpenCatalog = 15;
constexpr int32_t kActivate = 16;
constexpr int32_t kVisible = 4;
constexpr int32_t kCatalogs = 10;
constexpr int32_t kCount = 3;
constexpr int32_t kItem = 7;
constexpr int32_t kCatalog = 16;
constexpr int32_t kFullName = 8;
constexpr int32_t kAddFile = 30;

struct Row {
    uint32_t nameId;
    int32_t kind;      // 0 a catalog file, 1 a folder
    uint32_t titleId;  // 0 none
    bool classId;
};
constexpr Row kRows[] = {
    {62203, 0, 0, true},
    {62204, 1, 0, false},
    {62205, 1, 62206, false},
};

bool equalsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string afterLast(const std::string& path, char separator) {
    const auto p = path.find_last_of(separator);
    return p == std::string::npos ? path : path.substr(p + 1);
}

bool isFile(const std::string& path) { return plat::fileExists(path) && !plat::folderExists(path); }

bool isWritableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR);
}

plat::HResult objectOf(plat::HResult r, const Variant& v, std::shared_ptr<RemoteObject>* out) {
    if (r < 0) return r;
    if (v.type != Variant::Type::Dispatch || !v.remote) return hr::TypeMismatch;
    *out = v.remote;
    return hr::Ok;
}

// A program that cannot be started: missing (as the system's "file not found"), or any other failure.
int32_t StartFailure(plat::ProcResult r) {
    return r == plat::ProcResult::NotFound ? kNoApplication : kExecuteError;
}

}  // namespace

CCatalogLink::CCatalogLink() : CCatalogLink([](uint32_t id) { return CLangString(id).Text(); }) {}

CCatalogLink::CCatalogLink(TextLookup texts) : texts_(std::move(texts)) { Reset(); }

CCatalogLink::~CCatalogLink() = default;

void CCatalogLink::Reset() {
    row_ = kind_ = titleId_ = -1;
    classIdValid_ = false;
    classId_.clear();
    application_.clear();
    target_.clear();
}

bool CCatalogLink::MatchApplication(const std::string& application) {
    application_ = application;
    for (int32_t i = 0; i < 3; ++i) {
        const std::string name = texts_(kRows[i].nameId);
        if (name.empty()) continue;
        if (equalsNoCase(afterLast(application, '/'), name) || equalsNoCase(afterLast(application, '\\'), name)) {
            row_ = i;
            kind_ = kRows[i].kind;
            titleId_ = static_cast<int32_t>(kRows[i].titleId);
            return true;
        }
    }
    return false;
}

bool CCatalogLink::MakeClassId() {
    if (!kRows[row_].classId) return true;
    classIdValid_ = plat::normaliseClassId(kQuillbaseClassId, &classId_);
    return classIdValid_;
}

bool CCatalogLink::TargetIsRowKind() const {
    if (kind_ == 1) return plat::folderExists(target_);
    return isWritableFile(target_);
}

int32_t CCatalogLink::StartApplication() {
    if (started_ != 0 && plat::isProcessAlive(started_)) return 0;
    std::shared_ptr<RemoteObject> running;
    if (RemoteObject::connectRunning(classId_, &running) >= 0) return 0;   // served already
    if (!isFile(application_)) return kNoApplication;
    pid_t pid = 0;
    if (const plat::ProcResult r = plat::startDetached(application_, {}, &pid); r != plat::ProcResult::Ok)
        return StartFailure(r);
    started_ = pid;
    // Wait (bounded) until the application serves its automation class.
    for (int waited = 0; waited < startTimeoutMs_; waited += 50) {
        if (RemoteObject::connectRunning(classId_, &running) >= 0) return 0;
        plat::sleepMs(50);
    }
    return kExecuteError;
}

int32_t CCatalogLink::StartFolderApplication() {
    if (!isFile(application_)) return kNoApplication;
    const plat::ProcResult r = plat::startDetached(application_, {target_});
    return r == plat::ProcResult::Ok ? 0 : StartFailure(r);
}

plat::HResult CCatalogLink::Attach(std::shared_ptr<RemoteObject>* app) {
    if (RemoteObject::connectRunning(classId_, app) >= 0) return hr::Ok;
    return RemoteObject::create(classId_, app);
}

plat::HResult CCatalogLink::FindCatalog(RemoteObject& app, std::shared_ptr<RemoteObject>* catalog) {
    Variant v;
    std::shared_ptr<RemoteObject> catalogs;
    plat::HResult r = objectOf(plat::invokeDispatch(app, kCatalogs, DispatchKind::PropertyGet, {}, &v), v, &catalogs);
    if (r < 0) return r;
    Variant count;
    r = plat::invokeDispatch(*catalogs, kCount, DispatchKind::PropertyGet, {}, &count);
    if (r < 0) return r;
    for (int32_t i = 0; count.type == Variant::Type::I4 && i < count.i4; ++i) {
        std::shared_ptr<RemoteObject> entry, candidate;
        r = objectOf(plat::invokeDispatch(*catalogs, kItem, DispatchKind::PropertyGet, {Variant::fromInt(i)}, &v), v,
                     &entry);
        if (r < 0) return r;
        r = objectOf(plat::invokeDispatch(*entry, kCatalog, DispatchKind::PropertyGet, {}, &v), v, &candidate);
        if (r < 0) return r;
        Variant name;
        r = plat::invokeDispatch(*candidate, kFullName, DispatchKind::PropertyGet, {}, &name);
        if (r < 0) return r;
        if (name.bstr && equalsNoCase(*name.bstr, target_)) {
            *catalog = candidate;
            return hr::Ok;
        }
    }
    std::shared_ptr<RemoteObject> entry;
    r = objectOf(plat::invokeDispatch(app, kOpenCatalog, DispatchKind::Method,
                                      {Variant::fromString(target_), Variant::fromString(std::string())}, &v),
                 v, &entry);
    if (r < 0) return r;
    return objectOf(plat::invokeDispatch(*entry, kCatalog, DispatchKind::PropertyGet, {}, &v), v, catalog);
}

int32_t CCatalogLink::CreateCatalog(const std::string& application, const std::string& catalog) {
    Reset();
    if (!MatchApplication(application) || row_ != 0 || !isFile(application)) return kNoApplication;
    target_ = catalog;
    if (!MakeClassId()) return kNoConnection;
    if (plat::fileExists(catalog)) return kNotExecuted;
    if (const int32_t r = StartApplication(); r != 0) return r;
    std::shared_ptr<RemoteObject> app;
    if (Attach(&app) < 0) return kNoConnection;
    Variant v;
    if (plat::invokeDispatch(*app, kNewCatalog, DispatchKind::Method,
                             {Variant::fromString(catalog), Variant::fromString(std::string())}, &v) < 0)
        return kNotExecuted;
    return 0;
}

int32_t CCatalogLink::OpenDatabase(const std::string& application, const std::string& target) {
    Reset();
    if (application.empty()) return kEmptyApplication;
    if (target.empty()) return kEmptyTarget;
    if (!MatchApplication(application) || !isFile(application)) return kNoApplication;
    target_ = target;
    if (!TargetIsRowKind()) return kNoTarget;
    if (!MakeClassId()) return kNoConnection;
    return 0;
}

int32_t CCatalogLink::_CatalogAsset(const std::string& picture) {
    if (kind_ == 1) return kFolderApplication;
    if (!isFile(picture)) return kNoSendFile;
    if (!TargetIsRowKind()) return kNoTarget;
    if (!classIdValid_) return kNoConnection;
    if (const int32_t r = StartApplication(); r != 0) return r;
    std::shared_ptr<RemoteObject> app, catalog;
    if (Attach(&app) < 0 || FindCatalog(*app, &catalog) < 0) return kNoConnection;
    Variant name;
    if (plat::invokeDispatch(*catalog, kFullName, DispatchKind::PropertyGet, {}, &name) < 0 || !name.bstr ||
        !equalsNoCase(*name.bstr, target_))
        return kNoConnection;
    // A picture the catalog refused is a failure, not a quiet success.
    if (plat::invokeDispatch(*catalog, kAddFile, DispatchKind::Method, {Variant::fromString(picture)}) < 0)
        return kNoSendFile;
    return 0;
}

int32_t CCatalogLink::CloseDatabase() {
    if (!isFile(application_)) return kNoApplication;
    if (!TargetIsRowKind()) return kNoTarget;
    if (titleId_ > 0) {
        const std::string title = texts_(static_cast<uint32_t>(titleId_));
        if (title.empty()) return kNoTitle;
        if (const auto window = plat::findTopLevelByTitle(title)) {
            plat::restoreAndRaise(*window);
            started_ = 0;
            Reset();
            return 0;
        }
    }
    if (kind_ == 1) return StartFolderApplication();
    if (const int32_t r = StartApplication(); r != 0) return r;
    std::shared_ptr<RemoteObject> app, catalog;
    if (Attach(&app) < 0) return kNoConnection;
    if (plat::invokeDispatch(*app, kActivate, DispatchKind::Method, {}) < 0 ||
        plat::invokeDispatch(*app, kVisible, DispatchKind::PropertyPut, {Variant::fromBool(true)}) < 0 ||
        FindCatalog(*app, &catalog) < 0)
        return kNoConnection;
    return 0;
}

uint32_t CCatalogLink::ResultToMessageId(int32_t code) {
    switch (code) {
    case 0: return 0;
    case kNoApplication: return 61628;
    case kEmptyApplication: return 61671;
    case kNoTarget: return 61631;
    case kEmptyTarget: return 61672;
    case kNoConnection: return 61630;
    case kExecuteError: return 61629;
    case kExecuteMemory: return 61600;
    case kNotExecuted:
    case -116: return 61658;
    case kAssetMax: return 61632;
    case -113: return 61666;
    default: return 61602;
    }
}
