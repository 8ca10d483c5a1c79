// The simulated camera: a folder served through the camera-module interface.
// Asynchronous requests complete inside later entry calls (command 0), never
// from a thread of its own; a copy delivers one chunk per command 0.
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "outside/dorn/SimCam.h"
#include "outside/dorn/SimCamConfig.h"
#include "outside/dorn/SimCamPictures.h"

namespace fs = std::filesystem;

namespace {

enum class Kind { Module, Source, Item, Data };

struct Node {
    Kind kind = Kind::Module;
    uint32_t id = 0;       // source 1; item id; data object: its data type
    uint32_t itemId = 0;   // data objects: the item they belong to
    std::map<uint32_t, DornCallbackRecord> callbacks;
};

struct Pending {
    DornObjectRecord* object = nullptr;
    uint32_t command = 0, parameter = 0, dataType = 0;
    uintptr_t data = 0;
    DornCompletionProc proc = nullptr;
    uintptr_t reference = 0;
    int32_t result = 0;
    uint32_t pumpsLeft = 1;
    bool never = false;
    // A delivery (command 5 on capability 20) in progress.
    bool delivery = false;
    std::string path;
    uint64_t offset = 0;
    uint64_t total = 0;
    uint32_t chunks = 0;
};

struct FolderState {
    std::map<std::string, uint32_t> serials;  // file name -> stable serial
    uint32_t nextSerial = 1;
};

const char kHiddenList[] = ".simcam-hidden";

DornCapRecord Cap(uint32_t id, uint32_t type, uint32_t ops, const char* text)
{
    DornCapRecord r{};
    r.id = id;
    r.type = type;
    r.operationFlags = ops;
    std::snprintf(r.description, sizeof(r.description), "%s", text);
    return r;
}

std::vector<DornCapRecord> CallbackCaps(bool delivery)
{
    std::vector<DornCapRecord> caps = {Cap(DORN_CAP_PROGRESS_CB, 0, DORN_OP_SET, "progress"),
                                       Cap(DORN_CAP_EVENT_CB, 0, DORN_OP_SET, "events"),
                                       Cap(DORN_CAP_REQUEST_CB, 0, DORN_OP_SET, "requests")};
    if (delivery) caps.push_back(Cap(DORN_CAP_DELIVERY_CB, 0, DORN_OP_SET, "delivery"));
    return caps;
}

std::string g_configPath;

class SimCamera {
public:
    int32_t Entry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data,
                  DornCompletionProc proc, uintptr_t reference)
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        switch (command) {
        case DORN_CMD_PUMP: Pump(object); return 0;
        case DORN_CMD_GO:
        case DORN_CMD_CODE15: return 0;
        case DORN_CMD_ABORT: Abort(object); return 0;
        case DORN_CMD_OPEN: return Queue(object, command, parameter, dataType, data, proc, reference,
                                         Open(object, parameter, reinterpret_cast<DornObjectRecord*>(data)));
        default: break;
        }
        if (!nodes_.count(object)) return DORN_E_NOT_OPEN;
        if (command == DORN_CMD_START && parameter == DORN_CAP_DELIVER && nodes_[object].kind == Kind::Data)
            return StartDelivery(object, dataType, data, proc, reference);
        if (command == DORN_CMD_IDLE) ReportSource();
        const int32_t r = Do(object, command, parameter, dataType, data);
        return Queue(object, command, parameter, dataType, data, proc, reference, r);
    }

    static constexpr int32_t kFolderListFailure = -239;

    bool FolderListFails() const
    {
        std::error_code ec;
        return !config_.folderListFailsWhile.empty() &&
               fs::exists(fs::path(config_.root) / config_.folderListFailsWhile, ec);
    }

    bool Holds(DornObjectRecord* object)
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return nodes_.count(object) != 0;
    }

    // The module object is closed (or never opened): nothing of this camera is left.
    bool Ended()
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        return moduleRec_ == nullptr;
    }

private:
    // ---- bookkeeping -------------------------------------------------------

    int32_t Queue(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data,
                  DornCompletionProc proc, uintptr_t reference, int32_t result)
    {
        if (!proc) return result;
        Pending p;
        p.object = object;
        p.command = command;
        p.parameter = parameter;
        p.dataType = dataType;
        p.data = data;
        p.proc = proc;
        p.reference = reference;
        p.result = result;
        p.pumpsLeft = config_.late;
        p.never = config_.noAnswer != 0 && parameter == config_.noAnswer && command != DORN_CMD_OPEN;
        if (p.pumpsLeft == 0 && !p.never) {
            Complete(p, result);
            return 0;
        }
        pending_.push_back(p);
        return 0;
    }

    void Complete(const Pending& p, int32_t result)
    {
        p.proc(p.object, p.command, p.parameter, p.dataType, p.data, p.reference, result);
    }

    // Completes (and forgets) every pending request on the object, or on every
    // object when it is null.
    void Abort(DornObjectRecord* object, int32_t result = DORN_E_CANCELLED)
    {
        std::vector<Pending> aborted;
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (!object || it->object == object) {
                aborted.push_back(*it);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
        for (const Pending& p : aborted) Complete(p, result);
    }

    void SendEvent(DornObjectRecord* object, uint32_t event, uint32_t data)
    {
        auto it = nodes_.find(object);
        if (it == nodes_.end()) return;
        auto cb = it->second.callbacks.find(DORN_CAP_EVENT_CB);
        if (cb == it->second.callbacks.end() || !cb->second.procedure) return;
        reinterpret_cast<DornEventProc>(cb->second.procedure)(cb->second.reference, event, data);
    }

    // Asks the user through the request callback: 1 OK, 2 Cancel, 3 Yes, 4 No, 0 none.
    int32_t Ask(DornObjectRecord* object, uint32_t kind, const char* text, const char* text2)
    {
        const DornCallbackRecord cb = CallbackOf(object, DORN_CAP_REQUEST_CB);
        if (!cb.procedure) return 0;
        DornPromptRequest request{sizeof(DornPromptRequest), kind, 2, text, text2};
        return reinterpret_cast<DornRequestProc>(cb.procedure)(cb.reference, reinterpret_cast<uintptr_t>(&request));
    }

    DornCallbackRecord CallbackOf(DornObjectRecord* object, uint32_t capability)
    {
        auto it = nodes_.find(object);
        if (it == nodes_.end()) return {};
        auto cb = it->second.callbacks.find(capability);
        return cb == it->second.callbacks.end() ? DornCallbackRecord{} : cb->second;
    }

    // ---- the served folder ------------------------------------------------

    fs::path Dcim() const { return fs::path(config_.root) / "DCIM"; }

    bool Present() const
    {
        std::error_code ec;
        return !config_.root.empty() && fs::is_directory(config_.root, ec) && !unplugged_;
    }

    std::vector<std::string> ScanFolders() const
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Dcim(), ec))
            if (e.is_directory(ec) && !e.is_symlink(ec)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::string> ScanFiles(uint32_t folder)
    {
        std::vector<std::string> names;
        if (folder == 0 || folder > folders_.size()) return names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(Dcim() / folders_[folder - 1], ec)) {
            const std::string name = e.path().filename().string();
            if (name.empty() || name[0] == '.' || !e.is_regular_file(ec) || e.is_symlink(ec)) continue;
            names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        FolderState& state = folderState_[folders_[folder - 1]];
        for (const std::string& n : names)
            if (!state.serials.count(n)) state.serials[n] = state.nextSerial++;
        return names;
    }

    uint32_t ItemId(uint32_t folder, const std::string& name)
    {
        return (folder << 16) | (folderState_[folders_[folder - 1]].serials[name] & 0xFFFF);
    }

    // The file of an item id, or empty.
    std::string ItemName(uint32_t id, uint32_t* folderOut = nullptr)
    {
        const uint32_t folder = id >> 16;
        if (folder == 0 || folder > folders_.size()) return {};
        if (folderOut) *folderOut = folder;
        for (const auto& [name, serial] : folderState_[folders_[folder - 1]].serials)
            if ((serial & 0xFFFF) == (id & 0xFFFF) && fs::exists(Dcim() / folders_[folder - 1] / name)) return name;
        return {};
    }

    fs::path ItemPath(uint32_t id)
    {
        uint32_t folder = 0;
        const std::string name = ItemName(id, &folder);
        return name.empty() ? fs::path() : Dcim() / folders_[folder - 1] / name;
    }

    std::set<std::string> ReadHidden() const
    {
        std::set<std::string> hidden;
        std::ifstream in(fs::path(config_.root) / kHiddenList);
        std::string line;
        while (std::getline(in, line))
            if (!line.empty()) hidden.insert(line);
        return hidden;
    }

    bool WriteHidden(const std::set<std::string>& hidden) const
    {
        const fs::path path = fs::path(config_.root) / kHiddenList;
        const fs::path temp = path.string() + ".tmp";
        {
            std::ofstream out(temp, std::ios::trunc);
            for (const std::string& h : hidden) out << h << '\n';
            if (!out.flush()) return false;
        }
        std::error_code ec;
        fs::rename(temp, path, ec);
        return !ec;
    }

    std::string HiddenKey(uint32_t id)
    {
        uint32_t folder = 0;
        const std::string name = ItemName(id, &folder);
        return name.empty() ? std::string() : folders_[folder - 1] + "/" + name;
    }

    // ---- object tree --------------------------------------------------------

    void Reset()
    {
        nodes_.clear();
        pending_.clear();
        moduleRec_ = sourceRec_ = nullptr;
        sourceReported_ = false;
        unplugged_ = false;
        folders_.clear();
        folderState_.clear();
        knownFiles_.clear();
        current_ = 0;
    }

    void LoadConfig()
    {
        config_ = SimCamConfig{};
        std::string path = g_configPath;
        if (path.empty()) {
            if (const char* env = std::getenv("VOREL_SIMCAM_CONFIG")) path = env;
        }
        if (path.empty()) {
            Dl_info info{};
            if (dladdr(reinterpret_cast<void*>(&SimCamEntry), &info) && info.dli_fname)
                path = std::string(info.dli_fname) + ".conf";
        }
        ReadSimCamConfig(path, config_);
        formatBusyLeft_ = config_.busyFormat;
        refreshBusyLeft_ = config_.busyRefresh;
        closeBusyLeft_ = config_.closeBusy;
    }

    int32_t Open(DornObjectRecord* parent, uint32_t id, DornObjectRecord* record)
    {
        if (!record) return DORN_E_BAD_VALUE;
        if (nodes_.count(record)) return DORN_E_ALREADY_OPEN;
        Node node;
        if (!parent) {
            LoadConfig();
            if (config_.openResult != 0) return config_.openResult;
            node.kind = Kind::Module;
            moduleRec_ = record;
            record->objectType = DORN_TYPE_MODULE;
        } else {
            auto p = nodes_.find(parent);
            if (p == nodes_.end()) return DORN_E_NOT_OPEN;
            if (p->second.kind == Kind::Module) {
                if (id != 1 || !Present() || sourceRec_) return DORN_E_NOT_FOUND;
                node.kind = Kind::Source;
                node.id = 1;
                sourceRec_ = record;
                record->objectType = DORN_TYPE_SOURCE;
                folders_ = ScanFolders();
                for (uint32_t folder = 1; folder <= folders_.size(); ++folder) Remember(folder);
            } else if (p->second.kind == Kind::Source) {
                if (ItemName(id).empty()) return DORN_E_NOT_FOUND;
                node.kind = Kind::Item;
                node.id = id;
                record->objectType = DORN_TYPE_ITEM;
            } else if (p->second.kind == Kind::Item) {
                if (id != DORN_DATA_PICTURE && id != DORN_DATA_THUMBNAIL) return DORN_E_NO_SUCH;
                node.kind = Kind::Data;
                node.id = id;
                node.itemId = p->second.id;
                record->objectType = DORN_TYPE_DATA;
            } else {
                return DORN_E_NO_SUCH;
            }
        }
        record->objectId = node.id;
        record->moduleReference = this;
        nodes_[record] = node;
        return 0;
    }

    int32_t CloseObject(DornObjectRecord* object)
    {
        Node& node = nodes_[object];
        if (node.kind == Kind::Data && closeBusyLeft_ > 0) {
            --closeBusyLeft_;
            return DORN_BUSY;
        }
        Abort(object);
        if (object == sourceRec_) sourceRec_ = nullptr;
        if (object == moduleRec_) {
            Reset();
            return 0;
        }
        nodes_.erase(object);
        return 0;
    }

    void ReportSource()
    {
        if (!moduleRec_ || sourceReported_ || !Present()) return;
        sourceReported_ = true;
        SendEvent(moduleRec_, DORN_EVENT_ADDED, 1);
    }

    void Unplug()
    {
        unplugged_ = true;
        // Requests on the source and below end first, then the source goes.
        std::vector<DornObjectRecord*> below;
        for (const auto& [rec, node] : nodes_)
            if (node.kind != Kind::Module) below.push_back(rec);
        for (DornObjectRecord* rec : below) Abort(rec, DORN_E_LOST);
        if (sourceReported_) {
            sourceReported_ = false;
            SendEvent(moduleRec_, DORN_EVENT_REMOVED, 1);
        }
    }

    void Rescan()
    {
        if (!moduleRec_) return;
        if (!Present()) {
            if (sourceReported_ && !config_.root.empty()) Unplug();
            return;
        }
        ReportSource();
        if (!sourceRec_) return;
        const std::vector<std::string> folders = ScanFolders();
        if (folders != folders_) {
            folders_ = folders;
            if (current_ > folders_.size()) current_ = 0;
            SendEvent(sourceRec_, DORN_EVENT_VALUE, DORN_CAP_FOLDERS);
        }
        // Pictures: a new one is reported wherever it is; one that went is
        // reported as such in the current folder, elsewhere as a folder change.
        bool otherFolderLost = false;
        for (uint32_t folder = 1; folder <= folders_.size(); ++folder) {
            const std::string& folderName = folders_[folder - 1];
            const std::vector<std::string> files = ScanFiles(folder);
            auto known = knownFiles_.find(folderName);
            if (known == knownFiles_.end()) {
                knownFiles_[folderName] = files;
                continue;
            }
            const std::vector<std::string> before = known->second;
            known->second = files;
            for (const std::string& name : before) {
                if (std::binary_search(files.begin(), files.end(), name)) continue;
                if (folder == current_ && sourceRec_)
                    SendEvent(sourceRec_, DORN_EVENT_REMOVED, ItemId(folder, name));
                else
                    otherFolderLost = true;
            }
            for (const std::string& name : files)
                if (!std::binary_search(before.begin(), before.end(), name) && sourceRec_)
                    SendEvent(sourceRec_, DORN_EVENT_ADDED, ItemId(folder, name));
            if (!sourceRec_) return;
        }
        if (otherFolderLost && sourceRec_) SendEvent(sourceRec_, DORN_EVENT_VALUE, DORN_CAP_FOLDERS);
    }

    void Forget(uint32_t folder, const std::string& name)
    {
        if (folder == 0 || folder > folders_.size()) return;
        auto known = knownFiles_.find(folders_[folder - 1]);
        if (known == knownFiles_.end()) return;
        known->second.erase(std::remove(known->second.begin(), known->second.end(), name), known->second.end());
    }

    void Remember(uint32_t folder)
    {
        if (folder == 0 || folder > folders_.size()) return;
        knownFiles_[folders_[folder - 1]] = ScanFiles(folder);
    }

    // ---- commands ---------------------------------------------------------

    int32_t Do(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data)
    {
        Node& node = nodes_[object];
        if (unplugged_ && node.kind != Kind::Module && command != DORN_CMD_CLOSE) return DORN_E_LOST;
        switch (command) {
        case DORN_CMD_CLOSE: return CloseObject(object);
        case DORN_CMD_CAPCOUNT:
            *reinterpret_cast<uint32_t*>(data) = static_cast<uint32_t>(Caps(node).size());
            return 0;
        case DORN_CMD_CAPRECORDS: {
            const std::vector<DornCapRecord> caps = Caps(node);
            if (parameter != caps.size()) return DORN_E_CHANGED;
            std::memcpy(reinterpret_cast<void*>(data), caps.data(), caps.size() * sizeof(DornCapRecord));
            return 0;
        }
        case DORN_CMD_SET: return Set(object, node, parameter, dataType, data);
        case DORN_CMD_GET: return Get(node, parameter, dataType, data);
        case DORN_CMD_GETELEMENTS: return Elements(node, parameter, dataType, data);
        case DORN_CMD_START: return Start(node, parameter);
        case DORN_CMD_IDLE: return 0;
        default: return DORN_E_NOT_OFFERED;
        }
    }

    std::vector<DornCapRecord> Caps(const Node& node) const
    {
        std::vector<DornCapRecord> caps;
        const uint32_t G = DORN_OP_GET, S = DORN_OP_SET, St = DORN_OP_START;
        switch (node.kind) {
        case Kind::Module:
            caps = CallbackCaps(false);
            caps.push_back(Cap(DORN_CAP_IDLE_PERIOD, 0, G, "idle period"));
            caps.push_back(Cap(DORN_CAP_CHILDREN, DORN_CAPTYPE_ENUM, G, "sources"));
            break;
        case Kind::Source:
            caps = CallbackCaps(false);
            caps.push_back(Cap(DORN_CAP_CHILDREN, DORN_CAPTYPE_ENUM, G, "pictures of the current folder"));
            caps.push_back(Cap(DORN_CAP_NAME, 0, G, "model"));
            caps.push_back(Cap(DORN_CAP_KINDS, 0, G, "data kinds"));
            caps.push_back(Cap(DORN_CAP_STATUS, 0, G, "status"));
            caps.push_back(Cap(DORN_CAP_FOLDERS, DORN_CAPTYPE_ENUM, G | S, "folders"));
            caps.push_back(Cap(DORN_CAP_FORMAT, 0, St, "format"));
            caps.push_back(Cap(DORN_CAP_STATE, 0, G, "state"));
            caps.push_back(Cap(DORN_CAP_DELETE_FOLDER, 0, St, "delete folder"));
            break;
        case Kind::Item:
            caps = CallbackCaps(false);
            caps.push_back(Cap(DORN_CAP_NAME, 0, G, "file name"));
            caps.push_back(Cap(DORN_CAP_KINDS, 0, G, "data kinds"));
            caps.push_back(Cap(DORN_CAP_DATE, 0, G, "date"));
            caps.push_back(Cap(DORN_CAP_SIZE, 0, G, "size"));
            caps.push_back(Cap(DORN_CAP_START52, 0, St, "delete"));
            caps.push_back(Cap(DORN_CAP_PROTECT, 0, G | S, "protected"));
            caps.push_back(Cap(DORN_CAP_HIDE, 0, G | S, "hidden"));
            break;
        case Kind::Data:
            caps = CallbackCaps(true);
            caps.push_back(Cap(DORN_CAP_SIZE, 0, G, "size"));
            caps.push_back(Cap(DORN_CAP_DELIVER, 0, St, "deliver"));
            if (node.id == DORN_DATA_PICTURE) caps.push_back(Cap(DORN_CAP_HEADER, 0, G, "header"));
            break;
        }
        std::sort(caps.begin(), caps.end(), [](const DornCapRecord& a, const DornCapRecord& b) { return a.id < b.id; });
        return caps;
    }

    int32_t Set(DornObjectRecord*, Node& node, uint32_t parameter, uint32_t dataType, uintptr_t data)
    {
        if (dataType == DORN_DT_PCALLBACK) {
            const auto* callback = reinterpret_cast<const DornCallbackRecord*>(data);
            if (callback->procedure)
                node.callbacks[parameter] = *callback;
            else
                node.callbacks.erase(parameter);
            return 0;
        }
        if (node.kind == Kind::Source && parameter == DORN_CAP_FOLDERS && dataType == DORN_DT_U32VALUE) {
            folders_ = ScanFolders();
            if (data == 0 || data > folders_.size()) return DORN_E_NOT_FOUND;
            current_ = static_cast<uint32_t>(data);
            ScanFiles(current_);
            return 0;
        }
        if (node.kind == Kind::Item && (parameter == DORN_CAP_PROTECT || parameter == DORN_CAP_HIDE)) {
            if (config_.protectResult != 0) return config_.protectResult;
            const bool on = (*reinterpret_cast<const uint8_t*>(data)) != 0;
            return parameter == DORN_CAP_PROTECT ? SetProtect(node.id, on) : SetHidden(node.id, on);
        }
        if (node.kind == Kind::Data && parameter == DORN_CAP_DELIVER_OPTION) return 0;
        return DORN_E_NOT_OFFERED;
    }

    int32_t SetProtect(uint32_t id, bool on)
    {
        const fs::path path = ItemPath(id);
        if (path.empty()) return DORN_E_NOT_FOUND;
        struct stat st{};
        if (::stat(path.c_str(), &st) != 0) return DORN_E_NOT_FOUND;
        const mode_t mode = on ? (st.st_mode & ~static_cast<mode_t>(0222)) : (st.st_mode | 0200);
        return ::chmod(path.c_str(), mode) == 0 ? 0 : DORN_E_IO_FIRST;
    }

    int32_t SetHidden(uint32_t id, bool on)
    {
        const std::string key = HiddenKey(id);
        if (key.empty()) return DORN_E_NOT_FOUND;
        std::set<std::string> hidden = ReadHidden();
        if (on) hidden.insert(key); else hidden.erase(key);
        return WriteHidden(hidden) ? 0 : DORN_E_IO_FIRST;
    }

    bool IsProtected(uint32_t id)
    {
        struct stat st{};
        const fs::path path = ItemPath(id);
        return !path.empty() && ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
    }

    static void PutText(uintptr_t data, const std::string& text)
    {
        char* buffer = reinterpret_cast<char*>(data);
        std::memset(buffer, 0, DORN_TEXT_SIZE);
        std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), DORN_TEXT_SIZE - 1));
    }

    static void PutEnum(uintptr_t data, uint32_t type, uint32_t count, uint32_t current, int16_t bpe)
    {
        auto* e = reinterpret_cast<DornEnum*>(data);
        e->elementType = type;
        e->elementCount = count;
        e->currentIndex = current;
        e->defaultIndex = 0;
        e->bytesPerElement = bpe;
    }

    std::vector<uint32_t> ChildIds(const Node& node)
    {
        std::vector<uint32_t> ids;
        if (node.kind == Kind::Module) {
            if (sourceReported_) ids.push_back(1);
        } else if (node.kind == Kind::Source && current_ != 0) {
            for (const std::string& name : ScanFiles(current_)) ids.push_back(ItemId(current_, name));
        }
        return ids;
    }

    int32_t Get(Node& node, uint32_t parameter, uint32_t dataType, uintptr_t data)
    {
        auto* u32 = reinterpret_cast<uint32_t*>(data);
        if (parameter == DORN_CAP_CHILDREN && (node.kind == Kind::Module || node.kind == Kind::Source)) {
            if (node.kind == Kind::Source && refreshBusyLeft_ > 0) {
                --refreshBusyLeft_;
                return DORN_E_CHANGED;
            }
            PutEnum(data, DORN_ELEM_U32A, static_cast<uint32_t>(ChildIds(node).size()), 0, 4);
            return 0;
        }
        switch (node.kind) {
        case Kind::Module:
            if (parameter == DORN_CAP_IDLE_PERIOD) { *u32 = config_.idleMs; return 0; }
            break;
        case Kind::Source:
            if (parameter == DORN_CAP_NAME) { PutText(data, config_.model); return 0; }
            if (parameter == DORN_CAP_KINDS) { *u32 = 0x09; return 0; }
            if (parameter == DORN_CAP_STATUS) {
                if (config_.statusResult != 0) return config_.statusResult;
                *u32 = (*u32 & 0xFFFF0000u) | (config_.status & 0xFFFF);
                return 0;
            }
            if (parameter == DORN_CAP_STATE) { *u32 = config_.state; return 0; }
            if (parameter == DORN_CAP_FOLDERS && dataType == DORN_DT_PENUM) {
                folders_ = ScanFolders();
                if (current_ > folders_.size()) current_ = 0;
                PutEnum(data, DORN_ELEM_TEXT256, static_cast<uint32_t>(folders_.size() + 1), current_, 256);
                return 0;
            }
            break;
        case Kind::Item: {
            const fs::path path = ItemPath(node.id);
            if (path.empty()) return DORN_E_NOT_FOUND;
            if (parameter == DORN_CAP_NAME) { PutText(data, path.filename().string()); return 0; }
            if (parameter == DORN_CAP_KINDS) { *u32 = 0x09; return 0; }
            if (parameter == DORN_CAP_SIZE) return FileSize(path, u32);
            if (parameter == DORN_CAP_DATE) return PutDate(path, reinterpret_cast<DornItemDate*>(data));
            if (parameter == DORN_CAP_PROTECT) { *reinterpret_cast<uint8_t*>(data) = IsProtected(node.id) ? 1 : 0; return 0; }
            if (parameter == DORN_CAP_HIDE) {
                *reinterpret_cast<uint8_t*>(data) = ReadHidden().count(HiddenKey(node.id)) ? 1 : 0;
                return 0;
            }
            break;
        }
        case Kind::Data: {
            const fs::path path = ItemPath(node.itemId);
            if (path.empty()) return DORN_E_NOT_FOUND;
            if (parameter == DORN_CAP_SIZE) return FileSize(path, u32);
            if (parameter == DORN_CAP_HEADER && node.id == DORN_DATA_PICTURE) {
                header_ = ReadHeader(path.string());
                if (header_.empty()) return DORN_E_IO_FIRST;
                auto* a = reinterpret_cast<DornArray*>(data);
                a->elementType = DORN_ELEM_U8;
                a->elementCount = static_cast<uint32_t>(header_.size());
                a->dimension1 = a->elementCount;
                a->dimension2 = a->dimension3 = 0;
                a->bytesPerElement = 1;
                a->significantBits = 8;
                return 0;
            }
            break;
        }
        }
        return DORN_E_NOT_OFFERED;
    }

    int32_t Elements(Node& node, uint32_t parameter, uint32_t, uintptr_t data)
    {
        if (parameter == DORN_CAP_CHILDREN && (node.kind == Kind::Module || node.kind == Kind::Source)) {
            auto* e = reinterpret_cast<DornEnum*>(data);
            const std::vector<uint32_t> ids = ChildIds(node);
            if (ids.size() != e->elementCount || e->bytesPerElement != 4 || (ids.size() && !e->data)) return DORN_E_CHANGED;
            if (!ids.empty()) std::memcpy(e->data, ids.data(), ids.size() * 4);
            return 0;
        }
        if (node.kind == Kind::Source && parameter == DORN_CAP_FOLDERS) {
            if (FolderListFails()) return kFolderListFailure;
            auto* e = reinterpret_cast<DornEnum*>(data);
            if (e->elementCount != folders_.size() + 1 || e->bytesPerElement != 256 || !e->data) return DORN_E_CHANGED;
            char* out = static_cast<char*>(e->data);
            std::memset(out, 0, static_cast<size_t>(e->elementCount) * 256);
            std::snprintf(out, 256, "DCIM");
            for (size_t i = 0; i < folders_.size(); ++i) std::snprintf(out + (i + 1) * 256, 256, "%s", folders_[i].c_str());
            return 0;
        }
        if (node.kind == Kind::Data && parameter == DORN_CAP_HEADER) {
            auto* a = reinterpret_cast<DornArray*>(data);
            if (a->elementCount != header_.size() || a->bytesPerElement != 1 || !a->data) return DORN_E_CHANGED;
            std::memcpy(a->data, header_.data(), header_.size());
            return 0;
        }
        return DORN_E_NOT_OFFERED;
    }

    int32_t Start(Node& node, uint32_t parameter)
    {
        if (node.kind == Kind::Item && parameter == DORN_CAP_START52) {
            const fs::path path = ItemPath(node.id);
            if (path.empty()) return DORN_E_NOT_FOUND;
            if (IsProtected(node.id)) return DORN_R_PROTECTED;
            std::error_code ec;
            if (!fs::remove(path, ec)) return DORN_E_IO_FIRST;
            // Deleted on request: no removal event for it.
            Forget(node.id >> 16, path.filename().string());
            return 0;
        }
        if (node.kind == Kind::Source && parameter == DORN_CAP_FORMAT) {
            if (formatBusyLeft_ > 0) {
                --formatBusyLeft_;
                return DORN_R_FORMAT_BUSY;
            }
            if (config_.promptOnFormat && Ask(sourceRec_, 1, "Format the card in the camera?",
                                              " Every picture on it will be deleted.") != 1)
                return DORN_E_CANCELLED;
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(Dcim(), ec)) fs::remove_all(e.path(), ec);
            fs::remove(fs::path(config_.root) / kHiddenList, ec);
            folders_.clear();
            current_ = 0;
            knownFiles_.clear();
            return 0;
        }
        if (node.kind == Kind::Source && parameter == DORN_CAP_DELETE_FOLDER) {
            if (current_ == 0 || current_ > folders_.size()) return DORN_E_NOT_FOUND;
            std::error_code ec;
            fs::remove_all(Dcim() / folders_[current_ - 1], ec);
            if (ec) return DORN_E_IO_FIRST;
            folders_ = ScanFolders();
            current_ = 0;
            knownFiles_.clear();
            return 0;
        }
        return DORN_E_NOT_OFFERED;
    }

    // A picture's size as the interface carries it (32 bits). A file of 4 GiB or
    // more cannot be described, so it is refused rather than cut short.
    static int32_t FileSize(const fs::path& path, uint32_t* out)
    {
        std::error_code ec;
        const auto size = fs::file_size(path, ec);
        if (ec) return DORN_E_NOT_FOUND;
        if (size > UINT32_MAX) return DORN_E_BAD_VALUE;
        *out = static_cast<uint32_t>(size);
        return 0;
    }

    // The picture's EXIF time when it has one, else the file's modification time.
    static int32_t PutDate(const fs::path& path, DornItemDate* date)
    {
        uint16_t exif[6];
        if (ExifDateOf(ReadHeader(path.string()), exif)) {
            *date = DornItemDate{exif[0], exif[1], exif[2], exif[3], exif[4], exif[5]};
            return 0;
        }
        struct stat st{};
        if (::stat(path.c_str(), &st) != 0) return DORN_E_NOT_FOUND;
        struct tm t{};
        localtime_r(&st.st_mtime, &t);
        date->year = static_cast<uint16_t>(t.tm_year + 1900);
        date->month = static_cast<uint16_t>(t.tm_mon + 1);
        date->day = static_cast<uint16_t>(t.tm_mday);
        date->hour = static_cast<uint16_t>(t.tm_hour);
        date->minute = static_cast<uint16_t>(t.tm_min);
        date->second = static_cast<uint16_t>(t.tm_sec);
        return 0;
    }

    // ---- delivery ---------------------------------------------------------

    int32_t StartDelivery(DornObjectRecord* object, uint32_t dataType, uintptr_t data, DornCompletionProc proc,
                          uintptr_t reference)
    {
        if (!proc) return DORN_E_NOT_OFFERED;  // delivery is asynchronous only
        if (unplugged_) return DORN_E_LOST;
        const Node& node = nodes_[object];
        const fs::path path = ItemPath(node.itemId);
        if (path.empty()) return DORN_E_NOT_FOUND;
        Pending p;
        p.object = object;
        p.command = DORN_CMD_START;
        p.parameter = DORN_CAP_DELIVER;
        p.dataType = dataType;
        p.data = data;
        p.proc = proc;
        p.reference = reference;
        p.delivery = true;
        p.path = path.string();
        uint32_t total = 0;
        if (const int32_t r = FileSize(path, &total); r != 0) return r;
        p.total = total;
        p.pumpsLeft = config_.late;
        p.never = config_.noAnswer == DORN_CAP_DELIVER;
        pending_.push_back(p);
        return 0;
    }

    // One step of a delivery; true when it has ended (and was completed).
    bool DeliverStep(Pending& p)
    {
        const Node node = nodes_[p.object];
        const DornCallbackRecord delivery = CallbackOf(p.object, DORN_CAP_DELIVERY_CB);
        const DornCallbackRecord progress = CallbackOf(p.object, DORN_CAP_PROGRESS_CB);
        DornDeliveryInfo info{};
        info.size = sizeof(info);
        info.dataType = node.id;
        int32_t r = 0;
        if (node.id == DORN_DATA_THUMBNAIL) {
            const SimThumbnail t = MakeThumbnail(p.path);
            info.length = info.total = static_cast<uint32_t>(t.pixels.size());
            info.width = t.width;
            info.height = t.height;
            info.colourModel = 2;
            info.rowBytes = t.rowBytes;
            info.flags = DORN_DELIVERY_LAST;
            if (delivery.procedure)
                r = reinterpret_cast<DornDeliveryProc>(delivery.procedure)(delivery.reference, &info, t.pixels.data());
            Complete(p, r);
            return true;
        }
        std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(config_.chunkSize, p.total - p.offset)));
        std::ifstream in(p.path, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(p.offset));
        in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
        if (!in && !chunk.empty()) {
            Complete(p, DORN_E_IO_FIRST);
            return true;
        }
        info.offset = static_cast<uint32_t>(p.offset);
        info.length = static_cast<uint32_t>(chunk.size());
        info.total = static_cast<uint32_t>(p.total);
        p.offset += chunk.size();
        ++p.chunks;
        if (p.offset >= p.total) info.flags = DORN_DELIVERY_LAST;
        if (delivery.procedure && !chunk.empty())
            r = reinterpret_cast<DornDeliveryProc>(delivery.procedure)(delivery.reference, &info, chunk.data());
        if (r == 0 && progress.procedure && nodes_.count(p.object))
            reinterpret_cast<DornProgressProc>(progress.procedure)(DORN_CMD_START, DORN_CAP_DELIVER, progress.reference,
                                                                   static_cast<uint32_t>(p.offset),
                                                                   static_cast<uint32_t>(p.total));
        if (r != 0) {
            Complete(p, r);
            return true;
        }
        if (config_.unplugAfterChunks && p.chunks >= config_.unplugAfterChunks && p.offset < p.total) {
            Complete(p, DORN_E_LOST);
            Unplug();
            return true;
        }
        if (p.offset >= p.total) {
            Complete(p, 0);
            return true;
        }
        return false;
    }

    // ---- pumping ------------------------------------------------------------

    void Pump(DornObjectRecord* object)
    {
        if (object == moduleRec_ || !object) Rescan();
        std::vector<Pending> due;
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->never || (object && it->object != object)) {
                ++it;
                continue;
            }
            if (it->pumpsLeft > 1) {
                --it->pumpsLeft;
                ++it;
                continue;
            }
            due.push_back(*it);
            it = pending_.erase(it);
        }
        for (Pending& p : due) {
            if (!nodes_.count(p.object)) continue;  // closed meanwhile
            if (!p.delivery) {
                Complete(p, p.result);
            } else if (!DeliverStep(p)) {
                p.pumpsLeft = 1;
                pending_.push_back(p);
            }
        }
    }

    std::recursive_mutex mutex_;
    SimCamConfig config_;
    std::map<DornObjectRecord*, Node> nodes_;
    DornObjectRecord* moduleRec_ = nullptr;
    DornObjectRecord* sourceRec_ = nullptr;
    bool sourceReported_ = false;
    bool unplugged_ = false;
    std::vector<std::string> folders_;
    std::map<std::string, FolderState> folderState_;
    std::map<std::string, std::vector<std::string>> knownFiles_;  // by folder name
    uint32_t current_ = 0;
    std::deque<Pending> pending_;
    std::vector<uint8_t> header_;
    uint32_t formatBusyLeft_ = 0;
    uint32_t refreshBusyLeft_ = 0;
    uint32_t closeBusyLeft_ = 0;
};

// Every module open makes a camera of its own: one process may hold several
// module objects (the monitor opens one per device class, and two class files can
// be the same module), and each keeps its objects and requests. An object record
// names its camera in moduleReference; only cameras in this table are trusted.
std::mutex g_camerasMutex;
std::map<void*, std::shared_ptr<SimCamera>> g_cameras;

std::shared_ptr<SimCamera> CameraOf(DornObjectRecord* object)
{
    if (!object) return nullptr;
    std::lock_guard<std::mutex> lock(g_camerasMutex);
    const auto it = g_cameras.find(object->moduleReference);
    return it == g_cameras.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<SimCamera>> AllCameras()
{
    std::vector<std::shared_ptr<SimCamera>> all;
    std::lock_guard<std::mutex> lock(g_camerasMutex);
    for (const auto& [key, camera] : g_cameras) all.push_back(camera);
    return all;
}

void Forget(const std::shared_ptr<SimCamera>& camera)
{
    std::lock_guard<std::mutex> lock(g_camerasMutex);
    g_cameras.erase(camera.get());
}

int32_t OpenModule(DornObjectRecord* object, uint32_t parameter, uint32_t dataType, uintptr_t data,
                   DornCompletionProc proc, uintptr_t reference)
{
    auto* record = reinterpret_cast<DornObjectRecord*>(data);
    if (const auto owner = CameraOf(record); owner && owner->Holds(record)) return DORN_E_ALREADY_OPEN;
    auto camera = std::make_shared<SimCamera>();
    {
        std::lock_guard<std::mutex> lock(g_camerasMutex);
        g_cameras[camera.get()] = camera;
    }
    const int32_t r = camera->Entry(object, DORN_CMD_OPEN, parameter, dataType, data, proc, reference);
    if (camera->Ended()) Forget(camera);
    return r;
}

}  // namespace

extern "C" int32_t SimCamEntry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                               uintptr_t data, DornCompletionProc proc, uintptr_t reference)
{
    if (command == DORN_CMD_OPEN && !object) return OpenModule(object, parameter, dataType, data, proc, reference);
    if (!object && (command == DORN_CMD_PUMP || command == DORN_CMD_ABORT)) {
        for (const auto& camera : AllCameras()) camera->Entry(object, command, parameter, dataType, data, proc, reference);
        return 0;
    }
    const auto camera = CameraOf(object);
    if (!camera) return command == DORN_CMD_PUMP ? 0 : DORN_E_NOT_OPEN;
    const int32_t r = camera->Entry(object, command, parameter, dataType, data, proc, reference);
    if (command == DORN_CMD_CLOSE && camera->Ended()) Forget(camera);
    return r;
}

extern "C" void SimCamSetConfigPath(const char* path)
{
    g_configPath = path ? path : "";
}
