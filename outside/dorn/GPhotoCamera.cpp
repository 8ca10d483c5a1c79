// The libgphoto2 camera module's object tree: what the caller opens (module,
// one source per camera, its pictures, their data), the requests in flight,
// and their completions. Library work runs on the worker (GPhotoWorker);
// completions and callbacks are made here, only inside entry calls.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "outside/dorn/GPhotoCam.h"
#include "outside/dorn/GPhotoWorker.h"

namespace fs = std::filesystem;

namespace {

enum class Kind { Module, Source, Item, Data };

constexpr uint32_t kSyncLimitMs = 60000;  // a synchronous request that takes longer: the camera does not answer

struct Node {
    Kind kind = Kind::Module;
    uint32_t id = 0;       // source: camera id; item id; data object: its data type
    uint32_t camera = 0;
    uint32_t itemId = 0;   // data objects: their item
    uint32_t current = 0;  // source: the selected folder
    std::map<uint32_t, DornCallbackRecord> callbacks;
    std::vector<uint8_t> header;  // picture data object: the last header read
};

struct Pending {
    DornObjectRecord* object = nullptr;
    uint32_t command = 0, parameter = 0, dataType = 0;
    uintptr_t data = 0;
    DornCompletionProc proc = nullptr;
    uintptr_t reference = 0;
    int32_t result = 0;
    std::shared_ptr<GPhotoJob> job;
    uint64_t delivered = 0;
};

DornCapRecord Cap(uint32_t id, uint32_t type, uint32_t ops, const char* text)
{
    DornCapRecord r{};
    r.id = id;
    r.type = type;
    r.operationFlags = ops;
    std::snprintf(r.description, sizeof(r.description), "%s", text);
    return r;
}

std::string g_configPath;

uint32_t NowMs()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

GPhotoConfig LoadConfig()
{
    GPhotoConfig config;
    std::string path = g_configPath;
    if (path.empty()) {
        if (const char* env = std::getenv("VOREL_GPHOTOCAM_CONFIG")) path = env;
    }
    if (path.empty()) {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&GPhotoCamEntry), &info) && info.dli_fname)
            path = std::string(info.dli_fname) + ".conf";
    }
    ReadGPhotoConfig(path, config);
    return config;
}

void PutText(uintptr_t data, const std::string& text)
{
    char* buffer = reinterpret_cast<char*>(data);
    std::memset(buffer, 0, DORN_TEXT_SIZE);
    std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), DORN_TEXT_SIZE - 1));
}

void PutEnum(uintptr_t data, uint32_t type, uint32_t count, uint32_t current, int16_t bpe)
{
    auto* e = reinterpret_cast<DornEnum*>(data);
    e->elementType = type;
    e->elementCount = count;
    e->currentIndex = current;
    e->defaultIndex = 0;
    e->bytesPerElement = bpe;
}

// The ABI carries sizes in 32 bits: a larger file cannot be described, so it
// is shown as empty (which the viewer leaves out) rather than cut short.
uint32_t SizeOf(const GpFile& file)
{
    return file.size > UINT32_MAX ? 0 : static_cast<uint32_t>(file.size);
}

class GPhotoModule {
public:
    std::recursive_mutex mutex;
    int depth = 0;       // entry calls in progress (under the registry lock)
    bool closed = false;

    int32_t OpenModule(DornObjectRecord* record)
    {
        if (!record) return DORN_E_BAD_VALUE;
        worker_ = std::make_unique<GPhotoWorker>(LoadConfig());
        Node node;
        node.kind = Kind::Module;
        record->objectType = DORN_TYPE_MODULE;
        record->objectId = 0;
        record->moduleReference = this;
        moduleRec_ = record;
        nodes_[record] = node;
        return 0;
    }

    int32_t Entry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data,
                  DornCompletionProc proc, uintptr_t reference)
    {
        switch (command) {
        case DORN_CMD_PUMP: Pump(object); return 0;
        case DORN_CMD_GO:
        case DORN_CMD_CODE15: return 0;
        case DORN_CMD_ABORT: Abort(object, DORN_E_CANCELLED); return 0;
        case DORN_CMD_OPEN:
            return Queue(object, command, parameter, dataType, data, proc, reference, nullptr,
                         OpenChild(object, parameter, reinterpret_cast<DornObjectRecord*>(data)));
        default: break;
        }
        auto it = nodes_.find(object);
        if (it == nodes_.end()) return DORN_E_NOT_OPEN;
        if (command == DORN_CMD_CLOSE) return Queue(object, command, parameter, dataType, data, proc, reference, nullptr,
                                                    CloseObject(object));
        if (command == DORN_CMD_START && parameter == DORN_CAP_DELIVER && it->second.kind == Kind::Data)
            return StartDelivery(object, dataType, data, proc, reference);
        int32_t early = 0;
        std::shared_ptr<GPhotoJob> job = JobFor(it->second, command, parameter, dataType, data, &early);
        if (early != 0) return Queue(object, command, parameter, dataType, data, proc, reference, nullptr, early);
        if (!job) return Queue(object, command, parameter, dataType, data, proc, reference, nullptr,
                               Answer(object, command, parameter, dataType, data, nullptr));
        worker_->Post(job);
        if (proc) return Queue(object, command, parameter, dataType, data, proc, reference, job, 0);
        if (!worker_->Wait(job, kSyncLimitMs)) {
            job->cancelled = true;
            return DORN_R_NO_ANSWER;
        }
        return Answer(object, command, parameter, dataType, data, job.get());
    }

    void Shutdown()
    {
        Abort(nullptr, DORN_E_CANCELLED);
        worker_.reset();
        nodes_.clear();
        moduleRec_ = nullptr;
        closed = true;
    }

private:
    // ---- requests -------------------------------------------------------------

    int32_t Queue(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data,
                  DornCompletionProc proc, uintptr_t reference, std::shared_ptr<GPhotoJob> job, int32_t result)
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
        p.job = std::move(job);
        pending_.push_back(std::move(p));
        return 0;
    }

    static void Complete(const Pending& p, int32_t result)
    {
        p.proc(p.object, p.command, p.parameter, p.dataType, p.data, p.reference, result);
    }

    // Completes every request in flight on the object (every object when null);
    // their jobs stop at their next step and never write into the caller's data.
    void Abort(DornObjectRecord* object, int32_t result)
    {
        std::vector<Pending> aborted;
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (!object || it->object == object) {
                if (it->job) it->job->cancelled = true;
                aborted.push_back(std::move(*it));
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
        for (const Pending& p : aborted) Complete(p, result);
    }

    DornCallbackRecord CallbackOf(DornObjectRecord* object, uint32_t capability)
    {
        auto it = nodes_.find(object);
        if (it == nodes_.end()) return {};
        auto cb = it->second.callbacks.find(capability);
        return cb == it->second.callbacks.end() ? DornCallbackRecord{} : cb->second;
    }

    void SendEvent(DornObjectRecord* object, uint32_t event, uint32_t data)
    {
        const DornCallbackRecord cb = CallbackOf(object, DORN_CAP_EVENT_CB);
        if (cb.procedure) reinterpret_cast<DornEventProc>(cb.procedure)(cb.reference, event, data);
    }

    DornObjectRecord* SourceOf(uint32_t camera)
    {
        for (auto& [rec, node] : nodes_)
            if (node.kind == Kind::Source && node.camera == camera) return rec;
        return nullptr;
    }

    // ---- the object tree --------------------------------------------------------

    int32_t OpenChild(DornObjectRecord* parent, uint32_t id, DornObjectRecord* record)
    {
        if (!record) return DORN_E_BAD_VALUE;
        if (nodes_.count(record)) return DORN_E_ALREADY_OPEN;
        auto p = nodes_.find(parent);
        if (p == nodes_.end()) return DORN_E_NOT_OPEN;
        Node node;
        node.camera = p->second.camera;
        switch (p->second.kind) {
        case Kind::Module:
            if (!reported_.count(id) || SourceOf(id)) return DORN_E_NOT_FOUND;
            node.kind = Kind::Source;
            node.camera = id;
            record->objectType = DORN_TYPE_SOURCE;
            break;
        case Kind::Source: {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            if (!FindItem(node.camera, id)) return DORN_E_NOT_FOUND;
            node.kind = Kind::Item;
            record->objectType = DORN_TYPE_ITEM;
            break;
        }
        case Kind::Item:
            if (id != DORN_DATA_PICTURE && id != DORN_DATA_THUMBNAIL) return DORN_E_NO_SUCH;
            node.kind = Kind::Data;
            node.itemId = p->second.id;
            record->objectType = DORN_TYPE_DATA;
            break;
        default: return DORN_E_NO_SUCH;
        }
        node.id = id;
        record->objectId = id;
        record->moduleReference = this;
        nodes_[record] = node;
        return 0;
    }

    int32_t CloseObject(DornObjectRecord* object)
    {
        if (object == moduleRec_) {
            Shutdown();
            return 0;
        }
        Abort(object, DORN_E_CANCELLED);
        const Node node = nodes_[object];
        nodes_.erase(object);
        if (node.kind == Kind::Source) {
            // Done with the camera: its session ends, so another program (or
            // the next connection) can have it.
            auto release = std::make_shared<GPhotoJob>(GPhotoJob::Kind::Release, node.camera);
            release->flag = !reported_.count(node.camera);
            worker_->Post(release);
        }
        return 0;
    }

    // Under the worker's mutex.
    const CamItem* FindItem(uint32_t camera, uint32_t itemId, uint32_t* folderOut = nullptr)
    {
        auto& cameras = worker_->Cameras();
        auto it = cameras.find(camera);
        const uint32_t folder = itemId >> 16;
        if (it == cameras.end() || folder == 0 || folder > it->second.folders.size()) return nullptr;
        for (const CamItem& item : it->second.folders[folder - 1].items)
            if (item.serial == (itemId & 0xFFFF)) {
                if (folderOut) *folderOut = folder;
                return &item;
            }
        return nullptr;
    }

    bool Present(uint32_t camera)
    {
        std::lock_guard<std::mutex> lock(worker_->Mutex());
        auto it = worker_->Cameras().find(camera);
        return it != worker_->Cameras().end() && it->second.present;
    }

    // Whether the camera is still attached, looked at now: a served folder that
    // is gone is a camera unplugged.
    bool StillAttached(uint32_t camera)
    {
        std::string port;
        {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            auto it = worker_->Cameras().find(camera);
            if (it == worker_->Cameras().end() || !it->second.present) return false;
            port = it->second.found.port;
        }
        if (port.rfind("disk:", 0) != 0) return true;
        std::error_code ec;
        return fs::is_directory(port.substr(5), ec);
    }

    // ---- camera changes -----------------------------------------------------------

    void LookForChanges()
    {
        const uint32_t now = NowMs();
        if (now - lastLook_ >= worker_->Config().idleMs) {
            lastLook_ = now;
            worker_->RequestLook();
        }
        std::vector<uint32_t> arrived, gone;
        std::vector<CamEvent> events;
        {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            for (const auto& [id, state] : worker_->Cameras()) {
                if (state.present && !reported_.count(id)) arrived.push_back(id);
                if (!state.present && reported_.count(id)) gone.push_back(id);
            }
            events = worker_->TakeEvents();
        }
        for (uint32_t id : gone) Unplug(id);
        for (uint32_t id : arrived) {
            if (!moduleRec_) return;
            reported_.insert(id);
            SendEvent(moduleRec_, DORN_EVENT_ADDED, id);
        }
        for (const CamEvent& e : events) {
            if (!moduleRec_) return;
            DornObjectRecord* source = SourceOf(e.camera);
            if (source) SendEvent(source, e.event, e.data);
        }
    }

    // The camera went: requests on it and below end first, then the source goes.
    void Unplug(uint32_t camera)
    {
        {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            auto it = worker_->Cameras().find(camera);
            if (it != worker_->Cameras().end()) it->second.present = false;
        }
        std::vector<DornObjectRecord*> below;
        for (const auto& [rec, node] : nodes_)
            if (node.kind != Kind::Module && node.camera == camera) below.push_back(rec);
        for (DornObjectRecord* rec : below) Abort(rec, DORN_E_LOST);
        if (!reported_.erase(camera)) return;
        auto release = std::make_shared<GPhotoJob>(GPhotoJob::Kind::Release, camera);
        release->flag = true;
        worker_->Post(release);
        if (moduleRec_) SendEvent(moduleRec_, DORN_EVENT_REMOVED, camera);
    }

    // ---- pumping ----------------------------------------------------------------------

    void Pump(DornObjectRecord* object)
    {
        if (!worker_) return;
        if (!object || object == moduleRec_) LookForChanges();
        std::vector<DornObjectRecord*> targets;
        for (const Pending& p : pending_)
            if (!object || p.object == object) targets.push_back(p.object);
        std::sort(targets.begin(), targets.end());
        targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
        for (DornObjectRecord* target : targets) PumpObject(target);
    }

    void PumpObject(DornObjectRecord* object)
    {
        // One request at a time, each taken out before it is completed: the
        // caller may send new requests (or close the object) from inside.
        for (size_t i = 0; worker_ && i < pending_.size();) {
            Pending& p = pending_[i];
            if (p.object != object) {
                ++i;
                continue;
            }
            if (p.job && p.job->kind == GPhotoJob::Kind::Deliver) {
                if (DeliverStep(i)) continue;  // ended: taken out
                ++i;
                continue;
            }
            bool done = !p.job;
            if (p.job) {
                std::lock_guard<std::mutex> lock(worker_->Mutex());
                done = p.job->done;
            }
            if (!done) {
                ++i;
                continue;
            }
            Pending taken = std::move(p);
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
            int32_t r = taken.result;
            // Every camera present is reported before the settle request ends.
            if (taken.job && taken.job->kind == GPhotoJob::Kind::Settle) LookForChanges();
            if (taken.job) {
                r = nodes_.count(taken.object) ? Answer(taken.object, taken.command, taken.parameter, taken.dataType,
                                                        taken.data, taken.job.get())
                                               : DORN_E_NOT_OPEN;
                if (taken.job->kind == GPhotoJob::Kind::Thumbnail && r == 0) r = DeliverThumbnail(taken);
            }
            Complete(taken, r);
        }
    }

    // ---- answers ------------------------------------------------------------------------

    // The work a request needs from the camera, or null when it is answered
    // from what is known. *early is set when it fails before any work.
    std::shared_ptr<GPhotoJob> JobFor(Node& node, uint32_t command, uint32_t parameter, uint32_t dataType,
                                      uintptr_t data, int32_t* early)
    {
        using K = GPhotoJob::Kind;
        if (node.kind == Kind::Module && command == DORN_CMD_IDLE) return std::make_shared<GPhotoJob>(K::Settle, 0);
        if (node.kind == Kind::Module) return nullptr;
        if (!Present(node.camera) && command != DORN_CMD_CAPCOUNT && command != DORN_CMD_CAPRECORDS &&
            !(command == DORN_CMD_SET && dataType == DORN_DT_PCALLBACK) &&
            !(command == DORN_CMD_GET && parameter == DORN_CAP_STATE)) {
            *early = DORN_E_LOST;
            return nullptr;
        }
        if (node.kind == Kind::Source) {
            if (command == DORN_CMD_GET && parameter == DORN_CAP_FOLDERS && dataType == DORN_DT_PENUM)
                return std::make_shared<GPhotoJob>(K::ListFolders, node.camera);
            if (command == DORN_CMD_SET && parameter == DORN_CAP_FOLDERS && dataType == DORN_DT_U32VALUE) {
                if (data == 0) {
                    *early = DORN_E_NOT_FOUND;
                    return nullptr;
                }
                auto job = std::make_shared<GPhotoJob>(K::ListFolder, node.camera);
                job->folder = static_cast<uint32_t>(data);
                return job;
            }
            if (command == DORN_CMD_START && parameter == DORN_CAP_DELETE_FOLDER) {
                auto job = std::make_shared<GPhotoJob>(K::RemoveFolder, node.camera);
                job->folder = node.current;
                return job;
            }
            return nullptr;
        }
        const uint32_t itemId = node.kind == Kind::Item ? node.id : node.itemId;
        std::shared_ptr<GPhotoJob> job;
        auto forItem = [&](K kind) {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            uint32_t folder = 0;
            const CamItem* item = FindItem(node.camera, itemId, &folder);
            if (!item) {
                *early = DORN_E_NOT_FOUND;
                return std::shared_ptr<GPhotoJob>();
            }
            auto j = std::make_shared<GPhotoJob>(kind, node.camera);
            j->folder = folder;
            j->name = item->file.name;
            j->total = item->file.size;
            if (kind == K::Delete && item->file.isProtected) *early = DORN_R_PROTECTED;
            if (kind == K::Delete && !worker_->Cameras()[node.camera].canDelete) *early = DORN_E_NOT_OFFERED;
            return *early ? std::shared_ptr<GPhotoJob>() : j;
        };
        if (node.kind == Kind::Item && command == DORN_CMD_SET && parameter == DORN_CAP_PROTECT) {
            job = forItem(K::Protect);
            if (job) job->flag = *reinterpret_cast<const uint8_t*>(data) != 0;
            return job;
        }
        if (node.kind == Kind::Item && command == DORN_CMD_START && parameter == DORN_CAP_START52) return forItem(K::Delete);
        if (node.kind == Kind::Data && command == DORN_CMD_GET && parameter == DORN_CAP_HEADER &&
            node.id == DORN_DATA_PICTURE)
            return forItem(K::Header);
        return nullptr;
    }

    int32_t Answer(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data,
                   GPhotoJob* job)
    {
        if (job) {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            if (job->result != 0) return job->result;
        }
        Node& node = nodes_[object];
        switch (command) {
        case DORN_CMD_CAPCOUNT:
            *reinterpret_cast<uint32_t*>(data) = static_cast<uint32_t>(Caps(node).size());
            return 0;
        case DORN_CMD_CAPRECORDS: {
            const std::vector<DornCapRecord> caps = Caps(node);
            if (parameter != caps.size()) return DORN_E_CHANGED;
            std::memcpy(reinterpret_cast<void*>(data), caps.data(), caps.size() * sizeof(DornCapRecord));
            return 0;
        }
        case DORN_CMD_SET: return Set(node, parameter, dataType, data);
        case DORN_CMD_GET: return Get(node, parameter, dataType, data, job);
        case DORN_CMD_GETELEMENTS: return Elements(node, parameter, data);
        case DORN_CMD_START:
        case DORN_CMD_IDLE: return job ? 0 : DORN_E_NOT_OFFERED;
        default: return DORN_E_NOT_OFFERED;
        }
    }

    std::vector<DornCapRecord> Caps(const Node& node)
    {
        std::vector<DornCapRecord> caps = {Cap(DORN_CAP_PROGRESS_CB, 0, DORN_OP_SET, "progress"),
                                           Cap(DORN_CAP_EVENT_CB, 0, DORN_OP_SET, "events"),
                                           Cap(DORN_CAP_REQUEST_CB, 0, DORN_OP_SET, "requests")};
        const uint32_t G = DORN_OP_GET, S = DORN_OP_SET, St = DORN_OP_START;
        switch (node.kind) {
        case Kind::Module:
            caps.push_back(Cap(DORN_CAP_IDLE_PERIOD, 0, G, "idle period"));
            caps.push_back(Cap(DORN_CAP_CHILDREN, DORN_CAPTYPE_ENUM, G, "cameras"));
            break;
        case Kind::Source:
            caps.push_back(Cap(DORN_CAP_CHILDREN, DORN_CAPTYPE_ENUM, G, "pictures of the current folder"));
            caps.push_back(Cap(DORN_CAP_NAME, 0, G, "model"));
            caps.push_back(Cap(DORN_CAP_KINDS, 0, G, "data kinds"));
            caps.push_back(Cap(DORN_CAP_STATUS, 0, G, "status"));
            caps.push_back(Cap(DORN_CAP_FOLDERS, DORN_CAPTYPE_ENUM, G | S, "folders"));
            caps.push_back(Cap(DORN_CAP_STATE, 0, G, "state"));
            caps.push_back(Cap(DORN_CAP_DELETE_FOLDER, 0, St, "delete folder"));
            // No format: cameras seldom let a program format their cards.
            break;
        case Kind::Item: {
            caps.push_back(Cap(DORN_CAP_NAME, 0, G, "file name"));
            caps.push_back(Cap(DORN_CAP_KINDS, 0, G, "data kinds"));
            caps.push_back(Cap(DORN_CAP_DATE, 0, G, "date"));
            caps.push_back(Cap(DORN_CAP_SIZE, 0, G, "size"));
            bool canDelete = true;
            {
                std::lock_guard<std::mutex> lock(worker_->Mutex());
                canDelete = worker_->Cameras()[node.camera].canDelete;
            }
            if (canDelete) caps.push_back(Cap(DORN_CAP_START52, 0, St, "delete"));
            caps.push_back(Cap(DORN_CAP_PROTECT, 0, G | S, "protected"));
            // No hide: cameras have no hidden pictures a program can set.
            break;
        }
        case Kind::Data:
            caps.push_back(Cap(DORN_CAP_DELIVERY_CB, 0, DORN_OP_SET, "delivery"));
            caps.push_back(Cap(DORN_CAP_SIZE, 0, G, "size"));
            caps.push_back(Cap(DORN_CAP_DELIVER, 0, St, "deliver"));
            if (node.id == DORN_DATA_PICTURE) caps.push_back(Cap(DORN_CAP_HEADER, 0, G, "header"));
            break;
        }
        std::sort(caps.begin(), caps.end(), [](const DornCapRecord& a, const DornCapRecord& b) { return a.id < b.id; });
        return caps;
    }

    int32_t Set(Node& node, uint32_t parameter, uint32_t dataType, uintptr_t data)
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
            node.current = static_cast<uint32_t>(data);
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            worker_->Cameras()[node.camera].current = node.current;
            return 0;
        }
        if (node.kind == Kind::Item && parameter == DORN_CAP_PROTECT) return 0;  // done by its job
        if (node.kind == Kind::Data && parameter == DORN_CAP_DELIVER_OPTION) return 0;
        return DORN_E_NOT_OFFERED;
    }

    std::vector<uint32_t> ChildIds(const Node& node)
    {
        std::vector<uint32_t> ids;
        if (node.kind == Kind::Module) {
            ids.assign(reported_.begin(), reported_.end());
        } else if (node.kind == Kind::Source && node.current != 0) {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            const CamState& state = worker_->Cameras()[node.camera];
            if (node.current <= state.folders.size())
                for (const CamItem& item : state.folders[node.current - 1].items)
                    ids.push_back((node.current << 16) | item.serial);
        }
        return ids;
    }

    std::vector<std::string> FolderNames(const Node& node)
    {
        std::lock_guard<std::mutex> lock(worker_->Mutex());
        std::vector<std::string> names;
        for (const CamFolder& f : worker_->Cameras()[node.camera].folders) names.push_back(f.folder.name);
        return names;
    }

    int32_t Get(Node& node, uint32_t parameter, uint32_t dataType, uintptr_t data, GPhotoJob* job)
    {
        auto* u32 = reinterpret_cast<uint32_t*>(data);
        if (parameter == DORN_CAP_CHILDREN && (node.kind == Kind::Module || node.kind == Kind::Source)) {
            PutEnum(data, DORN_ELEM_U32A, static_cast<uint32_t>(ChildIds(node).size()), 0, 4);
            return 0;
        }
        switch (node.kind) {
        case Kind::Module:
            if (parameter == DORN_CAP_IDLE_PERIOD) {
                *u32 = worker_->Config().idleMs;
                return 0;
            }
            break;
        case Kind::Source: {
            if (parameter == DORN_CAP_STATE) {
                *u32 = Present(node.camera) ? 0 : 3;
                return 0;
            }
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            CamState& state = worker_->Cameras()[node.camera];
            if (parameter == DORN_CAP_NAME) {
                PutText(data, state.found.model);
                return 0;
            }
            if (parameter == DORN_CAP_KINDS) {
                *u32 = 0x09;
                return 0;
            }
            if (parameter == DORN_CAP_STATUS) {
                *u32 = (*u32 & 0xFFFF0000u) | 2;
                return 0;
            }
            if (parameter == DORN_CAP_FOLDERS && dataType == DORN_DT_PENUM) {
                if (node.current > state.folders.size()) node.current = state.current = 0;
                PutEnum(data, DORN_ELEM_TEXT256, static_cast<uint32_t>(state.folders.size() + 1), node.current, 256);
                return 0;
            }
            break;
        }
        case Kind::Item: {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            const CamItem* item = FindItem(node.camera, node.id);
            if (!item) return DORN_E_NOT_FOUND;
            if (parameter == DORN_CAP_NAME) {
                PutText(data, item->file.name);
                return 0;
            }
            if (parameter == DORN_CAP_KINDS) {
                *u32 = 0x09;
                return 0;
            }
            if (parameter == DORN_CAP_SIZE) {
                *u32 = SizeOf(item->file);
                return 0;
            }
            if (parameter == DORN_CAP_DATE) return PutDate(item->file.mtime, reinterpret_cast<DornItemDate*>(data));
            if (parameter == DORN_CAP_PROTECT) {
                *reinterpret_cast<uint8_t*>(data) = item->file.isProtected ? 1 : 0;
                return 0;
            }
            break;
        }
        case Kind::Data: {
            if (parameter == DORN_CAP_HEADER && node.id == DORN_DATA_PICTURE && job) {
                node.header = job->bytes;
                auto* a = reinterpret_cast<DornArray*>(data);
                a->elementType = DORN_ELEM_U8;
                a->elementCount = static_cast<uint32_t>(node.header.size());
                a->dimension1 = a->elementCount;
                a->dimension2 = a->dimension3 = 0;
                a->bytesPerElement = 1;
                a->significantBits = 8;
                return 0;
            }
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            const CamItem* item = FindItem(node.camera, node.itemId);
            if (!item) return DORN_E_NOT_FOUND;
            if (parameter == DORN_CAP_SIZE) {
                *u32 = SizeOf(item->file);
                return 0;
            }
            break;
        }
        }
        return DORN_E_NOT_OFFERED;
    }

    int32_t Elements(Node& node, uint32_t parameter, uintptr_t data)
    {
        auto* e = reinterpret_cast<DornEnum*>(data);
        if (parameter == DORN_CAP_CHILDREN && (node.kind == Kind::Module || node.kind == Kind::Source)) {
            const std::vector<uint32_t> ids = ChildIds(node);
            if (ids.size() != e->elementCount || e->bytesPerElement != 4 || (ids.size() && !e->data)) return DORN_E_CHANGED;
            if (!ids.empty()) std::memcpy(e->data, ids.data(), ids.size() * 4);
            return 0;
        }
        if (node.kind == Kind::Source && parameter == DORN_CAP_FOLDERS) {
            const std::vector<std::string> names = FolderNames(node);
            if (e->elementCount != names.size() + 1 || e->bytesPerElement != 256 || !e->data) return DORN_E_CHANGED;
            char* out = static_cast<char*>(e->data);
            std::memset(out, 0, static_cast<size_t>(e->elementCount) * 256);
            std::snprintf(out, 256, "DCIM");
            for (size_t i = 0; i < names.size(); ++i) std::snprintf(out + (i + 1) * 256, 256, "%s", names[i].c_str());
            return 0;
        }
        if (node.kind == Kind::Data && parameter == DORN_CAP_HEADER) {
            auto* a = reinterpret_cast<DornArray*>(data);
            if (a->elementCount != node.header.size() || a->bytesPerElement != 1 || !a->data) return DORN_E_CHANGED;
            std::memcpy(a->data, node.header.data(), node.header.size());
            return 0;
        }
        return DORN_E_NOT_OFFERED;
    }

    // The camera's file time, in local time as cameras keep it.
    static int32_t PutDate(int64_t mtime, DornItemDate* date)
    {
        const time_t t = mtime > 0 ? static_cast<time_t>(mtime) : std::time(nullptr);
        struct tm local{};
        localtime_r(&t, &local);
        date->year = static_cast<uint16_t>(local.tm_year + 1900);
        date->month = static_cast<uint16_t>(local.tm_mon + 1);
        date->day = static_cast<uint16_t>(local.tm_mday);
        date->hour = static_cast<uint16_t>(local.tm_hour);
        date->minute = static_cast<uint16_t>(local.tm_min);
        date->second = static_cast<uint16_t>(local.tm_sec);
        return 0;
    }

    // ---- delivery -------------------------------------------------------------------------

    int32_t StartDelivery(DornObjectRecord* object, uint32_t dataType, uintptr_t data, DornCompletionProc proc,
                          uintptr_t reference)
    {
        if (!proc) return DORN_E_NOT_OFFERED;  // delivery is asynchronous only
        Node& node = nodes_[object];
        if (!Present(node.camera)) return DORN_E_LOST;
        const bool picture = node.id == DORN_DATA_PICTURE;
        std::shared_ptr<GPhotoJob> job;
        {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            uint32_t folder = 0;
            const CamItem* item = FindItem(node.camera, node.itemId, &folder);
            if (!item) return DORN_E_NOT_FOUND;
            if (picture && SizeOf(item->file) == 0 && item->file.size != 0) return DORN_E_NOT_OFFERED;
            job = std::make_shared<GPhotoJob>(picture ? GPhotoJob::Kind::Deliver : GPhotoJob::Kind::Thumbnail, node.camera);
            job->folder = folder;
            job->name = item->file.name;
            job->total = item->file.size;
        }
        if (picture) {
            // Made here, before the worker sees the job: both sides use it.
            job->fd = GPhotoTempFile();
            if (job->fd < 0) return DORN_E_OPEN_FILE;
        }
        worker_->Post(job);
        Queue(object, DORN_CMD_START, DORN_CAP_DELIVER, dataType, data, proc, reference, job, 0);
        return 0;
    }

    int32_t DeliverThumbnail(const Pending& p)
    {
        const DornCallbackRecord delivery = CallbackOf(p.object, DORN_CAP_DELIVERY_CB);
        const SimThumbnail& t = p.job->thumbnail;
        DornDeliveryInfo info{};
        info.size = sizeof(info);
        info.dataType = DORN_DATA_THUMBNAIL;
        info.length = info.total = static_cast<uint32_t>(t.pixels.size());
        info.width = t.width;
        info.height = t.height;
        info.colourModel = 2;
        info.rowBytes = t.rowBytes;
        info.flags = DORN_DELIVERY_LAST;
        if (!delivery.procedure) return 0;
        return reinterpret_cast<DornDeliveryProc>(delivery.procedure)(delivery.reference, &info, t.pixels.data());
    }

    // One chunk of a picture copy; true when the request has ended (and was
    // taken out and completed).
    bool DeliverStep(size_t index)
    {
        Pending& p = pending_[index];
        const uint32_t camera = nodes_[p.object].camera;
        auto end = [&](int32_t result) {
            Pending taken = std::move(pending_[index]);
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
            Complete(taken, result);
            return true;
        };
        if (!StillAttached(camera)) {
            end(DORN_E_LOST);
            Unplug(camera);
            return true;
        }
        GPhotoJob& job = *p.job;
        bool done = false;
        int32_t result = 0;
        uint64_t available = 0;
        {
            std::lock_guard<std::mutex> lock(worker_->Mutex());
            done = job.done;
            result = job.result;
            available = job.written;
        }
        if (!done && !job.partial && job.fd >= 0) {
            // Reading a whole file: what the library has written so far.
            struct stat st{};
            if (::fstat(job.fd, &st) == 0) available = static_cast<uint64_t>(st.st_size);
        }
        if (done && result != 0) return end(result);
        if (p.delivered < available) {
            std::vector<uint8_t> chunk(static_cast<size_t>(std::min<uint64_t>(worker_->Config().chunkSize,
                                                                               available - p.delivered)));
            const ssize_t n = ::pread(job.fd, chunk.data(), chunk.size(), static_cast<off_t>(p.delivered));
            if (n <= 0) return end(DORN_E_IO_FIRST);
            DornDeliveryInfo info{};
            info.size = sizeof(info);
            info.dataType = DORN_DATA_PICTURE;
            info.offset = static_cast<uint32_t>(p.delivered);
            info.length = static_cast<uint32_t>(n);
            info.total = static_cast<uint32_t>(job.total);
            p.delivered += static_cast<uint64_t>(n);
            if (p.delivered >= job.total) info.flags = DORN_DELIVERY_LAST;
            const DornCallbackRecord delivery = CallbackOf(p.object, DORN_CAP_DELIVERY_CB);
            const DornCallbackRecord progress = CallbackOf(p.object, DORN_CAP_PROGRESS_CB);
            DornObjectRecord* object = p.object;
            const uint32_t done32 = static_cast<uint32_t>(p.delivered);
            int32_t r = 0;
            if (delivery.procedure)
                r = reinterpret_cast<DornDeliveryProc>(delivery.procedure)(delivery.reference, &info, chunk.data());
            // The callback may have ended the request (or closed the object).
            if (index >= pending_.size() || pending_[index].object != object || pending_[index].job.get() != &job)
                return true;
            if (r != 0) return end(r);
            if (progress.procedure)
                reinterpret_cast<DornProgressProc>(progress.procedure)(DORN_CMD_START, DORN_CAP_DELIVER, progress.reference,
                                                                       done32, static_cast<uint32_t>(job.total));
            if (index >= pending_.size() || pending_[index].job.get() != &job) return true;
        }
        Pending& q = pending_[index];
        if (done && q.delivered >= available) return end(q.delivered == job.total ? 0 : DORN_E_IO_FIRST);
        return false;
    }

    std::unique_ptr<GPhotoWorker> worker_;
    std::map<DornObjectRecord*, Node> nodes_;
    DornObjectRecord* moduleRec_ = nullptr;
    std::set<uint32_t> reported_;  // cameras reported to the caller (event 0)
    std::vector<Pending> pending_;
    uint32_t lastLook_ = 0;
};

// Every module opened in this process: each open of the module object is a
// module of its own, with its own worker.
std::mutex g_registryMutex;
std::set<GPhotoModule*> g_modules;

GPhotoModule* Enter(void* reference)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto* module = static_cast<GPhotoModule*>(reference);
    if (!g_modules.count(module)) return nullptr;
    ++module->depth;
    return module;
}

void Leave(GPhotoModule* module)
{
    bool remove = false;
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        remove = --module->depth == 0 && module->closed;
        if (remove) g_modules.erase(module);
    }
    if (remove) delete module;
}

}  // namespace

extern "C" int32_t GPhotoCamEntry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                                  uintptr_t data, DornCompletionProc proc, uintptr_t reference)
{
    if (!object && command == DORN_CMD_OPEN) {
        auto* record = reinterpret_cast<DornObjectRecord*>(data);
        if (!record) return DORN_E_BAD_VALUE;
        auto* module = new GPhotoModule;
        const int32_t r = module->OpenModule(record);
        if (r != 0) {
            delete module;
        } else {
            std::lock_guard<std::mutex> lock(g_registryMutex);
            g_modules.insert(module);
        }
        if (proc) {
            proc(record, command, parameter, dataType, data, reference, r);
            return 0;
        }
        return r;
    }
    if (!object) {
        // Commands 0, 10 and 11 without an object: every module.
        std::vector<GPhotoModule*> all;
        {
            std::lock_guard<std::mutex> lock(g_registryMutex);
            all.assign(g_modules.begin(), g_modules.end());
        }
        for (GPhotoModule* m : all) {
            GPhotoModule* module = Enter(m);
            if (!module) continue;
            {
                std::lock_guard<std::recursive_mutex> lock(module->mutex);
                if (!module->closed) module->Entry(nullptr, command, parameter, dataType, data, proc, reference);
            }
            Leave(module);
        }
        return 0;
    }
    GPhotoModule* module = Enter(object->moduleReference);
    if (!module) return DORN_E_NOT_OPEN;
    int32_t r = DORN_E_NOT_OPEN;
    {
        std::lock_guard<std::recursive_mutex> lock(module->mutex);
        if (!module->closed) r = module->Entry(object, command, parameter, dataType, data, proc, reference);
    }
    Leave(module);
    return r;
}

extern "C" void GPhotoCamSetConfigPath(const char* path)
{
    g_configPath = path ? path : "";
}
