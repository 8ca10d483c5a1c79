#include "viewer/sources/ImageFileIf.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>

#include "platform/fs/FileOps.h"
#include "viewer/browser/ImageBuffer.h"
#include "viewer/sources/CardPaths.h"
#include "viewer/sources/JqFileLib.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/PrintOrderFile.h"
#include "viewer/sources/camera/RundleCtrl.h"

namespace fs = std::filesystem;

namespace {

std::atomic<ImageFileIfHost*> g_host{nullptr};

constexpr uint32_t kLowBits = plat::FileAttr::ReadOnly | plat::FileAttr::Hidden | plat::FileAttr::System;
constexpr int32_t kLibraryMissing = 6;
constexpr int32_t kGreyModel = 2;

bool endsWithNoCase(const std::string& name, const char* ext) {
    const size_t n = std::strlen(ext);
    return name.size() >= n && strcasecmp(name.c_str() + name.size() - n, ext) == 0;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A name from a source that must stay a single component of a local path.
bool isSafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

// Clears the low attribute bits of an existing destination before it is overwritten.
bool clearDestination(const std::string& destination) {
    plat::FileStatus st;
    if (!plat::fileStatus(destination, &st))
        return true;  // nothing there
    if (!(st.attributes.bits & kLowBits))
        return true;
    return plat::changeDosAttributes(destination, 0, kLowBits).ok();
}

// The copy takes the source's attribute bits, or loses its low bits.
void settleAttributes(const fs::path& source, const std::string& destination, bool keep) {
    plat::FileStatus st;
    if (keep && plat::fileStatus(source, &st))
        plat::changeDosAttributes(destination, st.attributes.bits & plat::FileAttr::Settable,
                                  ~st.attributes.bits & plat::FileAttr::Settable);
    else
        plat::changeDosAttributes(destination, 0, kLowBits);
}

}  // namespace

void CImageFileIf::SetHost(ImageFileIfHost* host) { g_host = host; }
ImageFileIfHost* CImageFileIf::Host() { return g_host; }

bool CImageFileIf::SuspendDeviceCheck() {
    ImageFileIfHost* h = g_host;
    return h ? h->SuspendDeviceCheck() : true;
}

int32_t CImageFileIf::ResumeDeviceCheck() {
    ImageFileIfHost* h = g_host;
    return h ? h->ResumeDeviceCheck() : 0;
}

CImageFileIf::~CImageFileIf() = default;

int32_t CImageFileIf::GetErrorStringID(int32_t code, int32_t secondForm) { return ::GetErrorStringID(code, secondForm); }
int32_t CImageFileIf::NormalizeErrorStringID(int32_t code) { return ::NormalizeErrorStringID(code); }

// ---------------------------------------------------------------- source

int32_t CImageFileIf::Open() {
    ImageFileIfHost* host = g_host;
    if (!host)
        return 0;
    // Bound afresh to the target now open: nothing of an earlier one stays.
    controller_ = nullptr;
    card_ = nullptr;
    cardRoot_.clear();
    pictureRoot_.clear();
    {
        std::lock_guard<std::mutex> lock(mapsLock_);
        folderMap_.clear();
        fileMaps_.clear();
    }
    localFolder_ = host->LocalFolder();
    for (char& c : localFolder_)
        if (c == '\\') c = '/';
    kind_ = host->CurrentDeviceIndex() >= 26 ? kCamera : kCard;
    if (kind_ == kCamera) {
        controller_ = host->CameraController();
        return 0;
    }
    cardRoot_ = host->CurrentCardRoot();
    CDCIMFolder probe;
    probe.SetRoot(cardRoot_);
    probe.CheckRootFolder(true);
    probe.CheckRootFolder(false);
    if (probe.DcimFlag())
        pictureRoot_ = CDCIMFolder::kPictureRoot;
    else if (probe.OlderFlag())
        pictureRoot_ = CDCIMFolder::kOlderFolder;
    card_ = host->CardSource();
    return 0;
}

int32_t CImageFileIf::sessionResult(int32_t failure) {
    if (!controller_)
        return failure;
    int32_t lost = 0;
    return controller_->IsSessionCheck(&lost) ? failure : lost;
}

int32_t CImageFileIf::cameraIds(const std::string& folder, const std::string& file, int32_t* folderId,
                                int32_t* fileId) const {
    *folderId = If_SearchFolderID(folder);
    if (*folderId == 0)
        return JqIfMngResult_FolderNotFound;
    *fileId = If_SearchFileID(*folderId, file);
    return *fileId == 0 ? JqIfMngResult_NotFound : JqIfMngResult_NoError;
}

std::string CImageFileIf::Ifl_GetCardFilePath(const std::string& folder, const std::string& file) const {
    if (kind_ == kCamera)
        return {};
    if (folder == CDCIMFolder::kOlderFolder)
        return JoinCardPath(JoinCardPath(cardRoot_, CDCIMFolder::kOlderFolder), file);
    return JoinCardPath(JoinCardPath(JoinCardPath(cardRoot_, CDCIMFolder::kPictureRoot), folder), file);
}

std::string CImageFileIf::localPictureFolder(const std::string& folder) const {
    return localFolder_ + "/" + folder;
}

// ---------------------------------------------------------------- lists

void CImageFileIf::rebuildFileMap(int32_t folderId, const std::vector<std::string>& names,
                                  const std::vector<int32_t>& ids) {
    std::map<std::string, int32_t> map;
    for (size_t i = 0; i < names.size() && i < ids.size(); ++i)
        map[names[i]] = ids[i];
    std::lock_guard<std::mutex> lock(mapsLock_);
    fileMaps_[folderId] = std::move(map);
}

int32_t CImageFileIf::Ifl_GetFolderList(std::vector<std::string>& list) {
    list.clear();
    if (isCamera()) {
        std::vector<int32_t> ids;
        const int32_t r = controller_->GetFolderList(list, ids);
        if (r != 0)
            return sessionResult(r);
        std::map<std::string, int32_t> folders;
        for (size_t i = 0; i < list.size() && i < ids.size(); ++i)
            folders[list[i]] = ids[i];
        std::lock_guard<std::mutex> lock(mapsLock_);
        folderMap_ = std::move(folders);
        fileMaps_.clear();
        return 0;
    }
    if (!card_)
        return JqIfMngResult_Failed;
    CDCIMFolder probe;
    probe.SetRoot(cardRoot_);
    probe.CheckRootFolder(false);
    probe.CheckRootFolder(true);
    if (probe.DcimFlag()) {
        probe.SetFolderPath(CDCIMFolder::kPictureRoot);
        probe.ListDCFFolders(list);
    }
    if (probe.OlderFlag())
        list.push_back(CDCIMFolder::kOlderFolder);
    return 0;
}

int32_t CImageFileIf::If_GetFileList(const std::string& folder, std::vector<std::string>& list,
                                     const plat::Event* abort) {
    list.clear();
    if (isCamera()) {
        const int32_t id = If_SearchFolderID(folder);
        if (id == 0)
            return JqIfMngResult_FolderNotFound;
        std::vector<int32_t> ids;
        // the controller answers with the count, or a negative result
        const int32_t r = controller_->GetImgFileList(id, list, ids, abort);
        if (r < 0 && r != JqIfMngResult_EmptyFolder)
            return r == JqIfMngResult_Cancelled ? r : sessionResult(r);
        rebuildFileMap(id, list, ids);
    } else {
        if (!card_)
            return JqIfMngResult_Failed;
        const std::string path = folder == CDCIMFolder::kOlderFolder
                                     ? JoinCardPath(cardRoot_, CDCIMFolder::kOlderFolder)
                                     : JoinCardPath(JoinCardPath(cardRoot_, CDCIMFolder::kPictureRoot), folder);
        const int32_t r = card_->ListDCFFileNames(list, path, abort);
        if (r != 0)
            return r;
    }
    return list.empty() ? JqIfMngResult_EmptyFolder : 0;
}

int32_t CImageFileIf::If_GetFileList(const std::string* folder, FileInfoArray& array, bool skipHidden, int32_t mode,
                                     const plat::Event* abort) {
    FreeFileInfoArray(array);
    std::vector<std::string> folders;
    if (folder) {
        folders.push_back(*folder);
    } else {
        const int32_t r = Ifl_GetFolderList(folders);
        if (r != 0)
            return r;
        if (folders.empty())
            return JqIfMngResult_EmptyFolder;
    }
    const bool plain = !skipHidden && mode == 0;
    for (const std::string& f : folders) {
        FileInfoArray part;
        int32_t r = 0;
        if (isCamera()) {
            const int32_t id = If_SearchFolderID(f);
            if (id == 0) {
                FreeFileInfoArray(array);
                return JqIfMngResult_FolderNotFound;
            }
            // the controller answers with the count, or a negative result
            r = plain ? controller_->GetImgFileInfList(id, part, abort)
                      : controller_->GetImgFileInfList(id, part, skipHidden, mode, abort);
            if (r < 0 && r != JqIfMngResult_Cancelled)
                r = sessionResult(r);
            if (r >= 0) {
                r = 0;
                std::map<std::string, int32_t> map;
                for (FileListEntry& e : part) {
                    map[e.fileName] = e.fileId;
                    if (e.folderName.empty()) e.folderName = f;
                    e.folderId = id;
                }
                std::lock_guard<std::mutex> lock(mapsLock_);
                fileMaps_[id] = std::move(map);
            }
        } else {
            if (!card_) return JqIfMngResult_Failed;
            const std::string path = f == CDCIMFolder::kOlderFolder
                                         ? JoinCardPath(cardRoot_, CDCIMFolder::kOlderFolder)
                                         : JoinCardPath(JoinCardPath(cardRoot_, CDCIMFolder::kPictureRoot), f);
            r = plain ? card_->ListFiles(path, part, abort)
                      : card_->ListFilesFiltered(path, part, skipHidden, mode, NameList(), abort);
        }
        if (r != 0) {
            FreeFileInfoArray(array);
            return r;
        }
        try {
            array.insert(array.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
        } catch (const std::bad_alloc&) {
            FreeFileInfoArray(array);
            return JqIfMngResult_NoMemory;
        }
    }
    return array.empty() ? JqIfMngResult_NoPictures : 0;
}

int32_t CImageFileIf::If_HasFiles(const std::string& folder, int32_t* flag) {
    *flag = 0;
    FileInfoArray list;
    const int32_t r = If_GetFileList(&folder, list, false, 3, nullptr);
    if (r == JqIfMngResult_NoPictures)
        return 0;
    if (r != 0)
        return r;
    *flag = list.empty() ? 0 : 1;
    return 0;
}

int32_t CImageFileIf::If_GetFileNum(const std::string& folder) {
    if (!isCamera())
        return JqIfMngResult_Failed;
    const int32_t id = If_SearchFolderID(folder);
    return id == 0 ? JqIfMngResult_FolderNotFound : controller_->GetFileNum(id);
}

// ---------------------------------------------------------------- names and folders

int32_t CImageFileIf::GetTransferMarkList() {
    if (kind_ == kCamera)
        return JqIfMngResult_NeedsCard;
    CPrintOrderFile order;
    if (order.Load(cardRoot_) != 0)
        return JqIfMngResult_NoPictures;
    // Read again (the target opened once more), the marks are the card's as they are now.
    std::vector<std::string> names;
    for (int32_t i = 0; i < order.GetCount(); ++i) {
        std::string path = order.GetAt(i);
        std::replace(path.begin(), path.end(), '/', '\\');
        names.push_back(std::move(path));
    }
    std::lock_guard<std::mutex> lock(mapsLock_);
    nameList_ = std::move(names);
    return 0;
}

void CImageFileIf::ClearTransferMarkList() {
    std::lock_guard<std::mutex> lock(mapsLock_);
    nameList_.clear();
}

std::vector<std::string> CImageFileIf::NameList() const {
    std::lock_guard<std::mutex> lock(mapsLock_);
    return nameList_;
}

int32_t CImageFileIf::Ifl_IsInNameList(const std::string& folder, const std::string& file, int32_t* flag) const {
    *flag = 0;
    const std::string needle = upper(folder + "\\" + file);
    std::lock_guard<std::mutex> lock(mapsLock_);
    for (const std::string& entry : nameList_)
        if (upper(entry).find(needle) != std::string::npos) {  // both sides upper-cased
            *flag = 1;
            break;
        }
    return 0;
}

int32_t CImageFileIf::If_SearchFolderID(const std::string& folder) const {
    std::lock_guard<std::mutex> lock(mapsLock_);
    auto it = folderMap_.find(folder);
    return it == folderMap_.end() ? 0 : it->second;
}

int32_t CImageFileIf::If_SearchFileID(int32_t folderId, const std::string& file) const {
    {
        std::lock_guard<std::mutex> lock(mapsLock_);
        auto map = fileMaps_.find(folderId);
        if (map != fileMaps_.end()) {
            auto it = map->second.find(file);
            return it == map->second.end() ? 0 : it->second;
        }
    }
    if (!controller_)
        return 0;
    const int32_t id = controller_->_SearchFileId(folderId, file);
    return id < 0 ? 0 : id;
}

int32_t CImageFileIf::If_IsCurrentFolder(const std::string& folder) const {
    if (kind_ != kCamera)
        return 0;
    std::lock_guard<std::mutex> lock(mapsLock_);
    auto it = folderMap_.find(folder);
    return it != folderMap_.end() && it->second != 0 && it->second == folderMap_.rbegin()->second ? 1 : 0;
}

int32_t CImageFileIf::Ifl_CheckFolderName(const std::string& name) const {
    std::string n = name;
    if (CDCIMFolder::IsDCFFolderName(n) || name == CDCIMFolder::kOlderFolder)
        return 1;
    return kind_ == kCamera && If_SearchFolderID(name) != 0 ? 1 : 0;
}

// ---------------------------------------------------------------- copying

int32_t CImageFileIf::If_CopyImageFile(const std::string& folder, const std::string& file,
                                       const std::string& destination, bool keepAttributes, CopyProgressProc progress,
                                       void* reference) {
    if (!clearDestination(destination))
        return JqIfMngResult_WriteProtected;
    if (!isCamera())
        return If_CopyImageFile(Ifl_GetCardFilePath(folder, file), destination, keepAttributes, progress, reference);
    int32_t folderId = 0, fileId = 0;
    if (const int32_t r = cameraIds(folder, file, &folderId, &fileId); r != 0)
        return r;
    int32_t r = 0;
    if (!progress) {
        const fs::path dst(destination);
        const std::string name = dst.filename().string();
        r = controller_->GetImageFile(folderId, fileId, name, dst.parent_path().string(), keepAttributes, false);
        if (r != 0)
            return sessionResult(r);
    } else {
        r = IflRundle_CopyCallBack(folder, file, destination, progress, reference);
        if (r != 0)
            return r;
    }
    if (!keepAttributes) {
        int64_t time = 0;
        uint32_t size = 0;
        uint8_t attribute = 0;
        if (controller_->GetFileStatus(folderId, fileId, &time, &size, &attribute) == 0)
            controller_->_ChangeFileStatus(destination, time, static_cast<uint8_t>(attribute & ~0x0F));
    }
    return 0;
}

void CImageFileIf::SetScratchFolder(const std::string& folder) { scratchFolder_ = folder; }

bool CImageFileIf::inScratchFolder(const std::string& path) const {
    return !scratchFolder_.empty() && plat::isInsideFolder(path, scratchFolder_);
}

int32_t CImageFileIf::If_CopyImageFile(const std::string& sourcePath, const std::string& destination,
                                       bool keepAttributes, CopyProgressProc progress, void* reference) {
    if (!clearDestination(destination))
        return JqIfMngResult_WriteProtected;
    fs::path source;
    if (!ResolveCardPath(sourcePath, &source))
        return JqIfMngResult_NotFound;
    if (progress) {
        if (!card_)
            return JqIfMngResult_Failed;
        const int32_t r = card_->CopyCallBack(sourcePath, destination, progress, reference,
                                              inScratchFolder(destination) ? plat::Durability::Scratch
                                                                           : plat::Durability::Synced);
        if (r != 0)
            return r;
    } else {
        // through a temporary name: a failed copy is a failure and leaves nothing behind
        const plat::FsResult r = plat::copyFile(source, destination, true);
        if (r.code == plat::FsError::WriteProtected || r.code == plat::FsError::AccessDenied)
            return JqIfMngResult_WriteProtected;
        if (r.code == plat::FsError::NotFound && !plat::fileExists(source))
            return JqIfMngResult_NotFound;
        if (!r)
            return JqIfMngResult_Failed;
    }
    settleAttributes(source, destination, keepAttributes);
    return 0;
}

int32_t CImageFileIf::IflRundle_CopyCallBack(const std::string& folder, const std::string& file,
                                             const std::string& destination, CopyProgressProc progress,
                                             void* reference) {
    if (!isCamera())
        return JqIfMngResult_Failed;
    int32_t folderId = 0, fileId = 0;
    if (const int32_t r = cameraIds(folder, file, &folderId, &fileId); r != 0)
        return r;
    if (!isSafeName(file))
        return JqIfMngResult_Failed;
    // The controller writes straight to the destination's own name (through its
    // temporary one), so no other file in that folder is ever written or removed,
    // whatever the camera calls the picture.
    const fs::path dst(destination);
    const std::string folderPath = dst.parent_path().string();
    int32_t r = controller_->GetImageFileCallBack(folderId, fileId, dst.filename().string(), folderPath);
    if (r != 0)
        return sessionResult(r);
    uint32_t done = 0, total = 0;
    int32_t result = 0;
    while (!controller_->SavingImage(&done, &total, &result)) {
        if (progress && progress(done, total, reference) != 0) {
            // asked to stop: the controller ends the copy and drops what it wrote
            controller_->DropCopy();
            while (!controller_->SavingImage(&done, &total, &result)) {
            }
            return JqIfMngResult_Cancelled;
        }
    }
    if (result != 0)
        return sessionResult(result);
    if (progress)
        progress(total, total, reference);
    return 0;
}

// ---------------------------------------------------------------- existence and paths

int32_t CImageFileIf::If_IsFile(const std::string& folder, const std::string& file) {
    if (isCamera()) {
        const int32_t id = If_SearchFolderID(folder);
        return id != 0 && controller_->IsFile(id, file) ? 1 : 0;
    }
    fs::path p;
    plat::FileStatus st;
    return ResolveCardPath(Ifl_GetCardFilePath(folder, file), &p) && plat::fileStatus(p, &st) ? 1 : 0;
}

int32_t CImageFileIf::If_IsFolder(const std::string& folder, int32_t* code) {
    if (code) *code = 0;
    if (isCamera()) {
        int32_t result = 0;
        const bool is = controller_->IsFolder(folder, &result);
        if (result != 0 && code) {
            int32_t lost = 0;
            *code = controller_->IsSessionCheck(&lost) ? result : lost;
        }
        return is ? 1 : 0;
    }
    const std::string path = folder == CDCIMFolder::kOlderFolder
                                 ? JoinCardPath(cardRoot_, CDCIMFolder::kOlderFolder)
                                 : JoinCardPath(JoinCardPath(cardRoot_, CDCIMFolder::kPictureRoot), folder);
    fs::path p;
    return ResolveCardPath(path, &p) && plat::folderExists(p) ? 1 : 0;
}

int32_t CImageFileIf::If_IsExistFile(const std::string& folder, const std::string& file) {
    if (isCamera()) {
        const int32_t id = If_SearchFolderID(folder);
        return id != 0 && controller_->IsExistFile(id, file) > 0 ? 1 : 0;
    }
    return If_IsFile(folder, file);
}

int32_t CImageFileIf::Ifl_GetTempStatus(const std::string& folder, const std::string& file, int32_t* kind,
                                        std::string* path) {
    *kind = 0;
    path->clear();
    if (!isSafeName(folder) || !isSafeName(file))
        return 0;
    const std::string local = localPictureFolder(folder) + "/" + file;
    plat::FileStatus st;
    if (!plat::fileStatus(local, &st) || st.isDirectory)
        return 0;
    uint32_t size = 0;
    int64_t time = 0;
    int32_t p = 0, h = 0;
    // only a complete copy of this very picture counts
    if (If_GetFileSizeTimeStatus(folder, file, &size, &time, &p, &h) == 0 && st.size == size) {
        *kind = 2;
        *path = local;
    }
    return 0;
}

int32_t CImageFileIf::If_GetFullPathFileName(const std::string& folder, const std::string& file, std::string* path) {
    path->clear();
    if (!isSafeName(folder) || !isSafeName(file))
        return JqIfMngResult_NotFound;
    int32_t kind = 0;
    if (const int32_t r = Ifl_GetTempStatus(folder, file, &kind, path); r != 0)
        return r;
    if (kind == 2)
        return 0;
    if (!plat::createFolders(localFolder_))
        return JqIfMngResult_Failed;
    if (isCamera()) {
        const std::string dir = localPictureFolder(folder);
        if (!plat::createFolders(dir))
            return JqIfMngResult_Failed;
        const int32_t r = If_CopyImageFile(folder, file, dir + "/" + file, true, nullptr, nullptr);
        if (r != 0)
            return r;
        *path = dir + "/" + file;
        return 0;
    }
    fs::path p;
    if (!ResolveCardPath(Ifl_GetCardFilePath(folder, file), &p) || !plat::fileExists(p))
        return JqIfMngResult_NotFound;
    *path = p.string();
    return 0;
}

int32_t CImageFileIf::cardStatus(const std::string& folder, const std::string& file, uint32_t* size, int64_t* time,
                                 int32_t* protect, int32_t* hidden) {
    fs::path p;
    plat::FileStatus st;
    if (!ResolveCardPath(Ifl_GetCardFilePath(folder, file), &p) || !plat::fileStatus(p, &st))
        return JqIfMngResult_NotFound;
    if (size) *size = st.size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(st.size);
    if (time) *time = st.mtime != 0 ? st.mtime : static_cast<int64_t>(::time(nullptr));
    if (protect) *protect = st.attributes.has(plat::FileAttr::ReadOnly) ? 1 : 0;
    if (hidden) *hidden = st.attributes.has(plat::FileAttr::Hidden) ? 1 : 0;
    return 0;
}

int32_t CImageFileIf::If_GetFileSizeTimeStatus(const std::string& folder, const std::string& file, uint32_t* size,
                                               int64_t* time, int32_t* protect, int32_t* hidden) {
    if (size) *size = 0;
    if (time) *time = 0;
    if (protect) *protect = 0;
    if (hidden) *hidden = 0;
    if (!isCamera())
        return cardStatus(folder, file, size, time, protect, hidden);
    int32_t folderId = 0, fileId = 0;
    if (const int32_t r = cameraIds(folder, file, &folderId, &fileId); r != 0)
        return r;
    int64_t t = 0;
    uint32_t s = 0;
    uint8_t attribute = 0;
    if (const int32_t r = controller_->GetFileStatus(folderId, fileId, &t, &s, &attribute); r != 0)
        return sessionResult(r);
    if (size) *size = s;
    if (time) *time = t;
    if (protect) *protect = attribute & 0x01 ? 1 : 0;
    if (hidden) *hidden = attribute & 0x02 ? 1 : 0;
    return 0;
}

int32_t CImageFileIf::If_GetFileStatus(const std::string& folder, const std::string& file, int32_t* protect,
                                       int32_t* hidden) {
    return If_GetFileSizeTimeStatus(folder, file, nullptr, nullptr, protect, hidden);
}

int32_t CImageFileIf::If_GetFileStatus(const std::string& folder, const std::string& file, PictureRecord& record) {
    int32_t p = 0, h = 0;
    const int32_t r = If_GetFileStatus(folder, file, &p, &h);
    record.protect = p;
    record.hidden = h;
    return r;
}

int32_t CImageFileIf::If_GetFileSizeTime(const std::string& folder, const std::string& file, uint32_t* size,
                                         int64_t* time) {
    return If_GetFileSizeTimeStatus(folder, file, size, time, nullptr, nullptr);
}

// ---------------------------------------------------------------- thumbnails and information

std::unique_ptr<CJqFileLib> CImageFileIf::OpenImageFile(const std::string& path, int32_t* result) {
    auto lib = std::make_unique<CJqFileLib>(path);
    if (!lib->IsLoaded()) {
        *result = kLibraryMissing;
        return nullptr;
    }
    int32_t r = lib->Initialize();
    if (r == 0) {
        r = lib->OpenFile();
        if (r != 0)
            lib->Terminate();
    }
    *result = r;
    return r == 0 ? std::move(lib) : nullptr;
}

int32_t CImageFileIf::MakeNamedRecord(std::unique_ptr<PictureRecord>& record, const std::string& name) {
    if (record)
        return 0;
    try {
        record = std::make_unique<PictureRecord>();
        record->name = name;
    } catch (const std::bad_alloc&) {
        record.reset();
        return 1;
    }
    return 0;
}

int32_t CImageFileIf::LoadPictureIntoRecord(const std::string& path, int32_t quarterTurns,
                                            std::unique_ptr<PictureRecord>& record) {
    CImageBuffer buffer;
    std::unique_ptr<PictureRecord> loaded;
    const int32_t r = LoadImageBuffer(buffer, path, loaded, quarterTurns);
    if (r != 0)
        return r;
    if (!record) {
        record = std::move(loaded);
        return 0;
    }
    // move the pixels and the buffer's values; the caller's other fields stay
    FreeBitmapArray(*record);
    record->blocks = std::move(loaded->blocks);
    record->tileWidth = loaded->tileWidth;
    record->tileHeight = loaded->tileHeight;
    record->lastColumnWidth = loaded->lastColumnWidth;
    record->lastRowHeight = loaded->lastRowHeight;
    record->width = loaded->width;
    record->height = loaded->height;
    record->tilesAcross = loaded->tilesAcross;
    record->tilesDown = loaded->tilesDown;
    record->depth = loaded->depth;
    return 0;
}

void CImageFileIf::FitThumbnail(int32_t width, int32_t height, int32_t asked, int32_t* outWidth, int32_t* outHeight) {
    if (width <= 0 || height <= 0 || asked <= 0) {
        *outWidth = asked;
        *outHeight = asked;
        return;
    }
    const bool landscape = width >= height;
    const int32_t longer = landscape ? width : height;
    const int32_t shorter = landscape ? height : width;
    int32_t other = static_cast<int32_t>(int64_t{asked} * shorter / longer);
    const int32_t rem = other % 4;
    if (rem == 1) other -= 1;
    else if (rem >= 2) other += 4 - rem;
    if (other < 4) other = 4;
    *outWidth = landscape ? asked : other;
    *outHeight = landscape ? other : asked;
}

int32_t CImageFileIf::readThumbPixels(CJqFileLib& lib, const std::string& path, PictureRecord& record, int32_t width,
                                      int32_t height, int32_t orientation) {
    int32_t w = 0, h = 0, depth = 1, model = 0, o = 1;
    int32_t r = lib.GetSubImageInfo(&w, &h, &depth, &model, &o);
    if (r != 0) return r;
    if (model == 4 || model == 34 || w <= 0 || h <= 0)
        return JqIfMngResult_StatusCannotShow;
    // fit the box, keeping the proportions (turned when asked), never enlarging
    const bool turned = orientation == 8 || orientation == 6;
    const int32_t pw = turned ? h : w, ph = turned ? w : h;
    int32_t tw = pw, th = ph;
    if (width > 0 && height > 0 && (pw > width || ph > height)) {
        if (int64_t{pw} * height >= int64_t{ph} * width) {
            tw = width;
            th = std::max<int32_t>(1, static_cast<int32_t>(int64_t{ph} * width / pw));
        } else {
            th = height;
            tw = std::max<int32_t>(1, static_cast<int32_t>(int64_t{pw} * height / ph));
        }
    }
    if ((r = lib.SetSubImageInfo(tw, th, depth, model, orientation)) != 0) return r;
    if ((r = lib.GetSubImageInfo(&w, &h, &depth, &model, &o)) != 0) return r;
    const uint64_t channels = model == kGreyModel ? 1 : 3;
    const uint64_t bytes = channels * static_cast<uint64_t>(depth) * static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
    if (bytes == 0 || bytes > (64u << 20))
        return JqIfMngResult_NoMemory;
    std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
    if ((r = lib.ReadSubImage(0, 0, w, h, static_cast<uint32_t>(bytes), pixels.data())) != 0) return r;
    CImageBuffer buffer;
    FreeBitmapArray(record);
    if (!BuildPictureTiles(buffer, true, ImageDescription{w, h, depth, model}, bytes, pixels.data(), record))
        return JqIfMngResult_NoMemory;
    (void)path;
    return 0;
}

int32_t CImageFileIf::Ifl_GetThumbFilePath(const std::string& folder, const std::string& file, std::string* path) {
    path->clear();
    if (!isSafeName(file))
        return JqIfMngResult_NotFound;
    if (isCamera()) {
        // the picture's header (with its thumbnail) is written to a local file first
        int32_t folderId = 0, fileId = 0;
        if (const int32_t r = cameraIds(folder, file, &folderId, &fileId); r != 0)
            return r;
        if (!isSafeName(folder))
            return JqIfMngResult_FolderNotFound;
        const std::string dir = localPictureFolder(folder) + "/header";
        if (!plat::createFolders(dir))
            return JqIfMngResult_Failed;
        const int32_t r = controller_->GetImageFileHeader(folderId, fileId, file, dir);
        if (r != 0)
            return sessionResult(r);
        *path = dir + "/" + file;
        // a header the library cannot read a thumbnail from: a local thumbnail file instead
        int32_t opened = 0;
        if (std::unique_ptr<CJqFileLib> lib = OpenImageFile(*path, &opened)) {
            lib->CloseFile();
            lib->Terminate();
            return 0;
        }
        if (opened == kLibraryMissing)
            return opened;
        const std::string thumbDir = localPictureFolder(folder) + "/thumb";
        if (!plat::createFolders(thumbDir))
            return JqIfMngResult_Failed;
        *path = thumbDir + "/" + file;
        return writeCameraThumbFile(folderId, fileId, *path);
    }
    fs::path p;
    if (!ResolveCardPath(Ifl_GetCardFilePath(folder, file), &p) || !plat::fileExists(p))
        return JqIfMngResult_NotFound;
    *path = p.string();
    if (IsMovieName(file)) {
        // a clip's thumbnail file beside it ("ABCD0001.THM"); else the library reads the clip itself
        fs::path thm;
        const std::string thmName = file.substr(0, file.size() - 4) + ".THM";
        if (ResolveCardPath(Ifl_GetCardFilePath(folder, thmName), &thm) && plat::fileExists(thm))
            *path = thm.string();
    }
    return 0;
}

// The camera's thumbnail as a JPEG file with the picture's date, made through the
// image-file library.
int32_t CImageFileIf::writeCameraThumbFile(int32_t folderId, int32_t fileId, const std::string& path) {
    RundleThumbDescription d;
    std::vector<uint8_t> pixels;
    if (const int32_t r = controller_->GetThumbImage(folderId, fileId, &d, pixels); r != 0)
        return sessionResult(r);
    const bool grey = static_cast<int32_t>(d.colourCode) == kGreyModel;
    const uint64_t rowBytes = uint64_t{d.width} * (grey ? 1 : 3);
    const uint64_t srcRow = d.rowBytes ? d.rowBytes : rowBytes;
    if (d.width == 0 || d.height == 0 || srcRow < rowBytes || pixels.size() < srcRow * d.height)
        return JqIfMngResult_Failed;
    std::vector<uint8_t> packed;
    packed.reserve(static_cast<size_t>(rowBytes * d.height));
    for (uint32_t y = 0; y < d.height; ++y)
        packed.insert(packed.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * srcRow),
                      pixels.begin() + static_cast<std::ptrdiff_t>(y * srcRow + rowBytes));
    int64_t time = 0;
    uint32_t size = 0;
    uint8_t attribute = 0;
    controller_->GetFileStatus(folderId, fileId, &time, &size, &attribute);
    const time_t t = static_cast<time_t>(time);
    struct tm local{};
    localtime_r(&t, &local);
    const JqCalendar date{32, local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          static_cast<double>(local.tm_sec)};
    CJqFileLib lib(path);
    if (!lib.IsLoaded())
        return kLibraryMissing;
    int32_t r = lib.Initialize();
    if (r != 0)
        return r;
    if ((r = lib.NewImage()) == 0) {
        const int32_t w = static_cast<int32_t>(d.width), h = static_cast<int32_t>(d.height);
        if ((r = lib.SetImageInfo(w, h, 1, grey ? kGreyModel : 32, 1)) == 0 &&
            (r = lib.WriteImage(0, 0, w, h, static_cast<uint32_t>(packed.size()), packed.data())) == 0 &&
            (r = lib.SetTag(306, JQFL_TAGTYPE_CALENDAR, sizeof date, &date)) == 0)
            r = lib.SaveFile(JQFL_TYPE_JPEG, 3, path.c_str());
        lib.CloseFile();
    }
    lib.Terminate();
    return r;
}

int32_t CImageFileIf::If_GetThumbAndCaption(const std::string& folder, const std::string& file,
                                            std::unique_ptr<PictureRecord>& record, int32_t width, int32_t height,
                                            int32_t orientation, const plat::Event* abort,
                                            bool buildFromPicture) {
    if (MakeNamedRecord(record, file) != 0)
        return JqIfMngResult_Failed;
    std::string path;
    if (const int32_t r = Ifl_GetThumbFilePath(folder, file, &path); r != 0)
        return r;
    int32_t r = 0;
    std::unique_ptr<CJqFileLib> lib = OpenImageFile(path, &r);
    if (!lib && isCamera() && r != kLibraryMissing)
        return cameraThumbnail(folder, file, *record);  // a header without a thumbnail the library reads
    if (!lib)
        return r;
    struct Closer {
        CJqFileLib& lib;
        ~Closer() {
            lib.CloseFile();
            lib.Terminate();
        }
    } closer{*lib};
    if (plat::isSignalled(abort))
        return JqIfMngResult_Cancelled;
    lib->GetFileType();
    if (!buildFromPicture)
        lib->AllowEmbeddedThumbnail(true);
    if ((r = readThumbPixels(*lib, path, *record, width, height, orientation)) != 0) {
        if (!isCamera())
            return r;
        if ((r = cameraThumbnail(folder, file, *record)) != 0)
            return r;
    }
    if (endsWithNoCase(file, ".JPG"))
        lib->HasExifVersion(&record->exif);
    else
        record->exif = 1;
    if (!record->shotInfo) {
        int32_t w = 0, h = 0, d = 0, model = -1;
        if (lib->GetImageInfo(&w, &h, &d, &model) != 0)
            model = -1;
        try {
            record->shotInfo = std::make_unique<ShotInfo>();
        } catch (const std::bad_alloc&) {
            return JqIfMngResult_NoMemory;
        }
        lib->BuildShotInfo(record->shotInfo.get(), model);
    }
    return 0;
}

int32_t CImageFileIf::If_GetThumbnail(const std::string& folder, const std::string& file,
                                      std::unique_ptr<PictureRecord>& record, int32_t width, int32_t height,
                                      bool keepProportions, int32_t orientation) {
    if (MakeNamedRecord(record, file) != 0)
        return JqIfMngResult_Failed;
    if (isCamera())
        return cameraThumbnail(folder, file, *record);
    std::string path;
    if (const int32_t r = Ifl_GetThumbFilePath(folder, file, &path); r != 0)
        return r;
    return libraryThumbnail(path, file, *record, width, height, keepProportions, orientation);
}

int32_t CImageFileIf::cameraThumbnail(const std::string& folder, const std::string& file, PictureRecord& record) {
    int32_t folderId = 0, fileId = 0;
    if (const int32_t r = cameraIds(folder, file, &folderId, &fileId); r != 0)
        return r;
    RundleThumbDescription d;
    std::vector<uint8_t> pixels;
    if (const int32_t r = controller_->GetThumbImage(folderId, fileId, &d, pixels); r != 0)
        return sessionResult(r);
    const int32_t model = static_cast<int32_t>(d.colourCode) == kGreyModel ? kGreyModel : 32;
    const uint64_t rowBytes = uint64_t{d.width} * (model == kGreyModel ? 1 : 3);
    const uint64_t srcRow = d.rowBytes ? d.rowBytes : rowBytes;
    if (srcRow < rowBytes || pixels.size() < srcRow * d.height)
        return JqIfMngResult_Failed;
    std::vector<uint8_t> packed;
    packed.reserve(static_cast<size_t>(rowBytes * d.height));
    for (uint32_t y = 0; y < d.height; ++y)
        packed.insert(packed.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * srcRow),
                      pixels.begin() + static_cast<std::ptrdiff_t>(y * srcRow + rowBytes));
    CImageBuffer buffer;
    FreeBitmapArray(record);
    const ImageDescription description{static_cast<int32_t>(d.width), static_cast<int32_t>(d.height), 1, model};
    return BuildPictureTiles(buffer, true, description, packed.size(), packed.data(), record) ? 0
                                                                                           : JqIfMngResult_NoMemory;
}

int32_t CImageFileIf::libraryThumbnail(const std::string& path, const std::string& file, PictureRecord& target,
                                       int32_t width, int32_t height, bool keepProportions, int32_t orientation) {
    PictureRecord* record = &target;
    int32_t r = 0;
    std::unique_ptr<CJqFileLib> lib = OpenImageFile(path, &r);
    if (!lib)
        return r;
    struct Closer {
        CJqFileLib& lib;
        ~Closer() {
            lib.CloseFile();
            lib.Terminate();
        }
    } closer{*lib};
    const bool wholePicture = endsWithNoCase(file, ".MOV") || endsWithNoCase(file, ".RWQ") || endsWithNoCase(file, ".TIF");
    int32_t w = 0, h = 0, depth = 1, model = 0, o = 1;
    if (wholePicture) {
        if ((r = lib->GetFileType()) != 0) return r;
        if ((r = lib->GetImageInfo(&w, &h, &depth, &model)) != 0) return r;
    } else if ((r = lib->GetSubImageInfo(&w, &h, &depth, &model, &o)) != 0) {
        return r;
    }
    int32_t tw = width, th = height;
    if (keepProportions)
        FitThumbnail(w, h, width, &tw, &th);
    if (wholePicture) {
        if ((r = lib->SetImageInfo(tw, th, depth, model, orientation)) != 0) return r;
        if ((r = lib->GetImageInfo(&w, &h, &depth, &model)) != 0) return r;
    } else {
        if ((r = lib->SetSubImageInfo(tw, th, depth, model, orientation)) != 0) return r;
        if ((r = lib->GetSubImageInfo(&w, &h, &depth, &model, &o)) != 0) return r;
    }
    if (model == 4 || model == 34)
        return JqIfMngResult_StatusCannotShow;
    const uint64_t bytes = uint64_t{model == kGreyModel ? 1u : 3u} * static_cast<uint64_t>(depth) *
                           static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
    if (bytes == 0 || bytes > (64u << 20))
        return JqIfMngResult_NoMemory;
    std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
    r = wholePicture ? lib->ReadImage(0, 0, w, h, static_cast<uint32_t>(bytes), pixels.data())
                     : lib->ReadSubImage(0, 0, w, h, static_cast<uint32_t>(bytes), pixels.data());
    if (r != 0)
        return r;
    CImageBuffer buffer;
    FreeBitmapArray(*record);
    return BuildPictureTiles(buffer, true, ImageDescription{w, h, depth, model}, bytes, pixels.data(), *record)
               ? 0
               : JqIfMngResult_NoMemory;
}

int32_t CImageFileIf::Ifl_GetImageInfo(const std::string& folder, const std::string& file, int32_t* width,
                                       int32_t* height) {
    std::string path;
    if (const int32_t r = Ifl_GetThumbFilePath(folder, file, &path); r != 0)
        return r;
    int32_t r = 0;
    std::unique_ptr<CJqFileLib> lib = OpenImageFile(path, &r);
    if (!lib)
        return r;
    int32_t depth = 0, model = 0, o = 0;
    r = endsWithNoCase(file, ".MOV") ? lib->GetImageInfo(width, height, &depth, &model)
                                     : lib->GetSubImageInfo(width, height, &depth, &model, &o);
    lib->CloseFile();
    lib->Terminate();
    return r;
}

int32_t CImageFileIf::Ifl_SetFileInfo(const std::string& folder, const std::string& file, PictureRecord& record,
                                      int32_t index) {
    uint32_t size = 0;
    int32_t p = 0, h = 0;
    const int32_t r = If_GetFileSizeTimeStatus(folder, file, &size, nullptr, &p, &h);
    if (r != 0)
        return r;
    record.protect = p;
    record.hidden = h;
    record.size = size;
    record.movie = IsMovieName(file) ? 1 : 0;
    record.transferMarked = 0;
    record.index = index;
    return 0;
}

// ---------------------------------------------------------------- attributes, deletion, formatting

int32_t CImageFileIf::setAttribute(const std::string& folder, const std::string& file, bool set, uint32_t bit) {
    int32_t r = 0;
    if (isCamera()) {
        int32_t folderId = 0, fileId = 0;
        if ((r = cameraIds(folder, file, &folderId, &fileId)) != 0)
            return r;
        r = bit == plat::FileAttr::ReadOnly ? controller_->SetProtectStats(folderId, fileId, set)
                                            : controller_->SetHideStats(folderId, fileId, set);
        if (r != 0)
            return sessionResult(r);
    } else {
        if (!card_)
            return JqIfMngResult_Failed;
        if ((r = card_->SetFileAttribute(Ifl_GetCardFilePath(folder, file), set, bit)) != 0)
            return r;
    }
    // the local copy follows
    int32_t kind = 0;
    std::string local;
    if (Ifl_GetTempStatus(folder, file, &kind, &local) == 0 && kind == 2)
        plat::changeDosAttributes(local, set ? bit : 0, set ? 0 : bit);
    return 0;
}

int32_t CImageFileIf::If_SetProtectStatus(const std::string& folder, const std::string& file, bool set) {
    return setAttribute(folder, file, set, plat::FileAttr::ReadOnly);
}

int32_t CImageFileIf::If_SetHideStatus(const std::string& folder, const std::string& file, bool set) {
    return setAttribute(folder, file, set, plat::FileAttr::Hidden);
}

int32_t CImageFileIf::If_DeleteFile(const std::string& folder, const std::string& file) {
    if (isCamera()) {
        int32_t folderId = 0, fileId = 0;
        if (const int32_t r = cameraIds(folder, file, &folderId, &fileId); r != 0)
            return r;
        if (const int32_t r = controller_->DeleteImage(folderId, fileId); r != 0)
            return sessionResult(r);
        std::lock_guard<std::mutex> lock(mapsLock_);
        fileMaps_[folderId].erase(file);
    } else {
        fs::path p;
        if (!ResolveCardPath(Ifl_GetCardFilePath(folder, file), &p) || !plat::fileExists(p))
            return JqIfMngResult_NotFound;
        plat::changeDosAttributes(p, 0, plat::FileAttr::Settable);
        if (!plat::removeFile(p))
            return JqIfMngResult_Failed;
    }
    if (isSafeName(folder) && isSafeName(file)) {
        const std::string local = localPictureFolder(folder) + "/" + file;
        if (plat::fileExists(local)) {
            plat::changeDosAttributes(local, 0, plat::FileAttr::Settable);
            plat::removeFile(local);
        }
        plat::removeFile(localPictureFolder(folder) + "/header/" + file);
    }
    return 0;
}

int32_t CImageFileIf::If_DeleteFolder(const std::string& folder) {
    if (isCamera()) {
        const int32_t id = If_SearchFolderID(folder);
        if (id == 0)
            return JqIfMngResult_FolderNotFound;
        if (const int32_t r = controller_->DeleteFolder(id); r != 0)
            return sessionResult(r);
        std::lock_guard<std::mutex> lock(mapsLock_);
        folderMap_.erase(folder);
        fileMaps_.erase(id);
    } else if (const int32_t r = deleteCardFolder(folder); r != 0) {
        return r;
    }
    if (isSafeName(folder))
        plat::deleteTree(localPictureFolder(folder));
    return 0;
}

// The card's folder with its pictures: protected and hidden ones too (the user
// was told the folder holds pictures). A folder that is still there afterwards,
// in part or whole, is a failure.
int32_t CImageFileIf::deleteCardFolder(const std::string& folder) {
    if (!isSafeName(folder))
        return JqIfMngResult_FolderNotFound;
    const std::string path = folder == CDCIMFolder::kOlderFolder
                                 ? JoinCardPath(cardRoot_, CDCIMFolder::kOlderFolder)
                                 : JoinCardPath(JoinCardPath(cardRoot_, CDCIMFolder::kPictureRoot), folder);
    fs::path p;
    if (!ResolveCardPath(path, &p) || !plat::folderExists(p))
        return JqIfMngResult_FolderNotFound;
    std::vector<plat::DirEntry> entries;
    if (plat::listFolder(p, &entries))
        for (const plat::DirEntry& entry : entries)
            if (!entry.isLink && !entry.attributes.isDirectory())
                plat::changeDosAttributes(p / entry.name, 0, plat::FileAttr::Settable);
    plat::deleteTree(p);
    return plat::folderExists(p) ? JqIfMngResult_Failed : JqIfMngResult_NoError;
}

int32_t CImageFileIf::If_FormatCard() {
    ImageFileIfHost* host = g_host;
    if (!host)
        return JqIfMngResult_Failed;
    if (isCamera()) {
        if (!host->AskFormatCameraCard())
            return ResumeDeviceCheck() == 0 ? JqIfMngResult_Cancelled : JqIfMngResult_Failed;
        const int32_t r = host->RunCameraFormat(controller_);
        if (r != 0) {
            host->ShowFormatFailed();
            return ResumeDeviceCheck() == 0 ? JqIfMngResult_FormatFailed : JqIfMngResult_Failed;
        }
        return 0;
    }
    char letter = 0;
    const std::string root = host->CurrentCardRoot();
    if (root.empty() || !std::isalpha(static_cast<unsigned char>(root[0])))
        return JqIfMngResult_FormatFailed;
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    CMassStrage temporary;
    return temporary.FormatDrive(letter - 'A');
}

// ---------------------------------------------------------------- source state

int32_t CImageFileIf::If_IsSessionLost() {
    if (!isCamera())
        return 0;
    int32_t lost = 0;
    return controller_->IsSessionCheck(&lost) ? 0 : lost;
}

int32_t CImageFileIf::Ifl_CheckSource(const std::string& folder) {
    if (kind_ == kCamera)
        return If_IsSessionLost();
    return card_ ? card_->IsTargetStatus(cardRoot_, folder) : JqIfMngResult_StatusNoCard;
}

void CImageFileIf::Ifl_SetCardAccessFlag(int32_t value) {
    if (kind_ == kCard && card_)
        card_->SetAccessFlag(value);
}
