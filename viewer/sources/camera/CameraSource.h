#pragma once
// The program's source object: one camera. It keeps the folder table and the
// connection state, turns module events into change marks, and offers the
// synchronous picture operations of the camera controller. Every operation
// answers the connection error first; a folder or picture that does not exist
// gives -241.
#include <string>
#include <vector>

#include "viewer/sources/camera/AsyncWaitTask.h"
#include "viewer/sources/camera/DornSource.h"

class CCameraModule;
class CCameraItem;
class CCameraDataObject;

struct CameraFolderRecord {
    int32_t number = 0;          // from 1
    std::string name;
    uint32_t key = 0;            // item ids of the folder carry it in their upper 16 bits
    int32_t changePending = 0;
    uint32_t changeTime = 0;     // tick of the change mark
    uint32_t pictureCount = 0xFFFFFFFFu;  // all ones: not yet counted
};

// The thumbnail a read delivered.
struct CameraThumbnail {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t colourModel = 0;
    uint32_t rowBytes = 0;
    uint32_t size = 0;             // rowBytes * height
    std::vector<uint8_t> pixels;
};

class CCameraSource : public CDornSource {
public:
    explicit CCameraSource(CCameraModule* module);
    ~CCameraSource() override;

    CDornObject* MakeChild(uint32_t id) override;
    void OnChildAdded(CDornObject* child) override;
    void RemoveFromParent() override;
    void OnCapabilityChanged(uint32_t id, int32_t valueOnly) override;
    int32_t RefreshCapabilities() override;
    int32_t Close() override;

    // What the controller calls.
    int32_t OpenSource();
    int32_t GetStatus();
    int32_t GetFolderNum(int32_t* count);
    int32_t GetFileNum(int32_t folder, int32_t* count);
    int32_t GetTotalFileNum(int32_t* count);
    int32_t GetFolderName(int32_t folder, std::string& name);
    int32_t GetFileName(int32_t folder, int32_t file, std::string& name);
    int32_t FileInfo(int32_t folder, int32_t file, uint32_t* size, DornItemDate* date);
    int32_t IsReadOnly(int32_t folder, int32_t file);
    int32_t IsInVisible(int32_t folder, int32_t file);
    int32_t SetReadOnlyStatus(int32_t folder, int32_t file, uint8_t flag);
    int32_t SetInVisibleStatus(int32_t folder, int32_t file, uint8_t flag);
    int32_t StartSavingImage(int32_t folder, int32_t file, const std::string& destination);
    bool SavingImage(uint32_t* done, uint32_t* total, int32_t* result);
    int32_t ReadThumbnail(int32_t folder, int32_t file, CameraThumbnail& thumbnail);
    int32_t ReadHeader(int32_t folder, int32_t file, std::vector<uint8_t>& header);
    int32_t DeleteImage(int32_t folder, int32_t file);
    int32_t DeleteFolder(int32_t folder, bool includeProtected);
    int32_t FormatCFCard();
    int32_t IsConnectionError(int32_t* code) const;
    int32_t IsChangePending(int32_t folder);
    int32_t IsStatusChangeComplete(int32_t folder);
    void ClearChangeMark(int32_t folder);

    // Called by the items and data objects.
    void OnItemRemoved(CCameraItem* item, bool deletedByProgram);
    void MarkFolderChanged(uint32_t itemId);
    void SetCopyProgress(uint32_t done, uint32_t total);
    CCameraModule* GetModule() const { return module_; }
    int32_t GetConnectionError() const { return connectionError_; }
    void SetConnectionError(int32_t code) { connectionError_ = code; }
    const std::vector<CameraFolderRecord>& Folders() const { return folders_; }

private:
    int32_t Request(CDornObject* target, uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data);
    int32_t ReadState(uint32_t* raw);
    int32_t ReadStatus(bool direct);
    int32_t BuildFolderTable();
    int32_t RefreshFolderTable();
    int32_t SelectFolder(int32_t folder);
    // The camera's own current folder (its folder-list entry), 0 when none.
    int32_t ReadModuleFolder(int32_t* folder);
    int32_t RefreshChildren();
    int32_t CountFolder(CameraFolderRecord& record);
    int32_t FindItem(int32_t* folder, int32_t* file, CCameraItem** item);
    CameraFolderRecord* FolderByKey(uint32_t itemId);
    CCameraDataObject* OpenDataObject(CCameraItem* item, uint32_t dataType, int32_t* result);
    void CloseDataObject(CCameraItem* item, CCameraDataObject* dataObject);
    int32_t ReadFlag(int32_t folder, int32_t file, uint32_t capability);
    int32_t WriteFlag(int32_t folder, int32_t file, uint32_t capability, uint8_t flag);
    int32_t DeleteItem(CCameraItem* item);
    void EndCopy();

    CCameraModule* module_;
    uint32_t copyDone_ = 0;
    uint32_t copyTotal_ = 0;
    int32_t copyFolder_ = 0;
    int32_t copyFile_ = 0;
    CAsyncWaitTask copyTask_;
    CAsyncWaitTask thumbTask_;
    std::vector<CameraFolderRecord> folders_;
    int32_t connectionError_ = 0;
    int32_t changeMark_ = 0;
    int32_t currentFolder_ = 0;
    int32_t forceSelect_ = 0;
    // The copy in progress.
    CCameraItem* copyItem_ = nullptr;
    CCameraDataObject* copyData_ = nullptr;
    int32_t copyResult_ = 0;
    uint32_t copyWatchDone_ = 0;
    uint32_t copyWatchTick_ = 0;
};
