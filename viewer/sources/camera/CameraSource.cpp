#include "viewer/sources/camera/CameraSource.h"

#include <cstdio>

#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/CameraDataObject.h"
#include "viewer/sources/camera/CameraItem.h"
#include "viewer/sources/camera/CameraModule.h"

namespace {

constexpr uint32_t kChangeSettleMs = 180;
constexpr int kCloseRetries = 10;

}  // namespace

CCameraSource::CCameraSource(CCameraModule* module) : CDornSource(module), module_(module) {}

CCameraSource::~CCameraSource()
{
    Close();
    // The member tasks must not stay queued once the source is gone.
    for (CAsyncWaitTask* task : {&copyTask_, &thumbTask_}) {
        if (!task->IsIdle()) {
            task->Cancel();
            if (CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler()) scheduler->AbortInFlight(task, nullptr);
            if (!task->IsIdle()) task->Remove();
        }
    }
}

CDornObject* CCameraSource::MakeChild(uint32_t)
{
    return new CCameraItem(this);
}

int32_t CCameraSource::Close()
{
    if (!IsOpen()) return DORN_E_NOT_OPEN;
    copyItem_ = nullptr;
    copyData_ = nullptr;
    if (module_) module_->OnSourceClosed();
    return CDornSource::Close();
}

// ---- requests ---------------------------------------------------------------

int32_t CCameraSource::Request(CDornObject* target, uint32_t command, uint32_t parameter, uint32_t dataType,
                               uintptr_t data)
{
    CAsyncWaitTask task;
    task.AddRequest(target, command, parameter, dataType, data, nullptr, 0);
    task.Submit();
    return WaitTaskIdle(task);
}

int32_t CCameraSource::ReadState(uint32_t* raw)
{
    *raw = 0xFFFFFFFFu;
    const int32_t r = Send(DORN_CMD_GET, DORN_CAP_STATE, DORN_DT_PU32, reinterpret_cast<uintptr_t>(raw));
    if (r == 0 && module_) module_->SetCameraPresent(*raw == 0 || *raw == 1);
    return r;
}

int32_t CCameraSource::RefreshCapabilities()
{
    const int32_t r = CDornSource::RefreshCapabilities();
    if (r == 0 && HasCapability(DORN_CAP_STATE)) {
        uint32_t raw = 0;
        ReadState(&raw);
    }
    return r;
}

// ---- open, status, events ---------------------------------------------------

int32_t CCameraSource::OpenSource()
{
    uint32_t raw = 0xFFFFFFFFu;
    int32_t r = Request(this, DORN_CMD_GET, DORN_CAP_STATE, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&raw));
    if (r != 0) return r;
    if (module_) module_->SetCameraPresent(raw == 0 || raw == 1);
    if (connectionError_ != 0) return connectionError_;
    const uint32_t reading = raw <= 3 ? raw + 1 : 0;
    if (reading == 1 || reading == 2) {
        r = BuildFolderTable();
        if (r != 0) return r;
        connectionError_ = 0;
        return 0;
    }
    return reading == 4 ? DORN_E_LOST : DORN_R_NO_SOURCE;
}

int32_t CCameraSource::GetStatus()
{
    return ReadStatus(false);
}

int32_t CCameraSource::ReadStatus(bool direct)
{
    if (connectionError_ != 0 || !HasCapability49()) return connectionError_ ? connectionError_ : 0;
    uint32_t cell = 0xFFFFFFFFu;
    // From inside a module callback the read goes straight to the module: a
    // wait there would poll the scheduler from within its own poll.
    const int32_t r = direct ? Send(DORN_CMD_GET, DORN_CAP_STATUS, DORN_DT_PU16, reinterpret_cast<uintptr_t>(&cell))
                             : Request(this, DORN_CMD_GET, DORN_CAP_STATUS, DORN_DT_PU16,
                                       reinterpret_cast<uintptr_t>(&cell));
    if (r == DORN_R_NO_ANSWER) {
        connectionError_ = DORN_R_NO_ANSWER;
        return 101;
    }
    const uint16_t value = static_cast<uint16_t>(cell & 0xFFFF);
    if (value == 0) {
        connectionError_ = DORN_R_STATUS_ERROR;
        return 1;
    }
    if (value == 0xFFFF) return 0;
    return value;
}

void CCameraSource::OnCapabilityChanged(uint32_t id, int32_t valueOnly)
{
    if (id == DORN_CAP_STATUS) {
        ReadStatus(true);
    } else if (id == DORN_CAP_FOLDERS) {
        if (connectionError_ != DORN_R_NO_MEDIUM) changeMark_ = 1;
    } else if (id == DORN_CAP_STATE) {
        uint32_t raw = 0;
        if (ReadState(&raw) == 0 && raw == 3) connectionError_ = DORN_E_LOST;
    }
    CDornSource::OnCapabilityChanged(id, valueOnly);
}

void CCameraSource::RemoveFromParent()
{
    connectionError_ = DORN_R_NO_ANSWER;
    if (module_) module_->OnSourceGone();
    CDornSource::RemoveFromParent();  // deletes this object
}

void CCameraSource::OnChildAdded(CDornObject* child)
{
    const uint32_t id = child->GetId();
    if (CameraFolderRecord* record = FolderByKey(id)) {
        record->changePending = 1;
        record->changeTime = CameraTickCount();
        if (record->pictureCount != 0xFFFFFFFFu) ++record->pictureCount;
    }
    CDornSource::OnChildAdded(child);
    forceSelect_ = 1;  // the next lookup lists the folder again, in the camera's order
    const bool inCurrent = currentFolder_ > 0 && static_cast<uint32_t>(currentFolder_) == (id >> 16);
    if (!folders_.empty() && !inCurrent) RemoveChild(child);
}

void CCameraSource::OnItemRemoved(CCameraItem* item, bool deletedByProgram)
{
    CameraFolderRecord* record = FolderByKey(item->GetId());
    if (!record) return;
    if (record->pictureCount != 0xFFFFFFFFu && record->pictureCount > 0) --record->pictureCount;
    if (!deletedByProgram) {
        record->changePending = 1;
        record->changeTime = CameraTickCount();
        forceSelect_ = 1;
    }
}

void CCameraSource::MarkFolderChanged(uint32_t itemId)
{
    if (CameraFolderRecord* record = FolderByKey(itemId)) {
        record->changePending = 1;
        record->changeTime = CameraTickCount();
    }
}

CameraFolderRecord* CCameraSource::FolderByKey(uint32_t itemId)
{
    for (CameraFolderRecord& record : folders_)
        if (record.key == (itemId & 0xFFFF0000u)) return &record;
    return nullptr;
}

// ---- folder table -------------------------------------------------------------

int32_t CCameraSource::BuildFolderTable()
{
    std::vector<std::string> names;
    const int32_t r = ReadEnumStrings(names, DORN_CAP_FOLDERS, nullptr, nullptr);
    if (r != 0) return r;
    std::vector<CameraFolderRecord> table;
    for (size_t i = 1; i < names.size(); ++i) {
        CameraFolderRecord record;
        record.number = static_cast<int32_t>(i);
        record.name = names[i];
        record.key = static_cast<uint32_t>(i) << 16;
        // Keep the change mark of a folder that is still there under the same
        // number; its picture count is taken again (pictures may have gone).
        if (i - 1 < folders_.size() && folders_[i - 1].name == names[i]) {
            record = folders_[i - 1];
            record.pictureCount = 0xFFFFFFFFu;
        }
        table.push_back(record);
    }
    if (table.size() != folders_.size()) currentFolder_ = 0;
    folders_ = std::move(table);
    forceSelect_ = 1;
    return 0;
}

int32_t CCameraSource::RefreshFolderTable()
{
    if (!changeMark_ || connectionError_ != 0) return connectionError_;
    int32_t r = BuildFolderTable();
    if (r != 0) return r;
    if (folders_.size() == 1) {
        int32_t count = 0;
        r = CountFolder(folders_[0]);
        count = static_cast<int32_t>(folders_[0].pictureCount);
        if (r == 0 && count == 0) connectionError_ = DORN_R_NO_MEDIUM;
    }
    changeMark_ = 0;
    return connectionError_;
}

int32_t CCameraSource::RefreshChildren()
{
    int32_t r = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        RemoveAllChildren();
        CAsyncWaitTask task;
        r = EnumerateChildren(&task);
        if (r != 0) return r;
        task.Submit();
        r = WaitTaskIdle(task);
        if (r == DORN_E_CANCELLED) return 0;
        if (r != DORN_E_CHANGED) return r;
    }
    return r;
}

int32_t CCameraSource::ReadModuleFolder(int32_t* folder)
{
    *folder = 0;
    DornEnum header{};
    int32_t valid = 0;
    const int32_t r = ReadEnumHeader(DORN_CAP_FOLDERS, &header, &valid);
    if (r == DORN_R_NO_ANSWER) connectionError_ = DORN_R_NO_ANSWER;
    if (r != 0) return r;
    // Entry 0 of the list is not a folder: folder n is entry n.
    if (header.currentIndex >= 1 && header.currentIndex <= folders_.size())
        *folder = static_cast<int32_t>(header.currentIndex);
    return 0;
}

int32_t CCameraSource::SelectFolder(int32_t folder)
{
    if (currentFolder_ == 0 && connectionError_ == 0) {
        // With no folder current, the camera's own current folder counts: when
        // it is the one asked for, its pictures are listed without selecting it.
        int32_t own = 0;
        if (ReadModuleFolder(&own) == 0 && own != 0 && own == folder) {
            currentFolder_ = own;
            const int32_t listed = RefreshChildren();
            if (listed != 0) currentFolder_ = 0;
            forceSelect_ = 0;
            return listed != 0 ? listed : connectionError_;
        }
    }
    if (folder == currentFolder_ && !forceSelect_) return 0;
    if (connectionError_ != 0) return connectionError_;
    int32_t r = Request(this, DORN_CMD_SET, DORN_CAP_FOLDERS, DORN_DT_U32VALUE, static_cast<uintptr_t>(folder));
    if (r == 0) {
        currentFolder_ = folder;
        r = RefreshChildren();
        if (r != 0) currentFolder_ = 0;
    }
    forceSelect_ = 0;
    return r != 0 ? r : connectionError_;
}

int32_t CCameraSource::CountFolder(CameraFolderRecord& record)
{
    if (record.pictureCount != 0xFFFFFFFFu) return 0;
    const int32_t r = SelectFolder(record.number);
    if (r != 0) return r;
    record.pictureCount = static_cast<uint32_t>(GetChildren().size());
    return 0;
}

int32_t CCameraSource::GetFolderNum(int32_t* count)
{
    *count = 0;
    if (connectionError_ != 0) return connectionError_;
    const int32_t r = RefreshFolderTable();
    if (r != 0) return r;
    *count = static_cast<int32_t>(folders_.size());
    return 0;
}

int32_t CCameraSource::GetFileNum(int32_t folder, int32_t* count)
{
    *count = 0;
    int32_t r = RefreshFolderTable();
    if (r != 0) return r;
    if (folder < 1 || static_cast<size_t>(folder) > folders_.size()) return DORN_E_NOT_FOUND;
    r = CountFolder(folders_[folder - 1]);
    if (r == 0) *count = static_cast<int32_t>(folders_[folder - 1].pictureCount);
    return r;
}

int32_t CCameraSource::GetTotalFileNum(int32_t* count)
{
    *count = 0;
    int32_t r = RefreshFolderTable();
    if (r != 0) return r;
    for (CameraFolderRecord& record : folders_) {
        r = CountFolder(record);
        if (r != 0) return r;
        *count += static_cast<int32_t>(record.pictureCount);
    }
    return 0;
}

int32_t CCameraSource::GetFolderName(int32_t folder, std::string& name)
{
    name.clear();
    const int32_t r = RefreshFolderTable();
    if (r != 0) return r;
    if (folder < 1 || static_cast<size_t>(folder) > folders_.size()) return DORN_E_NOT_FOUND;
    name = folders_[folder - 1].name;
    return 0;
}

// ---- items ------------------------------------------------------------------

int32_t CCameraSource::FindItem(int32_t* folder, int32_t* file, CCameraItem** item)
{
    *item = nullptr;
    int32_t r = RefreshFolderTable();
    if (r != 0) return r;
    if (*folder == 0) {
        // Count through every folder until the running sum reaches the number.
        int32_t remaining = *file;
        for (CameraFolderRecord& record : folders_) {
            r = CountFolder(record);
            if (r != 0) return r;
            if (remaining <= static_cast<int32_t>(record.pictureCount)) {
                *folder = record.number;
                *file = remaining;
                break;
            }
            remaining -= static_cast<int32_t>(record.pictureCount);
        }
        if (*folder == 0) return DORN_E_NOT_FOUND;
    }
    if (*folder < 1 || static_cast<size_t>(*folder) > folders_.size()) return DORN_E_NOT_FOUND;
    r = SelectFolder(*folder);
    if (r != 0) {
        // Is the camera still there? Its name is asked (twice when it answers);
        // a camera that no longer answers is a lost connection, anything else
        // leaves the picture not found.
        std::string name;
        const int32_t asked = GetText9(name);
        if (asked == 0) GetText9(name);
        if (asked == DORN_R_NO_ANSWER && connectionError_ == 0) connectionError_ = DORN_R_NO_ANSWER;
        return connectionError_ ? connectionError_ : DORN_E_NOT_FOUND;
    }
    const auto& children = GetChildren();
    if (*file < 1 || static_cast<size_t>(*file) > children.size()) return DORN_E_NOT_FOUND;
    *item = dynamic_cast<CCameraItem*>(children[static_cast<size_t>(*file - 1)].Get());
    return *item ? 0 : DORN_E_NOT_FOUND;
}

int32_t CCameraSource::GetFileName(int32_t folder, int32_t file, std::string& name)
{
    name.clear();
    CCameraItem* item = nullptr;
    int32_t r = FindItem(&folder, &file, &item);
    if (r != 0) return r;
    char buffer[DORN_TEXT_SIZE] = {};
    r = Request(item, DORN_CMD_GET, DORN_CAP_NAME, DORN_DT_PTEXT, reinterpret_cast<uintptr_t>(buffer));
    buffer[DORN_TEXT_SIZE - 1] = '\0';
    if (r == 0) name = buffer;
    return r;
}

int32_t CCameraSource::FileInfo(int32_t folder, int32_t file, uint32_t* size, DornItemDate* date)
{
    *size = 0;
    *date = DornItemDate{};
    CCameraItem* item = nullptr;
    int32_t r = FindItem(&folder, &file, &item);
    if (r != 0) return r;
    item->Lock();
    if (item->HasCapability14())
        r = Request(item, DORN_CMD_GET, DORN_CAP_SIZE, DORN_DT_PU32, reinterpret_cast<uintptr_t>(size));
    if (r == 0 && item->HasCapability13())
        r = Request(item, DORN_CMD_GET, DORN_CAP_DATE, DORN_DT_PRECORD12, reinterpret_cast<uintptr_t>(date));
    item->Unlock();
    return r;
}

int32_t CCameraSource::ReadFlag(int32_t folder, int32_t file, uint32_t capability)
{
    if (connectionError_ != 0) return 1;
    CCameraItem* item = nullptr;
    if (FindItem(&folder, &file, &item) != 0) return connectionError_ ? 1 : 0;
    if (!item->HasCapability(capability)) return 0;
    uint32_t cell = 0;
    if (Request(item, DORN_CMD_GET, capability, DORN_DT_PBOOL, reinterpret_cast<uintptr_t>(&cell)) != 0) return 0;
    return (cell & 0xFF) ? 1 : 0;
}

int32_t CCameraSource::WriteFlag(int32_t folder, int32_t file, uint32_t capability, uint8_t flag)
{
    CCameraItem* item = nullptr;
    int32_t r = FindItem(&folder, &file, &item);
    if (r != 0) return r;
    if (!item->HasCapability(capability)) return DORN_E_NOT_OFFERED;
    uint32_t cell = flag;
    return Request(item, DORN_CMD_SET, capability, DORN_DT_PBOOL, reinterpret_cast<uintptr_t>(&cell));
}

int32_t CCameraSource::IsReadOnly(int32_t folder, int32_t file) { return ReadFlag(folder, file, DORN_CAP_PROTECT); }
int32_t CCameraSource::IsInVisible(int32_t folder, int32_t file) { return ReadFlag(folder, file, DORN_CAP_HIDE); }

int32_t CCameraSource::SetReadOnlyStatus(int32_t folder, int32_t file, uint8_t flag)
{
    return WriteFlag(folder, file, DORN_CAP_PROTECT, flag);
}

int32_t CCameraSource::SetInVisibleStatus(int32_t folder, int32_t file, uint8_t flag)
{
    return WriteFlag(folder, file, DORN_CAP_HIDE, flag);
}

// ---- data objects -----------------------------------------------------------

CCameraDataObject* CCameraSource::OpenDataObject(CCameraItem* item, uint32_t dataType, int32_t* result)
{
    for (const CDornObjectRef& ref : item->GetChildren()) {
        auto* existing = dynamic_cast<CCameraDataObject*>(ref.Get());
        if (existing && existing->GetDataType() == dataType) {
            *result = 0;
            return existing;
        }
    }
    CDornObject* child = nullptr;
    *result = item->CreateChild(dataType, &child);
    return *result == 0 ? dynamic_cast<CCameraDataObject*>(child) : nullptr;
}

void CCameraSource::CloseDataObject(CCameraItem* item, CCameraDataObject* dataObject)
{
    if (!CDornObject::IsLive(item) || !CDornObject::IsLive(dataObject)) return;
    // A busy module is asked again, a bounded number of times.
    int32_t r = dataObject->Close();
    for (int attempt = 0; attempt < kCloseRetries && r == DORN_BUSY; ++attempt) {
        CameraSleep(1);
        r = dataObject->CallEntry(dataObject, DORN_CMD_CLOSE, 0, DORN_DT_NONE, 0, nullptr, 0);
    }
    item->RemoveChild(dataObject);
}

int32_t CCameraSource::StartSavingImage(int32_t folder, int32_t file, const std::string& destination)
{
    copyDone_ = 0;
    copyTotal_ = 0;
    copyFolder_ = folder;
    copyFile_ = file;
    copyResult_ = 0;
    CCameraItem* item = nullptr;
    int32_t r = FindItem(&folder, &file, &item);
    if (r != 0) return r;
    CCameraDataObject* data = OpenDataObject(item, DORN_DATA_PICTURE, &r);
    if (!data) return r ? r : DORN_E_NO_WRAPPER;
    data->SetDestination(destination);
    FILE* out = std::fopen(destination.c_str(), "w");
    if (!out || std::fclose(out) != 0) {
        CloseDataObject(item, data);
        return DORN_E_OPEN_FILE;
    }
    item->Lock();
    copyItem_ = item;
    copyData_ = data;
    data->Start20(&copyTask_, 0);
    copyTask_.Submit();
    copyWatchDone_ = 0;
    copyWatchTick_ = CameraTickCount();
    return 0;
}

void CCameraSource::SetCopyProgress(uint32_t done, uint32_t total)
{
    copyDone_ = done;
    copyTotal_ = total;
}

void CCameraSource::EndCopy()
{
    if (copyItem_ && CDornObject::IsLive(copyItem_)) {
        CloseDataObject(copyItem_, copyData_);
        copyItem_->Unlock();
    }
    copyItem_ = nullptr;
    copyData_ = nullptr;
}

bool CCameraSource::SavingImage(uint32_t* done, uint32_t* total, int32_t* result)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    if (!copyTask_.IsIdle()) {
        CAsyncScheduler::PollScheduler();
        if (!CDornObject::IsLive(this)) {
            // The module removed the camera during the step.
            *done = *total = 0;
            *result = DORN_E_LOST;
            return true;
        }
        if (copyDone_ != copyWatchDone_) {
            copyWatchDone_ = copyDone_;
            copyWatchTick_ = CameraTickCount();
        } else if (CameraTickCount() - copyWatchTick_ > CameraWaitLimit()) {
            // No byte for too long: the camera does not answer.
            copyTask_.Cancel();
            if (CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler())
                scheduler->AbortInFlight(&copyTask_, nullptr);
            if (!copyTask_.IsIdle()) copyTask_.Remove();
            copyTask_.GetResult();
            copyResult_ = DORN_R_NO_ANSWER;
        }
    }
    *done = copyDone_;
    *total = copyTotal_;
    if (!copyTask_.IsIdle()) {
        *result = 0;
        return false;
    }
    const int32_t r = copyTask_.GetResult();
    if (copyResult_ == 0) copyResult_ = r;
    *result = copyResult_ ? copyResult_ : connectionError_;
    EndCopy();
    return true;
}

int32_t CCameraSource::ReadThumbnail(int32_t folder, int32_t file, CameraThumbnail& thumbnail)
{
    thumbnail = CameraThumbnail{};
    CCameraItem* item = nullptr;
    int32_t r = FindItem(&folder, &file, &item);
    if (r != 0) return r;
    CCameraDataObject* data = OpenDataObject(item, DORN_DATA_THUMBNAIL, &r);
    if (!data) return r ? r : DORN_E_NO_WRAPPER;
    item->Lock();
    data->Start20(&thumbTask_, 0);
    thumbTask_.Submit();
    r = WaitTaskIdle(thumbTask_);
    if (r == DORN_R_NO_ANSWER) connectionError_ = DORN_R_NO_ANSWER;
    if (r == 0 && CDornObject::IsLive(data)) thumbnail = data->Thumbnail();
    if (CDornObject::IsLive(item)) {
        CloseDataObject(item, data);
        item->Unlock();
    }
    return r;
}

int32_t CCameraSource::ReadHeader(int32_t folder, int32_t file, std::vector<uint8_t>& header)
{
    header.clear();
    CCameraItem* item = nullptr;
    int32_t r = FindItem(&folder, &file, &item);
    if (r != 0) return r;
    CCameraDataObject* data = OpenDataObject(item, DORN_DATA_PICTURE, &r);
    if (!data) return r ? r : DORN_E_NO_WRAPPER;
    item->Lock();
    DornArray array{};
    r = Request(data, DORN_CMD_GET, DORN_CAP_HEADER, DORN_DT_PARRAY, reinterpret_cast<uintptr_t>(&array));
    if (r == 0) {
        const uint64_t length = static_cast<uint64_t>(array.bytesPerElement) * array.elementCount;
        if (length > (16u << 20)) {
            r = DORN_E_NO_MEMORY;
        } else {
            try {
                header.assign(static_cast<size_t>(length), 0);
                array.data = header.data();
                r = Request(data, DORN_CMD_GETELEMENTS, DORN_CAP_HEADER, DORN_DT_PARRAY,
                            reinterpret_cast<uintptr_t>(&array));
            } catch (const std::bad_alloc&) {
                r = DORN_E_NO_MEMORY;
            }
        }
    }
    if (r != 0) header.clear();
    if (CDornObject::IsLive(item)) {
        CloseDataObject(item, data);
        item->Unlock();
    }
    return r;
}

// ---- delete and format --------------------------------------------------------

int32_t CCameraSource::DeleteItem(CCameraItem* item)
{
    // Locked and marked before the request, so that a removal the module reports
    // meanwhile is deferred instead of freeing the item under us.
    item->Lock();
    item->SetDeletedByProgram(true);
    const int32_t r = Request(item, DORN_CMD_START, DORN_CAP_START52, DORN_DT_NONE, 0);
    if (!CDornObject::IsLive(item)) return r;
    item->Unlock();
    if (r != 0) {
        item->SetDeletedByProgram(false);
        return r;
    }
    if (!item->ReleaseWhenUnlocked()) item->SetDeletedByProgram(false);
    return 0;
}

int32_t CCameraSource::DeleteImage(int32_t folder, int32_t file)
{
    CCameraItem* item = nullptr;
    const int32_t r = FindItem(&folder, &file, &item);
    if (r != 0) return r;
    return DeleteItem(item);
}

int32_t CCameraSource::DeleteFolder(int32_t folder, bool includeProtected)
{
    int32_t r = RefreshFolderTable();
    if (r != 0) return r;
    if (folder < 1 || static_cast<size_t>(folder) > folders_.size()) return DORN_E_NOT_FOUND;
    r = SelectFolder(folder);
    if (r != 0) return r;
    // Walk a snapshot: each delete removes a child.
    std::vector<CDornObjectRef> items = GetChildren();
    for (const CDornObjectRef& ref : items) {
        auto* item = dynamic_cast<CCameraItem*>(ref.Get());
        if (!item || !CDornObject::IsLive(item)) continue;
        if (includeProtected && item->HasCapability(DORN_CAP_PROTECT)) {
            uint32_t cell = 0;
            if (Request(item, DORN_CMD_GET, DORN_CAP_PROTECT, DORN_DT_PBOOL, reinterpret_cast<uintptr_t>(&cell)) == 0 &&
                (cell & 0xFF)) {
                cell = 0;
                Request(item, DORN_CMD_SET, DORN_CAP_PROTECT, DORN_DT_PBOOL, reinterpret_cast<uintptr_t>(&cell));
            }
        }
        r = DeleteItem(item);
        if (r != 0) return r;
    }
    if (HasCapability(DORN_CAP_DELETE_FOLDER)) {
        r = Request(this, DORN_CMD_START, DORN_CAP_DELETE_FOLDER, DORN_DT_NONE, 0);
        if (r != 0) return r;
    }
    if (folders_.empty()) return connectionError_ ? connectionError_ : DORN_E_NOT_FOUND;
    folders_.erase(folders_.begin() + (folder - 1));
    for (size_t i = 0; i < folders_.size(); ++i) folders_[i].number = static_cast<int32_t>(i + 1);
    currentFolder_ = 0;
    forceSelect_ = 1;
    return 0;
}

int32_t CCameraSource::FormatCFCard()
{
    if (connectionError_ != 0) return connectionError_;
    const int32_t r = Request(this, DORN_CMD_START, DORN_CAP_FORMAT, DORN_DT_NONE, 0);
    if (r == 0) connectionError_ = DORN_R_NO_MEDIUM;
    return r;
}

// ---- connection and change marks ----------------------------------------------

int32_t CCameraSource::IsConnectionError(int32_t* code) const
{
    *code = connectionError_;
    return connectionError_ != 0 ? 1 : 0;
}

int32_t CCameraSource::IsChangePending(int32_t folder)
{
    // A refresh that failed without losing the camera is no pending change: the
    // caller would wait for a change that nobody marked. The table stays marked
    // for a refresh, so the next count reads the folders again and reports it.
    RefreshFolderTable();
    if (connectionError_ != 0) return 1;
    if (folder < 1 || static_cast<size_t>(folder) > folders_.size()) return 1;
    return folders_[folder - 1].changePending ? 1 : 0;
}

int32_t CCameraSource::IsStatusChangeComplete(int32_t folder)
{
    if (folder < 1 || static_cast<size_t>(folder) > folders_.size()) return 1;
    CameraFolderRecord& record = folders_[folder - 1];
    if (!record.changePending) return 0;
    if (CameraTickCount() - record.changeTime < kChangeSettleMs) return 0;
    record.changePending = 0;
    record.changeTime = 0;
    return 1;
}

void CCameraSource::ClearChangeMark(int32_t folder)
{
    if (folder < 1 || static_cast<size_t>(folder) > folders_.size()) return;
    folders_[folder - 1].changePending = 0;
    folders_[folder - 1].changeTime = 0;
}
