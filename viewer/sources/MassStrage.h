#pragma once
// CMassStrage: the card source. Lists pictures with their attributes, copies a
// picture in chunks with progress, changes attributes, formats the drive and
// watches the card for changes (the main frame's periodic device check).
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fs/FileOps.h"
#include "platform/thread/CriticalSection.h"
#include "platform/thread/Event.h"
#include "viewer/sources/DCIMFolder.h"
#include "viewer/sources/PictureRecords.h"

// Copy progress: bytes done, bytes total, the caller's reference; a non-zero
// answer stops the copy and becomes its result.
typedef int32_t (*CopyProgressProc)(uint64_t done, uint64_t total, void* reference);

// Formats a removable drive (the shell's format service). 0 on success; any
// other value is a failure. The card source refuses anything not removable
// before it asks.
using DriveFormatter = std::function<int32_t(char letter)>;

class CMassStrage : public CDCIMFolder {
public:
    CMassStrage() = default;
    ~CMassStrage() override = default;

    // The system's format service; set by the application (none: formatting fails).
    static void SetDriveFormatter(DriveFormatter formatter);
    // Tests shorten the pause between the scans of a changing card.
    void SetQuietWait(std::function<void(uint32_t ms)> sleeper) { sleep_ = std::move(sleeper); }

    int32_t IsTargetStatus(const std::string& root, const std::string& folder);
    int32_t _ChkFolderFile(int32_t* folderCount, int32_t* fileCount, int32_t* hasPictures);

    int32_t ListDCFFileNames(std::vector<std::string>& list, const std::string& folderPath,
                             const plat::Event* abort) const;
    int32_t ListFiles(const std::string& folderPath, FileInfoArray& array, const plat::Event* abort) const;
    int32_t ListFilesFiltered(const std::string& folderPath, FileInfoArray& array, bool skipHidden, int32_t mode,
                              const std::vector<std::string>& nameList, const plat::Event* abort) const;

    int32_t SetFileAttribute(const std::string& path, bool set, uint32_t bits) const;
    // Copies in 128 KiB chunks; 0 when the copy ran to its end, the procedure's
    // value when it stopped it, -99 when the source is missing, -90 when the
    // destination is write-protected or refused, -114 for any other failure. A
    // failed or stopped copy leaves nothing under the destination's name. A
    // scratch copy is not synced (see plat::Durability).
    int32_t CopyCallBack(const std::string& source, const std::string& destination, CopyProgressProc progress,
                         void* reference, plat::Durability durability = plat::Durability::Synced) const;
    int32_t FormatDrive(int32_t drive);

    int32_t GetAccessFlag();
    void SetAccessFlag(int32_t value);

private:
    int32_t listEntries(const std::string& folderPath, FileInfoArray& array, bool skipHidden, int32_t mode,
                        const std::vector<std::string>* nameList, const plat::Event* abort) const;

    int32_t folderCountSeen_ = 0;
    int32_t fileCountSeen_ = 0;
    std::string watchedRoot_;
    std::string currentFolder_;
    int32_t accessFlag_ = 1;
    plat::CriticalSection lock_;
    std::function<void(uint32_t)> sleep_;
};
