#include "viewer/transfer/TransFileList.h"

#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqIfMngResult.h"

#include <algorithm>
#include <tuple>

void CTransFileList::AddRecord(TransFileArray& array, const std::string& folder, const std::string& name,
                               int32_t readOnly, int32_t hidden, int64_t time, uint64_t size, int32_t rotation) {
    auto r = std::make_unique<TransFileRecord>();
    r->sourceFolder = folder;
    r->fileName = name;
    r->readOnly = readOnly;
    r->hidden = hidden;
    r->time = time;
    r->size = size;
    r->rotation = rotation;
    array.push_back(std::move(r));
}

void CTransFileList::count(uint64_t size) {
    total_ += size;
    if (size > largest_) largest_ = size;
}

int32_t CTransFileList::Build(int32_t mode, uint32_t selectTransfer, uint32_t saveImage,
                              const TransSelection* selection, std::unique_ptr<TransFileArray>* array,
                              uint64_t* total, uint64_t* largest) {
    total_ = largest_ = 0;
    if (!*array) *array = std::make_unique<TransFileArray>();
    int32_t r = 0;
    if (!source_) {
        r = JqIfMngResult_Failed;
    } else if (mode == kPanel) {
        r = folderList(selectTransfer, saveImage, **array);
    } else if (mode == kCameraRequest) {
        r = folderList(1, saveImage, **array);
    } else if (mode == kSelection) {
        r = selection ? selectionList(*selection, **array) : JqIfMngResult_NoPictures;
    }
    if (r != 0) {
        array->reset();
        return r;
    }
    *total = total_;
    *largest = largest_;
    return 0;
}

int32_t CTransFileList::folderList(uint32_t filter, uint32_t saveImage, TransFileArray& array) {
    const bool marks = filter == 1 || filter == 2;
    if (marks) {
        source_->ClearTransferMarkList();
        const int32_t r = source_->GetTransferMarkList();
        if (r != 0 && (filter == 1 || r == JqIfMngResult_NeedsCard)) {
            source_->ClearTransferMarkList();
            return r;
        }
    }
    // Every folder of the source: marked pictures may lie in any of them.
    FileInfoArray listed;
    int32_t r = source_->If_GetFileList(nullptr, listed, saveImage == 0, static_cast<int32_t>(filter), nullptr);
    if (r == JqIfMngResult_EmptyFolder) r = 0;
    // A card folder lists in the file system's order (hashed on many); the
    // camera numbered its pictures by name, folder by folder, so new names and
    // serial numbers follow that order. A camera gives its own order.
    if (source_->Kind() == CImageFileIf::kCard)
        std::stable_sort(listed.begin(), listed.end(), [](const FileListEntry& a, const FileListEntry& b) {
            return std::tie(a.folderName, a.fileName, a.time) < std::tie(b.folderName, b.fileName, b.time);
        });
    if (r == 0) {
        for (const FileListEntry& e : listed) {
            AddRecord(array, e.folderName, e.fileName, e.protect, e.hidden, e.time, e.size, 0);
            count(e.size);
        }
    }
    FreeFileInfoArray(listed);
    if (marks) source_->ClearTransferMarkList();
    return r;
}

int32_t CTransFileList::selectionList(const TransSelection& selection, TransFileArray& array) {
    for (const TransSelectionItem& item : selection.items) {
        if (!item.selected) continue;
        uint32_t size = 0;
        int64_t time = 0;
        int32_t protect = 0, hidden = 0;
        const int32_t r = source_->If_GetFileSizeTimeStatus(selection.folder, item.name, &size, &time, &protect, &hidden);
        if (r == JqIfMngResult_NotFound) {
            if (source_->If_IsSessionLost() != 0) break;
            continue;
        }
        if (r != 0) break;
        AddRecord(array, selection.folder, item.name, protect, hidden, time, size, item.rotation);
        count(size);
    }
    return array.empty() ? JqIfMngResult_NoPictures : 0;
}
