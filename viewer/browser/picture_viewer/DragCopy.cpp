#include "viewer/browser/picture_viewer/DragCopy.h"

#include "platform/fs/DosAttributes.h"
#include "viewer/browser/JobAccess.h"

namespace fs = std::filesystem;

namespace {

// The copy in the work folder still shows its source.
bool CopyMatches(const fs::path& copy, const std::string& source) {
    std::error_code ec;
    if (!fs::is_regular_file(copy, ec)) return false;
    const auto copySize = fs::file_size(copy, ec);
    if (ec) return false;
    const auto sourceSize = fs::file_size(source, ec);
    if (ec || copySize != sourceSize) return false;
    const auto copyTime = fs::last_write_time(copy, ec);
    if (ec) return false;
    const auto sourceTime = fs::last_write_time(source, ec);
    return !ec && copyTime == sourceTime;
}

void MarkCopy(const fs::path& copy, bool hidden) {
    using plat::FileAttr::Hidden;
    using plat::FileAttr::ReadOnly;
    plat::changeDosAttributes(copy, 0, ReadOnly | Hidden);
    plat::changeDosAttributes(copy, ReadOnly | (hidden ? Hidden : 0u), 0);
}

int32_t CopyOne(const DragCopyJob& job, const DragItem& item) {
    if (!job.access->IsFile(job.folder, item.file)) return 0;  // gone: skipped silently
    std::string source;
    const int32_t found = job.access->GetFullPath(job.folder, item.file, &source);
    if (found != 0) return found;
    const fs::path copy = fs::path(job.workFolder) / item.file;
    if (!CopyMatches(copy, source)) {
        std::error_code ec;
        if (fs::exists(copy, ec)) {
            plat::changeDosAttributes(copy, 0, plat::FileAttr::ReadOnly | plat::FileAttr::Hidden);
            fs::remove(copy, ec);
        }
        const int32_t copied = job.access->CopyFile(source, copy.string());
        if (copied != 0) return copied;
        fs::last_write_time(copy, fs::last_write_time(source, ec), ec);
    }
    MarkCopy(copy, item.hidden);
    return 0;
}

}  // namespace

int32_t DragCopyThreadProc(const DragCopyJob& job) {
    job.access->SuspendDeviceCheck();
    int32_t result = 0;
    for (const DragItem& item : job.items) {
        if (job.cancel.valid() && plat::waitFor(job.cancel, 0) == plat::kWaitSignalled) {
            result = kDragCancelled;
            break;
        }
        if (!item.selected) continue;
        result = CopyOne(job, item);
        if (result != 0) break;
    }
    if (job.access->ResumeDeviceCheck() != 0) result = kDragDeviceCheck;
    return result;
}

std::vector<fs::path> DraggedPaths(const DragCopyJob& job) {
    std::vector<fs::path> paths;
    for (const DragItem& item : job.items)
        if (item.selected) paths.push_back(fs::path(job.workFolder) / item.file);
    return paths;
}

CImageDataObject::CImageDataObject(DragCopyJob job, std::function<int32_t(const DragCopyJob&)> runCopy,
                                   std::function<void(int32_t)> reportFailure)
    : plat::FileDragData(Provider([this] { return Provide(); })),
      job_(std::move(job)),
      runCopy_(std::move(runCopy)),
      reportFailure_(std::move(reportFailure)) {}

std::vector<fs::path> CImageDataObject::Provide() {
    const int32_t result = runCopy_ ? runCopy_(job_) : DragCopyThreadProc(job_);
    if (result == kDragCancelled) {
        cancelled_ = true;
        return {};
    }
    if (result != 0) {
        if (reportFailure_) reportFailure_(result);
        return {};
    }
    // Pictures that were gone are not offered.
    std::vector<fs::path> paths;
    std::error_code ec;
    for (const fs::path& p : DraggedPaths(job_))
        if (fs::exists(p, ec)) paths.push_back(p);
    return paths;
}
