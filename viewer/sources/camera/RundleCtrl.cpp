#include "viewer/sources/camera/RundleCtrl.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/fs/DosAttributes.h"
#include "platform/fs/FileOps.h"
#include "platform/thread/Event.h"
#include "platform/thread/Waitable.h"
#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/CameraModule.h"
#include "viewer/sources/camera/CameraSource.h"

namespace {

constexpr int kFormatRetries = 30;       // about a minute of "busy"
constexpr uint32_t kFormatRetryMs = 2000;
constexpr uint32_t kChangeWaitStepMs = 10;

// Camera work is one thread at a time; the source stays alive while in use (a
// removal the module reports meanwhile is deferred until it is released).
class SourceUse {
public:
    explicit SourceUse(CCameraSource* source) : lock_(CameraMutex()), source_(source)
    {
        if (source_) source_->Lock();
    }
    ~SourceUse()
    {
        if (source_ && CDornObject::IsLive(source_)) source_->Unlock();
    }
    SourceUse(const SourceUse&) = delete;
    SourceUse& operator=(const SourceUse&) = delete;

private:
    std::lock_guard<CameraLock> lock_;
    CCameraSource* source_;
};

time_t BaseTime1980()
{
    struct tm t{};
    t.tm_year = 80;
    t.tm_mon = 0;
    t.tm_mday = 1;
    t.tm_isdst = -1;
    return mktime(&t);
}

// Case-insensitive, locale-collating comparison of folder names.
bool SameFolderName(const std::string& a, const std::string& b)
{
    std::string la = a, lb = b;
    std::transform(la.begin(), la.end(), la.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::transform(lb.begin(), lb.end(), lb.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::strcoll(la.c_str(), lb.c_str()) == 0;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string TempNameFor(const std::string& folder, const std::string& name)
{
    return JoinPath(folder, "." + name + ".lumora-part");
}

int64_t CalendarTime(const DornItemDate& date)
{
    struct tm t{};
    t.tm_year = date.year - 1900;
    t.tm_mon = date.month - 1;
    t.tm_mday = date.day;
    t.tm_hour = date.hour;
    t.tm_min = date.minute;
    t.tm_sec = date.second;
    t.tm_isdst = -1;
    const time_t made = mktime(&t);
    return made == static_cast<time_t>(-1) ? static_cast<int64_t>(time(nullptr)) : static_cast<int64_t>(made);
}

}  // namespace

CRundleCtrl::CRundleCtrl(const RundleDeviceRecord& record) : device_(record), baseTime_(BaseTime1980())
{
    device_.Name[sizeof(device_.Name) - 1] = '\0';
    device_.Capability[sizeof(device_.Capability) - 1] = '\0';
}

CRundleCtrl::~CRundleCtrl()
{
    Close();
}

CCameraSource* CRundleCtrl::GetSource() const
{
    if (!module_ || !source_ || module_->IsSourceGone() || !CDornObject::IsLive(source_)) return nullptr;
    return source_;
}

void CRundleCtrl::DropSource()
{
    if (module_ && module_->IsSourceGone()) source_ = nullptr;
}

// ---- connection -----------------------------------------------------------------

JqIfMngResult CRundleCtrl::Initialize()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    if (module_) {
        module_->CloseModule();
        delete module_;
        module_ = nullptr;
        source_ = nullptr;
    }
    module_ = new CCameraModule(device_.Name);
    const int32_t opened = module_->InitModule();
    if (opened != 0) {
        delete module_;
        module_ = nullptr;
        return opened == DORN_R_IN_USE ? JqIfMngResult_Code107 : JqIfMngResult_NoAnswer;
    }
    const JqIfMngResult r = InitSource();
    if (r != 0) {
        module_->CloseModule();
        delete module_;
        module_ = nullptr;
        return r;
    }
    firstStatus_ = 0;
    return IsChkExistFile(0, true, true);
}

JqIfMngResult CRundleCtrl::InitSource()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    const std::vector<CDornObjectRef> sources = module_->GetChildren();
    for (const CDornObjectRef& ref : sources) {
        auto* source = dynamic_cast<CCameraSource*>(ref.Get());
        if (!source || !CDornObject::IsLive(source)) continue;
        std::string name;
        if (source->GetText9(name) != 0) continue;
        if (strcasecmp(name.c_str(), device_.Capability) != 0) continue;
        source_ = source;
        module_->ClearSourceGone();
        int32_t r;
        {
            SourceUse use(source);
            r = source->OpenSource();
        }
        if (r == 0) return 0;
        if (CDornObject::IsLive(source)) module_->RemoveChild(source);
        source_ = nullptr;
        const JqIfMngResult mapped = ChkErr(r);
        return mapped == JqIfMngResult_Failed ? JqIfMngResult_NoAnswer : mapped;
    }
    return JqIfMngResult_NoAnswer;
}

void CRundleCtrl::Close()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    if (!module_) return;
    if (CAsyncScheduler::GetScheduler()->HasWork()) DrainScheduler();
    IsTargetStatus(std::string());
    module_->CloseModule();
    delete module_;
    module_ = nullptr;
    source_ = nullptr;
    copyTemp_.clear();
    copyFinal_.clear();
}

bool CRundleCtrl::IsSessionCheck(int32_t* lost)
{
    *lost = 0;
    DropSource();
    CCameraSource* source = GetSource();
    const int32_t code = source ? source->GetConnectionError() : DORN_R_NO_ANSWER;
    if (code == 0) return true;
    switch (code) {
    case DORN_E_LOST: *lost = JqIfMngResult_StatusNoCard; break;
    case DORN_R_NO_ANSWER: *lost = JqIfMngResult_StatusNoPower; break;
    case DORN_R_NO_MEDIUM: *lost = JqIfMngResult_StatusNotOurs; break;
    default: *lost = ChkErr(code); break;
    }
    return false;
}

JqIfMngResult CRundleCtrl::IsTargetStatus(std::string folderName)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    int32_t lost = 0;
    if (!IsSessionCheck(&lost)) return lost;
    CCameraSource* source = GetSource();
    int32_t id = 0;
    bool changed = false;
    {
        SourceUse use(source);
        const int32_t state = source->GetStatus();
        if (state == 101) return JqIfMngResult_StatusNoPower;
        if (state == 1 && !firstStatus_) {
            firstStatus_ = 1;
            return JqIfMngResult_Module135;
        }
        changed = IsChkFolder(folderName, &id);
        if (changed || id == 0) source->ClearChangeMark(id ? id : 1);
    }
    if (CAsyncScheduler::GetScheduler()->HasWork()) DrainScheduler();
    if (!IsSessionCheck(&lost)) return lost;
    source = GetSource();
    SourceUse use(source);
    const int32_t folder = id ? id : 1;
    if (!source->IsChangePending(folder)) return IsChkExistFile(id, changed, false);
    if (!IsSessionCheck(&lost)) return lost;
    // A change counts as settled 180 ms after it was marked.
    const uint32_t start = CameraTickCount();
    while (!source->IsStatusChangeComplete(folder) && CameraTickCount() - start <= CameraWaitLimit())
        CameraSleep(kChangeWaitStepMs);
    const JqIfMngResult r = IsChkExistFile(id, changed, false);
    return r == 0 ? JqIfMngResult_StatusFilesChanged : r;
}

void CRundleCtrl::SetWinTitle(const std::string& first, const std::string& second)
{
    if (module_) module_->SetWinTitle(first, second);
}

int32_t CRundleCtrl::GetFolderNum()
{
    CCameraSource* source = GetSource();
    if (!source) return 0;
    SourceUse use(source);
    int32_t count = 0;
    source->GetFolderNum(&count);
    return count;
}

bool CRundleCtrl::IsChkFolder(const std::string& folderName, int32_t* folderId)
{
    bool changed;
    if (folderName.empty()) {
        *folderId = 0;
        changed = !currentFolderName_.empty();
    } else {
        const int32_t id = SearchFolderId(folderName);
        *folderId = id <= 0 || id > 900 ? 0 : id;
        changed = currentFolderName_.empty() || !SameFolderName(currentFolderName_, folderName);
    }
    if (changed) currentFolderName_ = folderName;
    return changed;
}

JqIfMngResult CRundleCtrl::IsChkExistFile(int32_t folderId, bool reset, bool quiet)
{
    JqIfMngResult result = 0;
    if (reset) {
        lastFolderId_ = 0;
        fileCount_ = 0;
    }
    const int32_t n = GetFolderNum();
    if (n != folderCount_ && !quiet) result = JqIfMngResult_StatusFoldersChanged;
    folderCount_ = n;
    int32_t total = 0;
    int32_t counted = 0;
    if (CCameraSource* source = GetSource()) {
        SourceUse use(source);
        counted = source->GetTotalFileNum(&total);
    }
    if (counted != 0 || total == 0) {
        int32_t lost = 0;
        if (!IsSessionCheck(&lost)) return lost;
        // A count that failed is that failure, not a camera without pictures.
        return counted != 0 ? ChkErr(counted) : JqIfMngResult_StatusNotOurs;
    }
    if (folderId != 0) {
        const int32_t c = GetFileNum(folderId);
        if (!reset && !quiet && c != fileCount_)
            result = result == JqIfMngResult_StatusFoldersChanged ? JqIfMngResult_StatusBothChanged
                                                                  : JqIfMngResult_StatusFilesChanged;
        lastFolderId_ = folderId;
        fileCount_ = c;
    }
    return result;
}

JqIfMngResult CRundleCtrl::ChkErr(int32_t moduleResult)
{
    switch (moduleResult) {
    case 0: return 0;
    case -255: return JqIfMngResult_ModuleNotLoaded;
    case -254:
    case -253: return JqIfMngResult_ModuleMinus253;
    case -252: return JqIfMngResult_NoMemory;
    case -241: return JqIfMngResult_NotFound;
    case -239:
    case -238:
    case -237:
    case -236:
    case -235: return JqIfMngResult_ModuleMinus235;
    case -122: return JqIfMngResult_ConnectionLost;
    case -118: return JqIfMngResult_NoMemory;
    case -116: return JqIfMngResult_ModuleMinus116;
    case 132: return JqIfMngResult_EmptyFolder;
    case 134:
    case 142: return JqIfMngResult_NoAnswer;
    case 135:
    case 147: return JqIfMngResult_Module135;
    case 141: return JqIfMngResult_Module141;
    case 200: return JqIfMngResult_NoMedium;
    default: return JqIfMngResult_Failed;
    }
}

// ---- folders ----------------------------------------------------------------------

JqIfMngResult CRundleCtrl::GetFolderList(std::vector<std::string>& names, std::vector<int32_t>& numbers)
{
    names.clear();
    numbers.clear();
    const int32_t n = GetFolderNum();
    if (n == 0) return JqIfMngResult_EmptyFolder;
    CCameraSource* source = GetSource();
    if (!source) return JqIfMngResult_EmptyFolder;
    SourceUse use(source);
    for (int32_t i = 1; i <= n; ++i) {
        std::string name;
        const JqIfMngResult r = ChkErr(source->GetFolderName(i, name));
        if (r != 0) {
            names.clear();
            numbers.clear();
            return r;
        }
        names.push_back(name);
        numbers.push_back(i);
    }
    return names.empty() ? JqIfMngResult_EmptyFolder : 0;
}

int32_t CRundleCtrl::SearchFolderId(const std::string& name)
{
    const int32_t n = GetFolderNum();
    CCameraSource* source = GetSource();
    if (!source) return JqIfMngResult_FolderNotFound;
    SourceUse use(source);
    for (int32_t i = 1; i <= n; ++i) {
        std::string folder;
        const int32_t r = source->GetFolderName(i, folder);
        if (r != 0) return ChkErr(r);
        if (strcasecmp(folder.c_str(), name.c_str()) == 0) return i;
    }
    return JqIfMngResult_FolderNotFound;
}

bool CRundleCtrl::IsFolder(const std::string& name, int32_t* result)
{
    const int32_t id = SearchFolderId(name);
    if (id >= 1 && id <= 900) {
        *result = 0;
        return true;
    }
    *result = id <= 0 ? id : JqIfMngResult_FolderNotFound;
    return false;
}

int32_t CRundleCtrl::GetFileNum(int32_t folder)
{
    CCameraSource* source = GetSource();
    if (!source) return 0;
    SourceUse use(source);
    int32_t count = 0;
    source->GetFileNum(folder, &count);
    return count;
}

// ---- pictures by name -------------------------------------------------------------

bool CRundleCtrl::_ChkExtension(const std::string& name)
{
    if (name.size() < 4) return false;
    const std::string ext = name.substr(name.size() - 4);
    for (const char* known : {".JPG", ".TIF", ".RWQ", ".MOV"})
        if (strcasecmp(ext.c_str(), known) == 0) return true;
    return false;
}

int32_t CRundleCtrl::_SearchFileId(int32_t folder, const std::string& name)
{
    CCameraSource* source = GetSource();
    if (!source) return JqIfMngResult_NotFound;
    SourceUse use(source);
    const int32_t n = GetFileNum(folder);
    for (int32_t i = 1; i <= n; ++i) {
        std::string file;
        if (source->GetFileName(folder, i, file) == 0 && strcasecmp(file.c_str(), name.c_str()) == 0) return i;
    }
    return JqIfMngResult_NotFound;
}

bool CRundleCtrl::IsFile(int32_t folder, const std::string& name)
{
    return _ChkExtension(name) && _SearchFileId(folder, name) > 0;
}

int32_t CRundleCtrl::IsExistFile(int32_t folder, const std::string& name)
{
    return _ChkExtension(name) ? _SearchFileId(folder, name) : 0;
}

// ---- lists ------------------------------------------------------------------------

int32_t CRundleCtrl::GetImgFileList(int32_t folder, std::vector<std::string>& names, std::vector<int32_t>& numbers,
                                    const plat::Event* cancel)
{
    names.clear();
    numbers.clear();
    CCameraSource* source = GetSource();
    if (!source) return JqIfMngResult_EmptyFolder;
    SourceUse use(source);
    const int32_t n = GetFileNum(folder);
    for (int32_t i = 1; i <= n; ++i) {
        auto fail = [&](int32_t r) {
            names.clear();
            numbers.clear();
            return r;
        };
        if (plat::isSignalled(cancel)) return fail(JqIfMngResult_Cancelled);
        std::string name;
        const int32_t r = source->GetFileName(folder, i, name);
        if (r != 0) return fail(ChkErr(r));
        if (!_ChkExtension(name)) continue;
        int64_t time = 0;
        uint32_t size = 0;
        const JqIfMngResult info = GetFileInfo(folder, i, &time, &size);
        if (info != 0) return fail(info);
        if (size == 0) continue;
        names.push_back(name);
        numbers.push_back(i);
    }
    return names.empty() ? JqIfMngResult_EmptyFolder : static_cast<int32_t>(names.size());
}

int32_t CRundleCtrl::GetImgFileInfList(int32_t folder, FileInfoArray& entries, const plat::Event* cancel)
{
    return GetImgFileInfList(folder, entries, false, 0, cancel);
}

int32_t CRundleCtrl::GetImgFileInfList(int32_t folder, FileInfoArray& entries, bool isCheckHide, int32_t mode,
                                       const plat::Event* cancel)
{
    FreeFileInfoArray(entries);
    CCameraSource* source = GetSource();
    if (!source) return 0;
    SourceUse use(source);
    const int32_t n = GetFileNum(folder);
    for (int32_t i = 1; i <= n; ++i) {
        auto fail = [&](int32_t r) {
            FreeFileInfoArray(entries);
            return r;
        };
        if (plat::isSignalled(cancel)) return fail(JqIfMngResult_Cancelled);
        std::string name;
        const int32_t r = source->GetFileName(folder, i, name);
        if (r != 0) return fail(ChkErr(r));
        if (!_ChkExtension(name)) continue;
        int64_t time = 0;
        uint32_t size = 0;
        const JqIfMngResult info = GetFileInfo(folder, i, &time, &size);
        if (info != 0) return fail(info);
        if (size == 0) continue;
        const int32_t isProtected = source->IsReadOnly(folder, i);
        const int32_t isHidden = source->IsInVisible(folder, i);
        if (isCheckHide && isHidden) continue;
        if (mode == 1 || (mode == 3 && !isProtected) || (mode == 4 && isProtected)) continue;
        FileListEntry entry;
        entry.fileName = name;
        entry.fileId = i;
        entry.protect = isProtected ? 1 : 0;
        entry.hidden = isHidden ? 1 : 0;
        entry.time = time;
        entry.size = size;
        try {
            entries.push_back(std::move(entry));
        } catch (const std::bad_alloc&) {
            return fail(JqIfMngResult_NoMemory);
        }
    }
    return static_cast<int32_t>(entries.size());
}

// ---- attributes and files ---------------------------------------------------------

JqIfMngResult CRundleCtrl::GetFileInfo(int32_t folder, int32_t file, int64_t* time, uint32_t* size)
{
    *time = 0;
    *size = 0;
    CCameraSource* source = GetSource();
    if (!source) return ChkErr(DORN_R_NO_ANSWER);
    SourceUse use(source);
    DornItemDate date{};
    uint32_t bytes = 0;
    const int32_t r = source->FileInfo(folder, file, &bytes, &date);
    if (r != 0) return ChkErr(r);
    *time = CalendarTime(date);
    *size = bytes;
    return 0;
}

JqIfMngResult CRundleCtrl::GetFileSize(int32_t folder, int32_t file, uint32_t* size)
{
    int64_t time = 0;
    return GetFileInfo(folder, file, &time, size);
}

JqIfMngResult CRundleCtrl::GetFileStatus(int32_t folder, int32_t file, int64_t* time, uint32_t* size,
                                         uint8_t* attribute)
{
    const JqIfMngResult r = GetFileInfo(folder, file, time, size);
    if (r != 0) return r;
    if (*size == 0) return JqIfMngResult_NotFound;
    *attribute = _GetAttribute(folder, file);
    return 0;
}

uint8_t CRundleCtrl::_GetAttribute(int32_t folder, int32_t file)
{
    CCameraSource* source = GetSource();
    if (!source) return 0;
    SourceUse use(source);
    uint8_t bits = 0;
    if (source->IsReadOnly(folder, file)) bits |= 1;
    if (source->IsInVisible(folder, file)) bits |= 2;
    return bits;
}

JqIfMngResult CRundleCtrl::SetProtectStats(int32_t folder, int32_t file, bool protect)
{
    CCameraSource* source = GetSource();
    if (!source) return JqIfMngResult_AttributeFailed2;
    SourceUse use(source);
    return source->SetReadOnlyStatus(folder, file, protect ? 1 : 0) == 0 ? 0 : JqIfMngResult_AttributeFailed2;
}

JqIfMngResult CRundleCtrl::SetHideStats(int32_t folder, int32_t file, bool flag)
{
    CCameraSource* source = GetSource();
    if (!source) return JqIfMngResult_AttributeFailed1;
    SourceUse use(source);
    return source->SetInVisibleStatus(folder, file, flag ? 1 : 0) == 0 ? 0 : JqIfMngResult_AttributeFailed1;
}

JqIfMngResult CRundleCtrl::DeleteImage(int32_t folder, int32_t file)
{
    CCameraSource* source = GetSource();
    if (!source) return ChkErr(DORN_R_NO_ANSWER);
    SourceUse use(source);
    SetProtectStats(folder, file, false);
    const int32_t r = source->DeleteImage(folder, file);
    if (r == 0 && fileCount_ > 0) --fileCount_;
    return ChkErr(r);
}

JqIfMngResult CRundleCtrl::DeleteFolder(int32_t folder)
{
    CCameraSource* source = GetSource();
    if (!source) return ChkErr(DORN_R_NO_ANSWER);
    SourceUse use(source);
    const int32_t r = source->DeleteFolder(folder, true);
    if (r == 0 && folderCount_ > 0) --folderCount_;
    return ChkErr(r);
}

JqIfMngResult CRundleCtrl::FormatCFCard()
{
    CCameraSource* source = GetSource();
    if (!source) return ChkErr(DORN_R_NO_ANSWER);
    SourceUse use(source);
    int32_t r = source->FormatCFCard();
    // A busy camera is asked again every two seconds, for about a minute.
    for (int attempt = 0; r == DORN_R_FORMAT_BUSY && attempt < kFormatRetries; ++attempt) {
        CameraSleep(kFormatRetryMs);
        r = source->FormatCFCard();
    }
    return ChkErr(r);
}

// ---- copying ----------------------------------------------------------------------

bool CRundleCtrl::IsSafeFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    return name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

JqIfMngResult CRundleCtrl::GetImageFile(int32_t folder, int32_t file, const std::string& name,
                                        const std::string& folderPath, bool attr, bool stepwise)
{
    int64_t time = 0;
    uint32_t size = 0;
    JqIfMngResult r = GetFileInfo(folder, file, &time, &size);
    if (r != 0) return r;
    if (size == 0) return JqIfMngResult_NotFound;
    const uint8_t attribute = attr ? _GetAttribute(folder, file) : 0;
    // The camera names the file: it must stay inside the destination folder.
    if (!IsSafeFileName(name)) return JqIfMngResult_Failed;
    CCameraSource* source = GetSource();
    if (!source) return ChkErr(DORN_R_NO_ANSWER);
    SourceUse use(source);
    const std::string destination = JoinPath(folderPath, name);
    const std::string temp = TempNameFor(folderPath, name);
    const int32_t started = source->StartSavingImage(folder, file, temp);
    if (started != 0) {
        plat::removeFile(temp);
        return ChkErr(started);
    }
    copyTemp_ = temp;
    copyFinal_ = destination;
    copyDropped_ = false;
    if (stepwise) return 0;
    uint32_t done = 0, total = 0;
    int32_t result = 0;
    while (!SavingImage(&done, &total, &result)) std::this_thread::yield();
    r = result;
    if (r == 0) _ChangeFileStatus(destination, time, attribute);
    return r;
}

JqIfMngResult CRundleCtrl::GetImageFileCallBack(int32_t folder, int32_t file, const std::string& name,
                                                const std::string& folderPath)
{
    return GetImageFile(folder, file, name, folderPath, false, true);
}

void CRundleCtrl::DropCopy()
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    if (!copyTemp_.empty()) copyDropped_ = true;
}

JqIfMngResult CRundleCtrl::FinishCopy(int32_t moduleResult)
{
    JqIfMngResult r = ChkErr(moduleResult);
    if (copyTemp_.empty()) return r;
    if (copyDropped_ && r == 0) r = JqIfMngResult_Cancelled;
    copyDropped_ = false;
    if (r == 0 && !plat::renameReplace(copyTemp_, copyFinal_)) r = JqIfMngResult_ModuleMinus235;
    if (r != 0) plat::removeFile(copyTemp_);
    copyTemp_.clear();
    copyFinal_.clear();
    return r;
}

bool CRundleCtrl::SavingImage(uint32_t* done, uint32_t* total, int32_t* result)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    *done = 0;
    *total = 0;
    DropSource();
    CCameraSource* source = GetSource();
    if (!source) {
        *result = FinishCopy(DORN_R_NO_ANSWER);
        return true;
    }
    int32_t moduleResult = 0;
    bool end;
    {
        SourceUse use(source);
        end = source->SavingImage(done, total, &moduleResult);
    }
    if (!end) {
        *result = 0;
        return false;
    }
    // Every byte the camera announced must have arrived.
    if (moduleResult == 0 && *total != 0 && *done != *total) moduleResult = DORN_E_WRITE;
    *result = FinishCopy(moduleResult);
    return true;
}

int32_t CRundleCtrl::_GetImageFileHeader(int32_t folder, int32_t file, std::vector<uint8_t>& header)
{
    CCameraSource* source = GetSource();
    if (!source) return DORN_R_NO_ANSWER;
    SourceUse use(source);
    return source->ReadHeader(folder, file, header);
}

JqIfMngResult CRundleCtrl::GetImageFileHeader(int32_t folder, int32_t file, const std::string& name,
                                              const std::string& folderPath, bool attr)
{
    int64_t time = 0;
    uint32_t size = 0;
    const JqIfMngResult r = GetFileInfo(folder, file, &time, &size);
    if (r != 0) return r;
    if (size == 0) return JqIfMngResult_NotFound;
    const uint8_t attribute = attr ? _GetAttribute(folder, file) : 0;
    if (!IsSafeFileName(name)) return JqIfMngResult_Failed;
    std::vector<uint8_t> header;
    _GetImageFileHeader(folder, file, header);
    if (header.empty()) return JqIfMngResult_NotFound;
    const std::string path = JoinPath(folderPath, name);
    const std::string temp = TempNameFor(folderPath, name);
    FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) return JqIfMngResult_ModuleMinus235;
    const size_t written = std::fwrite(header.data(), 1, header.size(), out);
    const int closed = std::fclose(out);
    if (written != header.size() || closed != 0 || !plat::renameReplace(temp, path)) {
        plat::removeFile(temp);
        return JqIfMngResult_ModuleMinus235;
    }
    _ChangeFileStatus(path, time, attribute);
    return 0;
}

JqIfMngResult CRundleCtrl::GetImageFileHeader(int32_t folder, int32_t file, const std::string& name,
                                              const std::string& folderPath)
{
    return GetImageFileHeader(folder, file, name, folderPath, false);
}

uint32_t CRundleCtrl::ColourCodeOf(uint32_t colourModel)
{
    switch (colourModel) {
    case 0:
    case 1: return 2;
    case 4: return 34;
    case 5: return 36;
    case 6: return 35;
    default: return colourModel <= 14 ? 32 : 0;
    }
}

JqIfMngResult CRundleCtrl::GetThumbImage(int32_t folder, int32_t file, RundleThumbDescription* description,
                                         std::vector<uint8_t>& pixels)
{
    *description = RundleThumbDescription{};
    pixels.clear();
    CCameraSource* source = GetSource();
    if (!source) return ChkErr(DORN_R_NO_ANSWER);
    SourceUse use(source);
    CameraThumbnail thumbnail;
    const int32_t r = source->ReadThumbnail(folder, file, thumbnail);
    if (r != 0) return ChkErr(r);
    description->width = thumbnail.width;
    description->height = thumbnail.height;
    description->size = thumbnail.size;
    description->colourCode = ColourCodeOf(thumbnail.colourModel);
    description->one = 1;
    description->rowBytes = thumbnail.rowBytes;
    pixels = std::move(thumbnail.pixels);
    return 0;
}

void CRundleCtrl::_ChangeFileStatus(const std::string& path, int64_t time, uint8_t attribute)
{
    if (time < static_cast<int64_t>(baseTime_)) time = static_cast<int64_t>(::time(nullptr));
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(time);
    times[1].tv_nsec = 0;
    utimensat(AT_FDCWD, path.c_str(), times, 0);
    const uint32_t bits = attribute & (plat::FileAttr::ReadOnly | plat::FileAttr::Hidden);
    if (bits) plat::changeDosAttributes(path, bits, 0);
}
