#pragma once
// One camera reached through libgphoto2 (a USB camera, or a folder served by the
// library's "Directory Browse" driver): its session and the few file operations
// the camera module needs. Not thread-safe: the module's worker thread is its
// only user, and every call holds GPhotoLibraryLock() (the library keeps global
// state of its own).
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct _Camera;
struct _GPContext;

// A picture folder of the camera as the viewer sees it: one flat list over
// every storage's DCIM folders.
struct GpFolder {
    std::string name;  // safe as a local folder name, unique over the camera
    std::string path;  // the folder on the camera
};

struct GpFile {
    std::string name;
    uint64_t size = 0;
    int64_t mtime = 0;        // seconds since the epoch, 0 unknown
    bool isProtected = false;
};

// A camera the library finds on the USB bus, or a configured folder.
struct GpFound {
    std::string model;
    std::string port;  // "usb:001,005", "disk:/path"
};

std::mutex& GPhotoLibraryLock();

// The cameras on the USB bus the library knows (by id or by the still-image class).
std::vector<GpFound> DetectUsbCameras();

// True when the library's camera list names the USB vendor and product id.
bool GPhotoKnowsUsbDevice(uint16_t vendor, uint16_t product);

// Libgphoto2 results in the camera-module interface's terms.
int32_t DornResultOf(int gpResult);

class GPhotoDevice {
public:
    explicit GPhotoDevice(GpFound found);
    ~GPhotoDevice();
    GPhotoDevice(const GPhotoDevice&) = delete;
    GPhotoDevice& operator=(const GPhotoDevice&) = delete;

    const GpFound& Found() const { return found_; }
    bool IsDisk() const { return found_.port.rfind("disk:", 0) == 0; }
    // The served folder of a "disk:" camera.
    std::string DiskFolder() const { return IsDisk() ? found_.port.substr(5) : std::string(); }

    // The session: opened on the first operation that needs the camera's
    // contents, so that merely finding the camera never claims it.
    int Open();
    void Close();
    bool IsOpen() const { return camera_ != nullptr; }
    bool CanDelete() const { return canDelete_; }

    // Forgets what the library remembers of the camera's folders.
    void ForgetListings();
    int ListFolders(std::vector<GpFolder>* folders);
    int ListFiles(const std::string& folder, std::vector<GpFile>* files);
    // Up to *size bytes from offset; GP_ERROR_NOT_SUPPORTED when the driver
    // cannot read part of a file.
    int ReadPart(const std::string& folder, const std::string& name, uint64_t offset, uint8_t* buffer, uint64_t* size);
    // The whole file written to fd (which stays open).
    int Download(const std::string& folder, const std::string& name, int fd);
    int Preview(const std::string& folder, const std::string& name, std::vector<uint8_t>* bytes);
    int Delete(const std::string& folder, const std::string& name);
    int SetProtected(const std::string& folder, const std::string& name, bool on);
    int RemoveFolder(const std::string& folder);
    // Drains the camera's event queue; true when it reported added or changed
    // files or folders (or, without events of its own, never).
    bool TakeChanges();
    // Set while a long operation may be stopped: the library asks it.
    void SetCancelFlag(const std::atomic<bool>* flag) { cancel_ = flag; }
    bool IsCancelled() const { return cancel_ && cancel_->load(); }

private:
    GpFound found_;
    _Camera* camera_ = nullptr;
    _GPContext* context_ = nullptr;
    bool canDelete_ = false;
    const std::atomic<bool>* cancel_ = nullptr;
};
