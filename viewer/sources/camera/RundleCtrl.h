#pragma once
// The viewer's handle on a camera reached through a camera module: connects the
// camera named by its device record, checks its status, and offers the picture
// operations by folder and picture number. Every result is a JqIfMngResult;
// module results are translated by ChkErr.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/PictureRecords.h"

namespace plat {
class Event;
}
class CCameraModule;
class CCameraSource;

// The device record the monitor leaves for the viewer (520 bytes).
struct RundleDeviceRecord {
    char Name[260] = {};        // the camera module's file
    char Capability[260] = {};  // the name of the module's source for this camera
};
static_assert(sizeof(RundleDeviceRecord) == 520, "the device record is 520 bytes");

// A thumbnail as read from the camera.
struct RundleThumbDescription {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t size = 0;        // row bytes times height
    uint32_t colourCode = 0;  // the image-file library's colour code
    uint32_t one = 1;
    uint32_t rowBytes = 0;
};

class CRundleCtrl {
public:
    explicit CRundleCtrl(const RundleDeviceRecord& record);
    virtual ~CRundleCtrl();
    CRundleCtrl(const CRundleCtrl&) = delete;
    CRundleCtrl& operator=(const CRundleCtrl&) = delete;

    // Connection and status.
    JqIfMngResult Initialize();
    void Close();
    JqIfMngResult IsTargetStatus(std::string folderName);
    bool IsSessionCheck(int32_t* lost);
    void SetWinTitle(const std::string& first, const std::string& second);
    int32_t GetFolderNum();
    bool IsChkFolder(const std::string& folderName, int32_t* folderId);
    JqIfMngResult IsChkExistFile(int32_t folderId, bool reset, bool quiet);
    JqIfMngResult InitSource();
    static JqIfMngResult ChkErr(int32_t moduleResult);

    // Folders.
    JqIfMngResult GetFolderList(std::vector<std::string>& names, std::vector<int32_t>& numbers);
    int32_t SearchFolderId(const std::string& name);
    bool IsFolder(const std::string& name, int32_t* result);
    int32_t GetFileNum(int32_t folder);

    // Pictures by name.
    static bool _ChkExtension(const std::string& name);
    int32_t _SearchFileId(int32_t folder, const std::string& name);
    bool IsFile(int32_t folder, const std::string& name);
    int32_t IsExistFile(int32_t folder, const std::string& name);

    // Lists; a cancel event that is signalled ends a list with -96.
    int32_t GetImgFileList(int32_t folder, std::vector<std::string>& names, std::vector<int32_t>& numbers,
                           const plat::Event* cancel);
    int32_t GetImgFileInfList(int32_t folder, FileInfoArray& entries, const plat::Event* cancel);
    int32_t GetImgFileInfList(int32_t folder, FileInfoArray& entries, bool isCheckHide, int32_t mode,
                              const plat::Event* cancel);

    // Attributes and files.
    JqIfMngResult GetFileInfo(int32_t folder, int32_t file, int64_t* time, uint32_t* size);
    JqIfMngResult GetFileSize(int32_t folder, int32_t file, uint32_t* size);
    JqIfMngResult GetFileStatus(int32_t folder, int32_t file, int64_t* time, uint32_t* size, uint8_t* attribute);
    uint8_t _GetAttribute(int32_t folder, int32_t file);
    JqIfMngResult SetProtectStats(int32_t folder, int32_t file, bool protect);
    JqIfMngResult SetHideStats(int32_t folder, int32_t file, bool flag);
    JqIfMngResult DeleteImage(int32_t folder, int32_t file);
    JqIfMngResult DeleteFolder(int32_t folder);
    JqIfMngResult FormatCFCard();

    // Copying. The picture goes to a temporary name in the folder and takes its
    // own name only once it is complete.
    JqIfMngResult GetImageFile(int32_t folder, int32_t file, const std::string& name, const std::string& folderPath,
                               bool attr, bool stepwise);
    JqIfMngResult GetImageFileCallBack(int32_t folder, int32_t file, const std::string& name,
                                       const std::string& folderPath);
    // The stepwise copy under way ends without its final name: what arrives is
    // thrown away, and whatever stood under that name is left as it was.
    void DropCopy();
    bool SavingImage(uint32_t* done, uint32_t* total, int32_t* result);
    JqIfMngResult GetImageFileHeader(int32_t folder, int32_t file, const std::string& name,
                                     const std::string& folderPath, bool attr);
    JqIfMngResult GetImageFileHeader(int32_t folder, int32_t file, const std::string& name,
                                     const std::string& folderPath);
    JqIfMngResult GetThumbImage(int32_t folder, int32_t file, RundleThumbDescription* description,
                                std::vector<uint8_t>& pixels);
    void _ChangeFileStatus(const std::string& path, int64_t time, uint8_t attribute);

    // The colour code of a module colour model.
    static uint32_t ColourCodeOf(uint32_t colourModel);
    // A picture name that can be written inside a folder (no separators, no "..").
    static bool IsSafeFileName(const std::string& name);

    CCameraModule* GetModule() const { return module_; }
    CCameraSource* GetSource() const;

private:
    int32_t _GetImageFileHeader(int32_t folder, int32_t file, std::vector<uint8_t>& header);
    JqIfMngResult FinishCopy(int32_t moduleResult);
    void DropSource();

    CCameraModule* module_ = nullptr;
    CCameraSource* source_ = nullptr;
    std::string currentFolderName_;
    int32_t lastFolderId_ = 0;
    int32_t folderCount_ = 0;
    int32_t fileCount_ = 0;
    RundleDeviceRecord device_;
    int32_t firstStatus_ = 0;
    time_t baseTime_ = 0;
    // The copy in progress: its temporary and final names.
    std::string copyTemp_;
    std::string copyFinal_;
    bool copyDropped_ = false;
};
