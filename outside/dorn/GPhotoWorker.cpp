#include "outside/dorn/GPhotoWorker.h"

#include <fcntl.h>
#include <gphoto2/gphoto2-result.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "outside/dorn/DornAbi.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kHeaderBytes = 256u << 10;      // APP segments are at most 64 KiB each
constexpr uint64_t kThumbnailSourceLimit = 64u << 20;  // whole files read for a thumbnail

}  // namespace

int GPhotoTempFile()
{
    const char* env = std::getenv("TMPDIR");
    const std::string dir = env && *env ? env : "/tmp";
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string pattern = dir + "/gphotocam-XXXXXX";
    fd = ::mkstemp(pattern.data());
    if (fd >= 0) ::unlink(pattern.c_str());
    return fd;
}

namespace {

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::string FdPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

GPhotoJob::~GPhotoJob()
{
    if (fd >= 0) ::close(fd);
}

bool ReadGPhotoConfig(const std::string& path, GPhotoConfig& config)
{
    std::ifstream in(path);
    if (!in) return false;
    const fs::path base = fs::path(path).parent_path();
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "folder" && !value.empty()) {
            const fs::path p(value);
            config.folders.push_back((p.is_absolute() ? p : base / p).lexically_normal().string());
        } else if (key == "usb") {
            config.usb = value != "0";
        } else if (key == "idle_ms") {
            config.idleMs = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (key == "chunk_size") {
            const uint32_t size = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
            if (size >= 4096) config.chunkSize = size;
        }
    }
    return true;
}

GPhotoWorker::GPhotoWorker(GPhotoConfig config) : config_(std::move(config))
{
    thread_ = std::thread([this] { Run(); });
}

GPhotoWorker::~GPhotoWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        for (const auto& job : jobs_) job->cancelled = true;
    }
    wake_.notify_all();
    thread_.join();
    std::lock_guard<std::mutex> lock(GPhotoLibraryLock());
    devices_.clear();
}

void GPhotoWorker::Post(const std::shared_ptr<GPhotoJob>& job)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(job);
    }
    wake_.notify_all();
}

bool GPhotoWorker::Wait(const std::shared_ptr<GPhotoJob>& job, uint32_t ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return doneCv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return job->done; });
}

void GPhotoWorker::RequestLook()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lookRequested_ = true;
    }
    wake_.notify_all();
}

std::vector<CamEvent> GPhotoWorker::TakeEvents()
{
    std::vector<CamEvent> out;
    out.swap(events_);
    return out;
}

void GPhotoWorker::Run()
{
    for (;;) {
        std::shared_ptr<GPhotoJob> job;
        bool look = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || lookRequested_ || !jobs_.empty(); });
            if (stop_) break;
            look = lookRequested_;
            lookRequested_ = false;
            if (!jobs_.empty()) {
                job = jobs_.front();
                jobs_.pop_front();
            }
        }
        std::lock_guard<std::mutex> library(GPhotoLibraryLock());
        if (look) {
            Detect();
            Rescan();
        }
        if (!job) continue;
        if (job->cancelled) {
            Finish(*job, DORN_E_CANCELLED);
            continue;
        }
        if (!Step(*job)) {
            // A long job yields between its steps, so that other requests
            // (a thumbnail during a copy) are not held up behind it.
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(job);
        }
    }
}

void GPhotoWorker::Finish(GPhotoJob& job, int32_t result)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job.result = result;
        job.done = true;
    }
    doneCv_.notify_all();
}

// ---- cameras ------------------------------------------------------------------

void GPhotoWorker::Detect()
{
    std::vector<GpFound> found;
    for (const std::string& folder : config_.folders) {
        std::error_code ec;
        if (fs::is_directory(folder, ec)) found.push_back({"Directory Browse", "disk:" + folder});
    }
    if (config_.usb) {
        for (GpFound& f : DetectUsbCameras()) found.push_back(std::move(f));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [id, state] : cameras_) {
        const bool there = std::any_of(found.begin(), found.end(), [&](const GpFound& f) {
            return f.port == state.found.port && f.model == state.found.model;
        });
        if (!there) state.present = false;
    }
    for (const GpFound& f : found) {
        const bool known = std::any_of(cameras_.begin(), cameras_.end(), [&](const auto& entry) {
            return entry.second.present && entry.second.found.port == f.port && entry.second.found.model == f.model;
        });
        if (known) continue;
        CamState state;
        state.id = nextId_++;
        state.found = f;
        cameras_[state.id] = state;
    }
}

GPhotoDevice* GPhotoWorker::DeviceOf(uint32_t camera)
{
    auto it = devices_.find(camera);
    if (it != devices_.end()) return it->second.get();
    GpFound found;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto state = cameras_.find(camera);
        if (state == cameras_.end() || !state->second.present) return nullptr;
        found = state->second.found;
    }
    auto device = std::make_unique<GPhotoDevice>(found);
    GPhotoDevice* raw = device.get();
    devices_[camera] = std::move(device);
    return raw;
}

bool GPhotoWorker::StillThere(uint32_t camera)
{
    auto it = devices_.find(camera);
    if (it == devices_.end()) return false;
    const GPhotoDevice& device = *it->second;
    if (device.IsDisk()) {
        std::error_code ec;
        return fs::is_directory(device.DiskFolder(), ec);
    }
    for (const GpFound& f : DetectUsbCameras())
        if (f.port == device.Found().port) return true;
    return false;
}

// A failure of the camera: when the camera itself has gone, that is what the
// caller hears (and the camera is marked gone).
int32_t GPhotoWorker::Failed(uint32_t camera, int gpResult)
{
    if (gpResult == GP_ERROR_CANCEL) return DORN_E_CANCELLED;
    if (!StillThere(camera)) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = cameras_.find(camera);
        if (it != cameras_.end()) it->second.present = false;
        return DORN_E_LOST;
    }
    return DornResultOf(gpResult);
}

bool GPhotoWorker::FolderPath(uint32_t camera, uint32_t folder, std::string* path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = cameras_.find(camera);
    if (it == cameras_.end() || folder == 0 || folder > it->second.folders.size()) return false;
    *path = it->second.folders[folder - 1].folder.path;
    return true;
}

// ---- listings -------------------------------------------------------------------

int32_t GPhotoWorker::ListFolders(uint32_t camera, bool report)
{
    GPhotoDevice* device = DeviceOf(camera);
    if (!device) return DORN_E_LOST;
    std::vector<GpFolder> folders;
    const int r = device->ListFolders(&folders);
    if (r < GP_OK) return Failed(camera, r);
    std::lock_guard<std::mutex> lock(mutex_);
    CamState& state = cameras_[camera];
    state.canDelete = device->CanDelete();
    std::vector<CamFolder> next;
    bool changed = folders.size() != state.folders.size();
    for (size_t i = 0; !changed && i < folders.size(); ++i) changed = state.folders[i].folder.path != folders[i].path;
    for (const GpFolder& folder : folders) {
        CamFolder f;
        for (CamFolder& old : state.folders)
            if (old.folder.path == folder.path) f = std::move(old);
        f.folder = folder;
        next.push_back(std::move(f));
    }
    if (changed) {
        // The selected folder keeps its selection only where it still is.
        std::string currentPath;
        if (state.current >= 1 && state.current <= state.folders.size())
            currentPath = state.folders[state.current - 1].folder.path;
        state.current = 0;
        for (size_t i = 0; i < folders.size(); ++i)
            if (folders[i].path == currentPath) state.current = static_cast<uint32_t>(i + 1);
    }
    state.folders = std::move(next);
    if (changed && report) events_.push_back({camera, DORN_EVENT_VALUE, DORN_CAP_FOLDERS});
    return 0;
}

int32_t GPhotoWorker::ListFolder(uint32_t camera, uint32_t folder, bool report)
{
    GPhotoDevice* device = DeviceOf(camera);
    if (!device) return DORN_E_LOST;
    std::string path;
    if (!FolderPath(camera, folder, &path)) return DORN_E_NOT_FOUND;
    std::vector<GpFile> files;
    const int r = device->ListFiles(path, &files);
    if (r < GP_OK) return Failed(camera, r);
    auto& [serials, next] = serials_[device->Found().port + "\n" + path];
    if (next == 0) next = 1;
    std::vector<CamItem> items;
    for (GpFile& f : files) {
        auto s = serials.find(f.name);
        if (s == serials.end()) {
            if (next > 0xFFFF) continue;  // ids carry the serial in 16 bits
            s = serials.emplace(f.name, next++).first;
        }
        items.push_back({std::move(f), s->second});
    }
    std::lock_guard<std::mutex> lock(mutex_);
    CamState& state = cameras_[camera];
    if (folder > state.folders.size()) return DORN_E_NOT_FOUND;
    CamFolder& record = state.folders[folder - 1];
    if (report && record.listed) {
        // Changes the camera made: a new picture wherever it is (its id names
        // its folder); one that went, in the selected folder, else as a change
        // of the folder list.
        bool elsewhere = false;
        auto has = [](const std::vector<CamItem>& list, uint32_t serial) {
            return std::any_of(list.begin(), list.end(), [&](const CamItem& i) { return i.serial == serial; });
        };
        for (const CamItem& old : record.items) {
            if (has(items, old.serial)) continue;
            if (folder == state.current) events_.push_back({camera, DORN_EVENT_REMOVED, (folder << 16) | old.serial});
            else elsewhere = true;
        }
        for (const CamItem& now : items) {
            if (!has(record.items, now.serial)) events_.push_back({camera, DORN_EVENT_ADDED, (folder << 16) | now.serial});
        }
        if (elsewhere) events_.push_back({camera, DORN_EVENT_VALUE, DORN_CAP_FOLDERS});
    }
    record.items = std::move(items);
    record.listed = true;
    return 0;
}

void GPhotoWorker::Rescan()
{
    for (auto& [camera, device] : devices_) {
        if (!device->IsOpen()) continue;
        // A folder served as a camera tells nothing of its changes: it is
        // listed again. A camera says when it has new pictures.
        if (!device->IsDisk() && !device->TakeChanges()) continue;
        device->ForgetListings();
        if (ListFolders(camera, true) != 0) continue;
        uint32_t count = 0;
        std::vector<uint32_t> listed;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const CamState& state = cameras_[camera];
            count = static_cast<uint32_t>(state.folders.size());
            for (uint32_t f = 1; f <= count; ++f)
                if (state.folders[f - 1].listed) listed.push_back(f);
        }
        for (uint32_t f : listed) ListFolder(camera, f, true);
    }
}

// ---- jobs -------------------------------------------------------------------------

bool GPhotoWorker::Step(GPhotoJob& job)
{
    GPhotoDevice* device = job.kind == GPhotoJob::Kind::Settle ? nullptr : DeviceOf(job.camera);
    if (job.kind != GPhotoJob::Kind::Settle && job.kind != GPhotoJob::Kind::Release && !device) {
        Finish(job, DORN_E_LOST);
        return true;
    }
    std::string folder;
    switch (job.kind) {
    case GPhotoJob::Kind::Settle:
        Detect();
        Finish(job, 0);
        return true;
    case GPhotoJob::Kind::Release:
        // The caller is done with the camera: another program may have it now.
        if (device) device->Close();
        if (job.flag) devices_.erase(job.camera);
        Finish(job, 0);
        return true;
    case GPhotoJob::Kind::ListFolders:
        Finish(job, ListFolders(job.camera, false));
        return true;
    case GPhotoJob::Kind::ListFolder: {
        int32_t r = 0;
        bool known = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            known = !cameras_[job.camera].folders.empty();
        }
        if (!known) r = ListFolders(job.camera, false);
        if (r == 0) r = ListFolder(job.camera, job.folder, false);
        Finish(job, r);
        return true;
    }
    default:
        break;
    }
    if (!FolderPath(job.camera, job.folder, &folder)) {
        Finish(job, DORN_E_NOT_FOUND);
        return true;
    }
    device->SetCancelFlag(&job.cancelled);
    switch (job.kind) {
    case GPhotoJob::Kind::Delete: {
        const int r = device->Delete(folder, job.name);
        if (r >= GP_OK) {
            std::lock_guard<std::mutex> lock(mutex_);
            auto& items = cameras_[job.camera].folders[job.folder - 1].items;
            items.erase(std::remove_if(items.begin(), items.end(), [&](const CamItem& i) { return i.file.name == job.name; }),
                        items.end());
        }
        Finish(job, r >= GP_OK ? 0 : Failed(job.camera, r));
        break;
    }
    case GPhotoJob::Kind::Protect: {
        const int r = device->SetProtected(folder, job.name, job.flag);
        if (r >= GP_OK) {
            std::lock_guard<std::mutex> lock(mutex_);
            for (CamItem& i : cameras_[job.camera].folders[job.folder - 1].items)
                if (i.file.name == job.name) i.file.isProtected = job.flag;
        }
        Finish(job, r >= GP_OK ? 0 : Failed(job.camera, r));
        break;
    }
    case GPhotoJob::Kind::RemoveFolder: {
        const int r = device->RemoveFolder(folder);
        if (r >= GP_OK) {
            std::lock_guard<std::mutex> lock(mutex_);
            CamState& state = cameras_[job.camera];
            state.folders.erase(state.folders.begin() + (job.folder - 1));
            state.current = 0;
        }
        Finish(job, r >= GP_OK ? 0 : Failed(job.camera, r));
        break;
    }
    case GPhotoJob::Kind::Header: Header(job); break;
    case GPhotoJob::Kind::Thumbnail: Thumbnail(job); break;
    case GPhotoJob::Kind::Deliver: {
        bool finished = false;
        const int32_t r = DeliverStep(job, &finished);
        device->SetCancelFlag(nullptr);
        if (finished) Finish(job, r);
        return finished;
    }
    default: Finish(job, DORN_E_NOT_OFFERED); break;
    }
    device->SetCancelFlag(nullptr);
    return true;
}

// The whole picture into an unnamed temporary file.
int32_t GPhotoWorker::WholeFile(GPhotoJob& job, const std::string& folder, int* fd)
{
    *fd = GPhotoTempFile();
    if (*fd < 0) return DORN_E_IO_FIRST;
    const int r = devices_[job.camera]->Download(folder, job.name, *fd);
    if (r < GP_OK) {
        ::close(*fd);
        *fd = -1;
        return Failed(job.camera, r);
    }
    return 0;
}

void GPhotoWorker::Header(GPhotoJob& job)
{
    std::string folder;
    FolderPath(job.camera, job.folder, &folder);
    GPhotoDevice* device = devices_[job.camera].get();
    std::vector<uint8_t> bytes(kHeaderBytes);
    uint64_t size = bytes.size();
    int r = device->ReadPart(folder, job.name, 0, bytes.data(), &size);
    if (r == GP_ERROR_NOT_SUPPORTED) {
        int fd = -1;
        const int32_t whole = WholeFile(job, folder, &fd);
        if (whole != 0) return Finish(job, whole);
        const ssize_t n = ::pread(fd, bytes.data(), bytes.size(), 0);
        ::close(fd);
        if (n < 0) return Finish(job, DORN_E_IO_FIRST);
        size = static_cast<uint64_t>(n);
        r = GP_OK;
    }
    if (r < GP_OK) return Finish(job, Failed(job.camera, r));
    bytes.resize(static_cast<size_t>(size));
    job.bytes = HeaderOf(std::move(bytes));
    Finish(job, job.bytes.empty() ? DORN_E_IO_FIRST : 0);
}

void GPhotoWorker::Thumbnail(GPhotoJob& job)
{
    std::string folder;
    FolderPath(job.camera, job.folder, &folder);
    GPhotoDevice* device = devices_[job.camera].get();
    // The camera's own small picture when it has one, else the picture itself.
    std::vector<uint8_t> preview;
    const int r = device->Preview(folder, job.name, &preview);
    int fd = -1;
    if (r >= GP_OK) {
        fd = GPhotoTempFile();
        if (fd < 0 || ::write(fd, preview.data(), preview.size()) != static_cast<ssize_t>(preview.size())) {
            if (fd >= 0) ::close(fd);
            return Finish(job, DORN_E_IO_FIRST);
        }
    } else if (r == GP_ERROR_CANCEL || !StillThere(job.camera)) {
        return Finish(job, Failed(job.camera, r));
    } else if (job.total <= kThumbnailSourceLimit) {
        const int32_t whole = WholeFile(job, folder, &fd);
        if (whole != 0) return Finish(job, whole);
    }
    job.thumbnail = MakeThumbnail(fd >= 0 ? FdPath(fd) : std::string());
    if (fd >= 0) ::close(fd);
    Finish(job, 0);
}

int32_t GPhotoWorker::DeliverStep(GPhotoJob& job, bool* finished)
{
    *finished = true;
    std::string folder;
    FolderPath(job.camera, job.folder, &folder);
    GPhotoDevice* device = devices_[job.camera].get();
    if (job.fd < 0) return DORN_E_IO_FIRST;
    if (job.partial) {
        uint64_t offset = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            offset = job.written;
        }
        std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(config_.chunkSize, job.total - offset)));
        uint64_t size = chunk.size();
        const int r = chunk.empty() ? GP_OK : device->ReadPart(folder, job.name, offset, chunk.data(), &size);
        if (r == GP_ERROR_NOT_SUPPORTED && offset == 0) {
            job.partial = false;
        } else if (r < GP_OK) {
            return Failed(job.camera, r);
        } else {
            if (size > 0 && ::pwrite(job.fd, chunk.data(), size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size))
                return DORN_E_WRITE;
            std::lock_guard<std::mutex> lock(mutex_);
            job.written += size;
            // A short read at the end is the end of the file.
            if (job.written < job.total && size > 0) *finished = false;
            return job.written == job.total ? 0 : DORN_E_IO_FIRST;
        }
    }
    // The driver reads whole files only: the library writes into the file as
    // it reads, and the entry side delivers what is there.
    const int own = ::dup(job.fd);
    if (own < 0) return DORN_E_IO_FIRST;
    const int r = device->Download(folder, job.name, own);
    ::close(own);
    if (r < GP_OK) return Failed(job.camera, r);
    struct stat st{};
    if (::fstat(job.fd, &st) != 0) return DORN_E_IO_FIRST;
    std::lock_guard<std::mutex> lock(mutex_);
    job.written = static_cast<uint64_t>(st.st_size);
    return job.written == job.total ? 0 : DORN_E_IO_FIRST;
}
