#pragma once
// The worker thread of the libgphoto2 camera module: every library call runs
// here, never on a caller's thread. Callers post jobs and read what the worker
// publishes (the cameras present, their folders and pictures, change events)
// under Mutex(); completions and callbacks stay with the entry side, which
// makes them inside entry calls as the module interface asks.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "outside/dorn/GPhotoDevice.h"
#include "outside/dorn/SimCamPictures.h"

struct CamItem {
    GpFile file;
    uint32_t serial = 0;  // stable while the picture stays in its folder
};

struct CamFolder {
    GpFolder folder;
    std::vector<CamItem> items;
    bool listed = false;
};

struct CamState {
    uint32_t id = 0;       // the source id; a camera plugged in again gets a new one
    GpFound found;
    bool present = true;
    bool canDelete = true;
    std::vector<CamFolder> folders;
    uint32_t current = 0;  // the folder the caller selected (changes elsewhere are folder changes)
};

struct CamEvent {
    uint32_t camera = 0;
    uint32_t event = 0;
    uint32_t data = 0;
};

struct GPhotoJob {
    enum class Kind { Settle, ListFolders, ListFolder, Delete, Protect, RemoveFolder, Header, Thumbnail, Deliver, Release };
    GPhotoJob(Kind k, uint32_t cam) : kind(k), camera(cam) {}
    ~GPhotoJob();

    const Kind kind;
    const uint32_t camera;
    uint32_t folder = 0;  // folder number, from 1
    std::string name;     // the picture's file name
    bool flag = false;
    std::atomic<bool> cancelled{false};
    // Under the worker's mutex.
    bool done = false;
    int32_t result = 0;
    uint64_t written = 0;  // delivery: bytes in fd so far
    // Outputs, read once done (a delivery's fd as it fills).
    std::vector<uint8_t> bytes;
    SimThumbnail thumbnail;
    int fd = -1;
    uint64_t total = 0;
    std::atomic<bool> partial{true};  // delivery: the driver reads parts of files
};

struct GPhotoConfig {
    std::vector<std::string> folders;  // served through the library's "Directory Browse" driver
    bool usb = true;                   // look for cameras on the USB bus
    uint32_t idleMs = 500;             // how often the module looks for cameras and changes
    uint32_t chunkSize = 512u << 10;   // bytes read from the camera per step of a copy
};

// Reads "key=value" lines: folder (repeatable, relative to the file), usb,
// idle_ms, chunk_size. False when the file cannot be read.
bool ReadGPhotoConfig(const std::string& path, GPhotoConfig& config);

// An unnamed file in the temporary folder, gone with its descriptor; -1 on failure.
int GPhotoTempFile();

class GPhotoWorker {
public:
    explicit GPhotoWorker(GPhotoConfig config);
    ~GPhotoWorker();
    GPhotoWorker(const GPhotoWorker&) = delete;
    GPhotoWorker& operator=(const GPhotoWorker&) = delete;

    const GPhotoConfig& Config() const { return config_; }
    void Post(const std::shared_ptr<GPhotoJob>& job);
    // Waits for the job; false when it did not end within the bound.
    bool Wait(const std::shared_ptr<GPhotoJob>& job, uint32_t ms);
    // Look for cameras and camera-side changes soon.
    void RequestLook();

    std::mutex& Mutex() { return mutex_; }
    // Under Mutex().
    std::map<uint32_t, CamState>& Cameras() { return cameras_; }
    std::vector<CamEvent> TakeEvents();

private:
    void Run();
    // One step of the job; true when it has ended.
    bool Step(GPhotoJob& job);
    void Detect();
    void Rescan();
    GPhotoDevice* DeviceOf(uint32_t camera);
    int32_t Failed(uint32_t camera, int gpResult);
    bool StillThere(uint32_t camera);
    bool FolderPath(uint32_t camera, uint32_t folder, std::string* path);
    int32_t ListFolders(uint32_t camera, bool report);
    int32_t ListFolder(uint32_t camera, uint32_t folder, bool report);
    int32_t DeliverStep(GPhotoJob& job, bool* finished);
    int32_t WholeFile(GPhotoJob& job, const std::string& folder, int* fd);
    void Header(GPhotoJob& job);
    void Thumbnail(GPhotoJob& job);
    void Finish(GPhotoJob& job, int32_t result);

    GPhotoConfig config_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable doneCv_;
    std::deque<std::shared_ptr<GPhotoJob>> jobs_;
    bool stop_ = false;
    bool lookRequested_ = true;
    std::map<uint32_t, CamState> cameras_;
    std::vector<CamEvent> events_;
    uint32_t nextId_ = 1;
    // Worker-only.
    std::map<uint32_t, std::unique_ptr<GPhotoDevice>> devices_;
    std::map<std::string, std::pair<std::map<std::string, uint32_t>, uint32_t>> serials_;  // by camera port + folder
    std::thread thread_;
};
