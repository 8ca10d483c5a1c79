#include "viewer/browser/picture_viewer/ViewerJobs.h"

#include "platform/fs/DosAttributes.h"
#include "platform/proc/Process.h"
#include "viewer/browser/ImageBuffer.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/picture_viewer/ViewerGeometry.h"
#include "viewer/shell/common/FolderTools.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kOpenWithDesktop = "/usr/bin/xdg-open";

bool IsPlainFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec) && !fs::is_directory(path, ec);
}

bool IsExecutable(const std::string& path) { return IsPlainFile(path) && ::access(path.c_str(), X_OK) == 0; }

// The program that opens a file: the file itself when it is a program, else the desktop's opener.
std::string AssociatedProgram(const std::string& file) {
    if (IsExecutable(file)) return file;
    return IsExecutable(kOpenWithDesktop) ? kOpenWithDesktop : std::string();
}

bool CheckMemory(ViewerOpenHost& host) { return host.AvailableMemory() > kViewerMemoryFloor; }

// Movies and, when asked, still pictures go to an outside program through a
// read-only copy in the work folder.
int32_t OpenInOutsideProgram(const ViewerOpenJob& job, const ViewerOpenItem& item, const std::string& path) {
    std::string work;
    if (!MakeWorkFolderIn(job.tempFolder, job.folder, &work)) return kViewerNoWorkFolder;
    const std::string copy = (fs::path(work) / item.file).string();
    std::error_code ec;
    if (fs::exists(copy, ec)) plat::changeDosAttributes(copy, 0, plat::FileAttr::ReadOnly);
    const int32_t copied = job.access->CopyFile(path, copy);
    if (copied != 0) return copied;
    plat::changeDosAttributes(copy, plat::FileAttr::ReadOnly, 0);
    if (item.movie) return LaunchMovieProgram(*job.host, job.settings.DinamicSoft, copy);
    return LaunchStillProgram(*job.host, job.settings.StaticSoft, copy);
}

int32_t OpenInBuiltInViewer(const ViewerOpenJob& job, const ViewerOpenItem& item, const std::string& path,
                            bool* stop) {
    const std::string title = ViewerTitle(job.folder, item.file);
    int32_t answer = 0;
    if (job.host->ShowInOpenViewer(title, path, item.turns, &answer)) {
        if (answer == 0) return 0;
        *stop = true;
        return answer == kViewerNoLibrary || answer == kViewerLibraryFails ? answer : 0;
    }
    const int32_t result = OpenPictureInNewViewer(*job.host, path, item.turns, title);
    if (result != 0) *stop = true;
    return result;
}

// One selected picture; *stop when the loop must end.
int32_t OpenOnePicture(const ViewerOpenJob& job, const ViewerOpenItem& item, int32_t* progress, bool* stop) {
    *stop = true;
    std::error_code ec;
    if (!fs::is_directory(job.tempFolder, ec)) return kViewerNoWorkFolder;
    if (!CheckMemory(*job.host)) return kViewerNoMemory;
    if (!job.access->IsFile(job.folder, item.file)) return kViewerNotFound;
    std::string path;
    const int32_t found = job.access->GetFullPath(job.folder, item.file, &path);
    if (found != 0) return found;
    *progress += 10;
    *stop = false;
    int32_t result = 0;
    if (item.movie || job.settings.ViewerSoft == 1) {
        result = OpenInOutsideProgram(job, item, path);
        if (result != 0) *stop = true;
    } else {
        result = OpenInBuiltInViewer(job, item, path, stop);
    }
    if (!*stop) job.host->StepDone(*progress);
    return result;
}

int32_t SelectedCount(const std::vector<ViewerOpenItem>& items) {
    int32_t n = 0;
    for (const ViewerOpenItem& i : items) n += i.selected ? 1 : 0;
    return n;
}

bool Cancelled(const ViewerOpenJob& job) { return job.cancelled && job.cancelled(); }

}  // namespace

int32_t ViewerOpenHost::LoadPicture(const std::string& path, int32_t turns, std::unique_ptr<PictureRecord>& out) {
    CImageBuffer buffer;
    return LoadImageBuffer(buffer, path, out, turns);
}

int32_t ViewerOpenHost::StartProgram(const std::string& program, const std::string& argument) {
    return plat::startDetached(program, {argument}) == plat::ProcResult::Ok ? 0 : kViewerCannotStart;
}

double ViewerOpenHost::AvailableMemory() {
    std::ifstream in("/proc/meminfo");
    std::stringstream text;
    text << in.rdbuf();
    return MemoryAvailableFromMeminfo(text.str());
}

int32_t ViewerLoadResult(int32_t loadResult) {
    if (loadResult == kLoadNoMemory) return kViewerNoMemory;
    if (loadResult == kViewerNoLibrary || loadResult == kViewerLibraryFails || loadResult == kViewerNoMemory)
        return loadResult;
    return kViewerCannotShow;
}

int32_t OpenPictureInNewViewer(ViewerOpenHost& host, const std::string& path, int32_t turns,
                               const std::string& title) {
    std::unique_ptr<PictureRecord> record;
    const int32_t loaded = host.LoadPicture(path, turns, record);
    if (loaded != 0 || !record) {
        FreePictureRecord(record, true);
        return ViewerLoadResult(loaded != 0 ? loaded : kLoadNoMemory);
    }
    record->rotation = turns;
    return host.HandOverPicture(std::move(record), title) ? 0 : kViewerNoMemory;
}

int32_t LaunchMovieProgram(ViewerOpenHost& host, const std::string& dinamicSoft, const std::string& picture) {
    const std::string program = AssociatedProgram(IsPlainFile(dinamicSoft) ? dinamicSoft : picture);
    if (program.empty()) return kViewerNoProgram;
    return host.StartProgram(program, picture);
}

int32_t LaunchStillProgram(ViewerOpenHost& host, const std::string& staticSoft, const std::string& picture) {
    if (!IsPlainFile(staticSoft)) return kViewerNoStillProgram;
    const std::string program = AssociatedProgram(staticSoft);
    if (program.empty()) return kViewerCannotStart;
    return host.StartProgram(program, picture);
}

int32_t ViewerThreadProc(const ViewerOpenJob& job) {
    if (job.items.empty()) return 0;
    if (!job.access->SuspendDeviceCheck()) return kViewerNoWorkFolder;
    const int32_t wanted = SelectedCount(job.items);
    int32_t opened = 0;
    int32_t progress = 0;
    int32_t result = 0;
    for (const ViewerOpenItem& item : job.items) {
        if (Cancelled(job) || !job.host->OpeningRequested() || opened >= wanted) break;
        if (!item.selected) continue;
        ++opened;
        bool stop = false;
        result = OpenOnePicture(job, item, &progress, &stop);
        if (stop) break;
    }
    if (job.access->ResumeDeviceCheck() != 0) result = kViewerNoWorkFolder;
    if (Cancelled(job) && job.host->OpeningRequested()) return result;
    if (!job.host->OpeningRequested()) result = kViewerNoWorkFolder;
    return result;
}

double MemoryAvailableFromMeminfo(const std::string& meminfo) {
    std::istringstream in(meminfo);
    std::string key;
    uint64_t value = 0;
    uint64_t total = 0, available = 0, swapTotal = 0, swapFree = 0;
    bool haveAvailable = false;
    while (in >> key >> value) {
        if (key == "MemTotal:") total = value;
        else if (key == "MemAvailable:") available = value, haveAvailable = true;
        else if (key == "SwapTotal:") swapTotal = value;
        else if (key == "SwapFree:") swapFree = value;
        in.ignore(256, '\n');
    }
    if (total == 0 || !haveAvailable) return 1.0;
    return double(available + swapFree) / double(total + swapTotal);
}

int32_t RotateThreadProc(JobAccess& access, const std::string& title, int32_t turns,
                         std::unique_ptr<PictureRecord>& out, ViewerOpenHost* loader) {
    std::string folder, file;
    if (!SplitViewerTitle(title, &folder, &file)) return kViewerNoWorkFolder;
    if (!access.SuspendDeviceCheck()) return kViewerNoWorkFolder;
    std::string path;
    const int32_t found = access.GetFullPath(folder, file, &path);
    if (access.ResumeDeviceCheck() != 0) return kViewerNoWorkFolder;
    if (found != 0) return kViewerNoWorkFolder;
    std::unique_ptr<PictureRecord> record;
    CImageBuffer buffer;
    const int32_t loaded = loader ? loader->LoadPicture(path, turns, record) : LoadImageBuffer(buffer, path, record, turns);
    if (loaded == kLoadNoMemory) return kViewerNoMemory;
    if (loaded != 0 || !record) return loaded != 0 ? loaded : kViewerNoMemory;
    record->rotation = turns;
    out = std::move(record);
    return 0;
}
