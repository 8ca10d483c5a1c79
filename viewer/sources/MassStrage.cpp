#include "viewer/sources/MassStrage.h"

#include <strings.h>

#include <filesystem>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileOps.h"
#include "platform/thread/Timing.h"
#include "viewer/sources/CardPaths.h"
#include "viewer/sources/JqIfMngResult.h"

namespace {

std::mutex g_formatLock;
DriveFormatter g_formatter;

constexpr uint32_t kQuietPauseMs = 2000;
constexpr int kMaxQuietRounds = 5;  // a card that keeps changing is reported anyway

bool nameInList(const std::string& path, const std::vector<std::string>& list) {
    for (const std::string& n : list)
        if (strcasecmp(n.c_str(), path.c_str()) == 0) return true;
    return false;
}

int32_t resultOfCopy(const plat::FsResult& r) {
    switch (r.code) {
    case plat::FsError::Ok: return JqIfMngResult_NoError;
    case plat::FsError::WriteProtected:
    case plat::FsError::AccessDenied: return JqIfMngResult_WriteProtected;
    default: return JqIfMngResult_Failed;
    }
}

}  // namespace

void CMassStrage::SetDriveFormatter(DriveFormatter formatter) {
    std::lock_guard<std::mutex> g(g_formatLock);
    g_formatter = std::move(formatter);
}

int32_t CMassStrage::_ChkFolderFile(int32_t* folderCount, int32_t* fileCount, int32_t* hasPictures) {
    *folderCount = 0;
    *fileCount = 0;
    *hasPictures = 0;
    if (!IsInputCFCard())
        return 0;
    if (!HasHiddenMarker())
        return 1;  // a card of another kind
    // the older flat folder
    SetFolderPath(kOlderFolder);
    std::filesystem::path older;
    if (ResolveCardPath(FolderPath(), &older) && plat::folderExists(older)) {
        *folderCount = 1;
        if (currentFolder_ == kOlderFolder) {
            *fileCount = GetDCFFileCount(kOlderFolder, "");
            *hasPictures = *fileCount != 0;
        } else {
            *hasPictures |= IsDCFFile(kOlderFolder, "") ? 1 : 0;
        }
    }
    // the DCF folders
    SetFolderPath(kPictureRoot);
    std::vector<std::string> folders;
    ListDCFFolders(folders);
    *folderCount += static_cast<int32_t>(folders.size());
    for (const std::string& f : folders) {
        if (strcasecmp(f.c_str(), currentFolder_.c_str()) == 0) {
            *fileCount = GetDCFFileCount(kPictureRoot, f);
            *hasPictures |= *fileCount != 0;
        } else if (!*hasPictures) {
            *hasPictures |= IsDCFFile(kPictureRoot, f) ? 1 : 0;
        }
    }
    return 1;
}

int32_t CMassStrage::IsTargetStatus(const std::string& root, const std::string& folder) {
    bool changed = false;
    // 1-2: first call, or the shown folder changed
    if (watchedRoot_.empty()) {
        folderCountSeen_ = 0;
        fileCountSeen_ = 0;
        watchedRoot_ = root;
        SetRoot(root);
        changed = true;
    } else if (!folder.empty() && folder != currentFolder_) {
        currentFolder_ = folder;
        fileCountSeen_ = 0;
        changed = true;
    } else if (folder.empty() && !currentFolder_.empty()) {
        currentFolder_.clear();
        fileCountSeen_ = 0;
        changed = true;
    }
    // 3: scan
    int32_t folders = 0, files = 0, has = 0;
    const int32_t inserted = _ChkFolderFile(&folders, &files, &has);
    if (!inserted || !has) {
        const int32_t status = inserted ? JqIfMngResult_StatusNotOurs : JqIfMngResult_StatusNoCard;
        return IsPowerOn() ? status : JqIfMngResult_StatusNoPower;
    }
    // 4
    if (folderCountSeen_ == 0)
        folderCountSeen_ = folders;
    if (changed)
        fileCountSeen_ = files;
    // 5
    int32_t result = JqIfMngResult_NoError;
    if (folders != folderCountSeen_ && GetAccessFlag() == 1)
        result = JqIfMngResult_StatusFoldersChanged;
    else if (files != fileCountSeen_)
        result = JqIfMngResult_StatusFilesChanged;
    else
        return JqIfMngResult_NoError;
    // 6: wait until two scans agree (bounded; a card pulled out meanwhile is reported as such)
    for (int round = 0; round < kMaxQuietRounds; ++round) {
        if (sleep_) sleep_(kQuietPauseMs); else plat::sleepMs(kQuietPauseMs);
        folderCountSeen_ = folders;
        fileCountSeen_ = files;
        int32_t f2 = 0, n2 = 0, h2 = 0;
        if (!_ChkFolderFile(&f2, &n2, &h2))
            return IsPowerOn() ? JqIfMngResult_StatusNoCard : JqIfMngResult_StatusNoPower;
        if (f2 == folders && n2 == files)
            break;
        folders = f2;
        files = n2;
    }
    folderCountSeen_ = folders;
    fileCountSeen_ = files;
    return result;
}

int32_t CMassStrage::ListDCFFileNames(std::vector<std::string>& list, const std::string& folderPath,
                                      const plat::Event* abort) const {
    std::filesystem::path folder;
    std::vector<plat::DirEntry> entries;
    if (!ResolveCardPath(folderPath, &folder) || !plat::listFolder(folder, &entries, backend()))
        return JqIfMngResult_NoError;
    for (const plat::DirEntry& e : entries) {
        if (plat::isSignalled(abort)) {
            list.clear();
            return JqIfMngResult_Cancelled;
        }
        if (!e.isFile)  // pipes, devices and links are never pictures
            continue;
        std::string name = e.name;
        if (IsDCFFileName(name))
            list.push_back(name);
    }
    return JqIfMngResult_NoError;
}

int32_t CMassStrage::listEntries(const std::string& folderPath, FileInfoArray& array, bool skipHidden, int32_t mode,
                                 const std::vector<std::string>* nameList, const plat::Event* abort) const {
    FreeFileInfoArray(array);
    std::filesystem::path folder;
    std::vector<plat::DirEntry> entries;
    if (!ResolveCardPath(folderPath, &folder) || !plat::listFolder(folder, &entries, backend()))
        return JqIfMngResult_NoError;
    const std::string folderName = LastCardComponent(folderPath);
    try {
        for (const plat::DirEntry& e : entries) {
            if (plat::isSignalled(abort)) {
                FreeFileInfoArray(array);
                return JqIfMngResult_Cancelled;  // a silent cancel, not "no pictures"
            }
            if (!e.isFile)  // pipes, devices and links are never pictures
                continue;
            std::string name = e.name;
            if (!IsDCFFileName(name))
                continue;
            const bool readOnly = e.attributes.has(plat::FileAttr::ReadOnly);
            const bool hidden = e.attributes.has(plat::FileAttr::Hidden);
            if (skipHidden && hidden)
                continue;
            if (nameList) {
                const bool listed = nameInList(JoinCardPath(folderPath, name), *nameList);
                if ((mode == 1 && !listed) || (mode == 2 && listed) || (mode == 3 && !readOnly) ||
                    (mode == 4 && readOnly))
                    continue;
            }
            FileListEntry entry;
            entry.folderName = folderName;
            entry.fileName = name;
            entry.protect = readOnly ? 1 : 0;
            entry.hidden = hidden ? 1 : 0;
            entry.time = e.mtime;
            entry.size = e.size > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(e.size);
            array.push_back(std::move(entry));
        }
    } catch (const std::bad_alloc&) {
        FreeFileInfoArray(array);
        return JqIfMngResult_NoMemory;
    }
    return JqIfMngResult_NoError;
}

int32_t CMassStrage::ListFiles(const std::string& folderPath, FileInfoArray& array, const plat::Event* abort) const {
    return listEntries(folderPath, array, false, 0, nullptr, abort);
}

int32_t CMassStrage::ListFilesFiltered(const std::string& folderPath, FileInfoArray& array, bool skipHidden,
                                       int32_t mode, const std::vector<std::string>& nameList,
                                       const plat::Event* abort) const {
    return listEntries(folderPath, array, skipHidden, mode, &nameList, abort);
}

int32_t CMassStrage::SetFileAttribute(const std::string& path, bool set, uint32_t bits) const {
    std::filesystem::path file;
    plat::FileStatus st;
    if (!ResolveCardPath(path, &file) || !plat::fileStatus(file, &st, backend()))
        return JqIfMngResult_NotFound;
    const uint32_t settable = bits & plat::FileAttr::Settable;
    const plat::FsResult r = plat::changeDosAttributes(file, set ? settable : 0, set ? 0 : settable, backend());
    return r ? JqIfMngResult_NoError : JqIfMngResult_Failed;
}

int32_t CMassStrage::CopyCallBack(const std::string& source, const std::string& destination,
                                  CopyProgressProc progress, void* reference, plat::Durability durability) const {
    std::filesystem::path src;
    if (!ResolveCardPath(source, &src) || !plat::fileExists(src))
        return JqIfMngResult_NotFound;
    int32_t last = 0;
    const plat::FsResult r = plat::copyFileChunked(
        src, destination,
        [&](uint64_t done, uint64_t total) {
            last = progress ? progress(done, total, reference) : 0;
            return last == 0;
        },
        plat::kCopyChunk, true, durability);
    if (r.code == plat::FsError::Stopped)
        return last;
    return resultOfCopy(r);
}

int32_t CMassStrage::FormatDrive(int32_t drive) {
    if (drive < 0 || drive > 25)
        return JqIfMngResult_FormatFailed;
    const char letter = static_cast<char>('A' + drive);
    // only a removable medium is ever formatted
    if (plat::DriveMap().driveType(letter) != plat::DriveType::Removable)
        return JqIfMngResult_FormatFailed;
    DriveFormatter formatter;
    {
        std::lock_guard<std::mutex> g(g_formatLock);
        formatter = g_formatter;
    }
    if (!formatter || formatter(letter) != 0)
        return JqIfMngResult_FormatFailed;
    SetRoot(std::string{letter, ':'});
    return HasHiddenMarker() ? JqIfMngResult_FormatFailed : JqIfMngResult_NoError;
}

int32_t CMassStrage::GetAccessFlag() {
    std::lock_guard<plat::CriticalSection> g(lock_);
    return accessFlag_;
}

void CMassStrage::SetAccessFlag(int32_t value) {
    std::lock_guard<plat::CriticalSection> g(lock_);
    accessFlag_ = value;
}
