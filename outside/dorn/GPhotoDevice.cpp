#include "outside/dorn/GPhotoDevice.h"

#include <gphoto2/gphoto2.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "outside/dorn/DornAbi.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// The library loads its camera and port drivers as plug-ins, and some of them
// (and what they pull in) keep memory for the life of the process that the
// leak checker of a sanitizer build would report once they are unloaded.
class PluginLoading {
public:
#if defined(__SANITIZE_ADDRESS__)
    PluginLoading() { __lsan_disable(); }
    ~PluginLoading() { __lsan_enable(); }
#else
    PluginLoading() = default;
#endif
    PluginLoading(const PluginLoading&) = delete;
    PluginLoading& operator=(const PluginLoading&) = delete;
};

// The library's camera list: loading it reads every camera driver (about a
// second), so it is loaded once per process and kept.
CameraAbilitiesList* Abilities()
{
    static CameraAbilitiesList* list = [] {
        PluginLoading loading;
        CameraAbilitiesList* l = nullptr;
        GPContext* context = gp_context_new();
        if (gp_abilities_list_new(&l) < GP_OK || gp_abilities_list_load(l, context) < GP_OK) l = nullptr;
        gp_context_unref(context);
        return l;
    }();
    return list;
}

GPContextFeedback CancelAnswer(GPContext*, void* data)
{
    const auto* device = static_cast<const GPhotoDevice*>(data);
    return device->IsCancelled() ? GP_CONTEXT_FEEDBACK_CANCEL : GP_CONTEXT_FEEDBACK_OK;
}

// A folder name the viewer can use as a local folder name: no separators, no
// dot names, nothing but printable ASCII.
std::string SafeName(const std::string& name)
{
    std::string out;
    for (unsigned char c : name) out += (std::isalnum(c) || c == '_' || c == '-' || c == '.') ? static_cast<char>(c) : '_';
    if (out.empty() || out == "." || out == "..") out = "FOLDER";
    if (out.size() > 200) out.resize(200);
    return out;
}

std::string Upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::vector<std::string> NamesOf(CameraList* list)
{
    std::vector<std::string> names;
    for (int i = 0; i < gp_list_count(list); ++i) {
        const char* name = nullptr;
        if (gp_list_get_name(list, i, &name) == GP_OK && name) names.push_back(name);
    }
    return names;
}

}  // namespace

std::mutex& GPhotoLibraryLock()
{
    static std::mutex lock;
    return lock;
}

int32_t DornResultOf(int r)
{
    if (r >= GP_OK) return DORN_OK;
    switch (r) {
    case GP_ERROR_NOT_SUPPORTED: return DORN_E_NOT_OFFERED;
    case GP_ERROR_IO_USB_CLAIM:
    case GP_ERROR_CAMERA_BUSY: return DORN_R_IN_USE;
    case GP_ERROR_FILE_NOT_FOUND:
    case GP_ERROR_DIRECTORY_NOT_FOUND: return DORN_E_NOT_FOUND;
    case GP_ERROR_TIMEOUT: return DORN_R_NO_ANSWER;
    case GP_ERROR_CANCEL: return DORN_E_CANCELLED;
    case GP_ERROR_NO_MEMORY: return DORN_E_NO_MEMORY;
    case GP_ERROR_IO_USB_FIND:
    case GP_ERROR_MODEL_NOT_FOUND: return DORN_E_LOST;
    default: return DORN_E_IO_FIRST;
    }
}

std::vector<GpFound> DetectUsbCameras()
{
    std::vector<GpFound> found;
    CameraAbilitiesList* abilities = Abilities();
    if (!abilities) return found;
    PluginLoading loading;
    GPPortInfoList* ports = nullptr;
    CameraList* list = nullptr;
    GPContext* context = gp_context_new();
    if (gp_port_info_list_new(&ports) == GP_OK && gp_port_info_list_load(ports) >= GP_OK &&
        gp_list_new(&list) == GP_OK && gp_abilities_list_detect(abilities, ports, list, context) >= GP_OK) {
        for (int i = 0; i < gp_list_count(list); ++i) {
            const char* model = nullptr;
            const char* port = nullptr;
            if (gp_list_get_name(list, i, &model) != GP_OK || gp_list_get_value(list, i, &port) != GP_OK) continue;
            if (model && port && std::strncmp(port, "usb:", 4) == 0) found.push_back({model, port});
        }
    }
    if (list) gp_list_free(list);
    if (ports) gp_port_info_list_free(ports);
    gp_context_unref(context);
    return found;
}

bool GPhotoKnowsUsbDevice(uint16_t vendor, uint16_t product)
{
    std::lock_guard<std::mutex> lock(GPhotoLibraryLock());
    CameraAbilitiesList* abilities = Abilities();
    if (!abilities) return false;
    const int count = gp_abilities_list_count(abilities);
    for (int i = 0; i < count; ++i) {
        CameraAbilities a;
        if (gp_abilities_list_get_abilities(abilities, i, &a) != GP_OK) continue;
        if ((a.port & GP_PORT_USB) && a.usb_vendor == vendor && a.usb_product == product) return true;
    }
    return false;
}

GPhotoDevice::GPhotoDevice(GpFound found) : found_(std::move(found)) {}

GPhotoDevice::~GPhotoDevice()
{
    Close();
}

int GPhotoDevice::Open()
{
    if (camera_) return GP_OK;
    CameraAbilitiesList* abilities = Abilities();
    if (!abilities) return GP_ERROR_LIBRARY;
    PluginLoading loading;
    const int model = gp_abilities_list_lookup_model(abilities, found_.model.c_str());
    if (model < GP_OK) return GP_ERROR_MODEL_NOT_FOUND;
    CameraAbilities a;
    int r = gp_abilities_list_get_abilities(abilities, model, &a);
    if (r < GP_OK) return r;
    GPPortInfoList* ports = nullptr;
    r = gp_port_info_list_new(&ports);
    if (r < GP_OK) return r;
    r = gp_port_info_list_load(ports);
    // A "disk:" path the list has not seen is added by the lookup itself.
    const int port = r < GP_OK ? r : gp_port_info_list_lookup_path(ports, found_.port.c_str());
    GPPortInfo info = nullptr;
    r = port < GP_OK ? GP_ERROR_IO_USB_FIND : gp_port_info_list_get_info(ports, port, &info);
    Camera* camera = nullptr;
    if (r >= GP_OK) r = gp_camera_new(&camera);
    if (r >= GP_OK) r = gp_camera_set_abilities(camera, a);
    if (r >= GP_OK) r = gp_camera_set_port_info(camera, info);
    gp_port_info_list_free(ports);
    if (r >= GP_OK) {
        context_ = gp_context_new();
        gp_context_set_cancel_func(context_, &CancelAnswer, this);
        r = gp_camera_init(camera, context_);
    }
    if (r < GP_OK) {
        if (camera) gp_camera_unref(camera);
        if (context_) gp_context_unref(context_);
        context_ = nullptr;
        return r;
    }
    camera_ = camera;
    canDelete_ = (a.file_operations & GP_FILE_OPERATION_DELETE) != 0;
    return GP_OK;
}

void GPhotoDevice::Close()
{
    if (camera_) {
        gp_camera_exit(camera_, context_);
        gp_camera_unref(camera_);
        camera_ = nullptr;
    }
    if (context_) gp_context_unref(context_);
    context_ = nullptr;
}

void GPhotoDevice::ForgetListings()
{
    if (camera_ && camera_->fs) gp_filesystem_reset(camera_->fs);
}

int GPhotoDevice::ListFolders(std::vector<GpFolder>* folders)
{
    folders->clear();
    int r = Open();
    if (r < GP_OK) return r;
    CameraList* list = nullptr;
    r = gp_list_new(&list);
    if (r < GP_OK) return r;
    auto subfolders = [&](const std::string& folder, std::vector<std::string>* names) {
        gp_list_reset(list);
        const int lr = gp_camera_folder_list_folders(camera_, folder.c_str(), list, context_);
        if (lr >= GP_OK) *names = NamesOf(list);
        std::sort(names->begin(), names->end());
        return lr;
    };
    // A card's pictures live in DCIM, at the top (a folder served as a card) or
    // one level down (a camera's storages).
    std::vector<std::string> dcims;
    std::vector<std::string> top;
    r = subfolders("/", &top);
    for (const std::string& t : top) {
        if (Upper(t) == "DCIM") {
            dcims.push_back(Join("/", t));
            continue;
        }
        std::vector<std::string> inner;
        if (subfolders(Join("/", t), &inner) < GP_OK) continue;
        for (const std::string& i : inner)
            if (Upper(i) == "DCIM") dcims.push_back(Join(Join("/", t), i));
    }
    std::set<std::string> taken;  // upper-case: the viewer matches folder names without case
    for (const std::string& dcim : dcims) {
        std::vector<std::string> names;
        if (subfolders(dcim, &names) < GP_OK) continue;
        for (const std::string& n : names) {
            std::string name = SafeName(n);
            for (int k = 2; taken.count(Upper(name)); ++k) name = SafeName(n) + "_" + std::to_string(k);
            taken.insert(Upper(name));
            folders->push_back({name, Join(dcim, n)});
        }
    }
    gp_list_free(list);
    return r;
}

int GPhotoDevice::ListFiles(const std::string& folder, std::vector<GpFile>* files)
{
    files->clear();
    int r = Open();
    if (r < GP_OK) return r;
    CameraList* list = nullptr;
    r = gp_list_new(&list);
    if (r < GP_OK) return r;
    r = gp_camera_folder_list_files(camera_, folder.c_str(), list, context_);
    if (r >= GP_OK) {
        for (const std::string& name : NamesOf(list)) {
            GpFile file;
            file.name = name;
            CameraFileInfo info;
            std::memset(&info, 0, sizeof info);
            if (gp_camera_file_get_info(camera_, folder.c_str(), name.c_str(), &info, context_) >= GP_OK) {
                if (info.file.fields & GP_FILE_INFO_SIZE) file.size = info.file.size;
                if (info.file.fields & GP_FILE_INFO_MTIME) file.mtime = info.file.mtime;
                if (info.file.fields & GP_FILE_INFO_PERMISSIONS)
                    file.isProtected = (info.file.permissions & GP_FILE_PERM_DELETE) == 0;
            }
            files->push_back(std::move(file));
        }
        std::sort(files->begin(), files->end(), [](const GpFile& a, const GpFile& b) { return a.name < b.name; });
    }
    gp_list_free(list);
    return r;
}

int GPhotoDevice::ReadPart(const std::string& folder, const std::string& name, uint64_t offset, uint8_t* buffer,
                           uint64_t* size)
{
    const int r = Open();
    if (r < GP_OK) return r;
    return gp_camera_file_read(camera_, folder.c_str(), name.c_str(), GP_FILE_TYPE_NORMAL, offset,
                               reinterpret_cast<char*>(buffer), size, context_);
}

int GPhotoDevice::Download(const std::string& folder, const std::string& name, int fd)
{
    int r = Open();
    if (r < GP_OK) return r;
    // The library closes the descriptor it is given along with its file.
    const int own = ::dup(fd);
    if (own < 0) return GP_ERROR_IO;
    CameraFile* file = nullptr;
    r = gp_file_new_from_fd(&file, own);
    if (r < GP_OK) {
        ::close(own);
        return r;
    }
    r = gp_camera_file_get(camera_, folder.c_str(), name.c_str(), GP_FILE_TYPE_NORMAL, file, context_);
    gp_file_unref(file);
    return r;
}

int GPhotoDevice::Preview(const std::string& folder, const std::string& name, std::vector<uint8_t>* bytes)
{
    bytes->clear();
    int r = Open();
    if (r < GP_OK) return r;
    CameraFile* file = nullptr;
    r = gp_file_new(&file);
    if (r < GP_OK) return r;
    r = gp_camera_file_get(camera_, folder.c_str(), name.c_str(), GP_FILE_TYPE_PREVIEW, file, context_);
    const char* data = nullptr;
    unsigned long size = 0;
    if (r >= GP_OK && gp_file_get_data_and_size(file, &data, &size) >= GP_OK && data && size > 0)
        bytes->assign(data, data + size);
    else if (r >= GP_OK)
        r = GP_ERROR_NOT_SUPPORTED;
    gp_file_unref(file);
    return r;
}

int GPhotoDevice::Delete(const std::string& folder, const std::string& name)
{
    const int r = Open();
    if (r < GP_OK) return r;
    return gp_camera_file_delete(camera_, folder.c_str(), name.c_str(), context_);
}

int GPhotoDevice::SetProtected(const std::string& folder, const std::string& name, bool on)
{
    const int r = Open();
    if (r < GP_OK) return r;
    CameraFileInfo info;
    std::memset(&info, 0, sizeof info);
    info.file.fields = GP_FILE_INFO_PERMISSIONS;
    info.file.permissions = on ? GP_FILE_PERM_READ : static_cast<CameraFilePermissions>(GP_FILE_PERM_READ | GP_FILE_PERM_DELETE);
    return gp_camera_file_set_info(camera_, folder.c_str(), name.c_str(), info, context_);
}

int GPhotoDevice::RemoveFolder(const std::string& folder)
{
    const int r = Open();
    if (r < GP_OK) return r;
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return GP_ERROR_BAD_PARAMETERS;
    const std::string parent = slash == 0 ? "/" : folder.substr(0, slash);
    return gp_camera_folder_remove_dir(camera_, parent.c_str(), folder.substr(slash + 1).c_str(), context_);
}

bool GPhotoDevice::TakeChanges()
{
    if (!camera_) return false;
    bool changed = false;
    // Bounded: a camera that keeps talking must not hold the worker.
    for (int i = 0; i < 32; ++i) {
        CameraEventType type = GP_EVENT_TIMEOUT;
        void* data = nullptr;
        const int r = gp_camera_wait_for_event(camera_, 0, &type, &data, context_);
        std::free(data);
        if (r < GP_OK || type == GP_EVENT_TIMEOUT) break;
        if (type == GP_EVENT_FILE_ADDED || type == GP_EVENT_FOLDER_ADDED || type == GP_EVENT_FILE_CHANGED)
            changed = true;
    }
    return changed;
}
