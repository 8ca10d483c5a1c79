#pragma once
// CImageFileIf: the one interface through which the rest of the viewer reaches
// pictures, on a card or drive (through the card source) or in a camera (through
// the camera controller). Every operation takes folder and file names and reports
// a JqIfMngResult.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/thread/Event.h"
#include "viewer/sources/MassStrage.h"
#include "viewer/sources/PictureRecords.h"

class CRundleCtrl;
class CJqFileLib;
struct ImageDescription;

// What the picture-access object reads from the application and asks of the main
// frame. The application object implements it; tests give their own.
class ImageFileIfHost {
public:
    virtual ~ImageFileIfHost() = default;
    virtual int32_t CurrentDeviceIndex() = 0;       // 0-25 drives, 26 and up cameras
    virtual std::string CurrentCardRoot() = 0;      // "E:", from the current device record
    virtual std::string LocalFolder() = 0;          // the application's work folder for pictures
    virtual CRundleCtrl* CameraController() = 0;    // not owned
    virtual CMassStrage* CardSource() = 0;          // not owned
    virtual bool SuspendDeviceCheck() = 0;
    // Every caller (readers, jobs, viewers) reads one convention: 0 when the check
    // runs again (or there is no main window to run it), -114 when it could not be
    // restarted. Callable from any thread.
    virtual int32_t ResumeDeviceCheck() = 0;
    // Formatting a camera's card: the question (61633, OK and Cancel), the format
    // job under its wait dialog (its result), and the failure message (61686).
    virtual bool AskFormatCameraCard() = 0;
    virtual int32_t RunCameraFormat(CRundleCtrl* controller) = 0;
    virtual void ShowFormatFailed() = 0;
};

class CImageFileIf {
public:
    enum Kind : int32_t { kCard = 0, kCamera = 1 };

    static void SetHost(ImageFileIfHost* host);
    static ImageFileIfHost* Host();
    static bool SuspendDeviceCheck();
    static int32_t ResumeDeviceCheck();

    CImageFileIf() = default;
    virtual ~CImageFileIf();
    CImageFileIf(const CImageFileIf&) = delete;
    CImageFileIf& operator=(const CImageFileIf&) = delete;

    int32_t Open();
    int32_t Kind() const { return kind_; }
    const std::string& CardRoot() const { return cardRoot_; }
    const std::string& PictureRootName() const { return pictureRoot_; }
    const std::string& LocalFolder() const { return localFolder_; }

    // Lists.
    int32_t Ifl_GetFolderList(std::vector<std::string>& list);
    int32_t If_GetFileList(const std::string& folder, std::vector<std::string>& list, const plat::Event* abort);
    int32_t If_GetFileList(const std::string* folder, FileInfoArray& array, bool skipHidden, int32_t mode,
                           const plat::Event* abort);
    int32_t If_HasFiles(const std::string& folder, int32_t* flag);
    int32_t If_GetFileNum(const std::string& folder);

    // Names and folders.
    int32_t GetTransferMarkList();
    void ClearTransferMarkList();
    std::vector<std::string> NameList() const;  // a copy: reader threads look names up meanwhile
    int32_t Ifl_IsInNameList(const std::string& folder, const std::string& file, int32_t* flag) const;
    int32_t If_SearchFolderID(const std::string& folder) const;
    int32_t If_SearchFileID(int32_t folderId, const std::string& file) const;
    int32_t If_IsCurrentFolder(const std::string& folder) const;
    int32_t Ifl_CheckFolderName(const std::string& name) const;

    // Copying.
    int32_t If_CopyImageFile(const std::string& folder, const std::string& file, const std::string& destination,
                             bool keepAttributes, CopyProgressProc progress, void* reference);
    int32_t If_CopyImageFile(const std::string& sourcePath, const std::string& destination, bool keepAttributes,
                             CopyProgressProc progress, void* reference);
    int32_t IflRundle_CopyCallBack(const std::string& folder, const std::string& file, const std::string& destination,
                                   CopyProgressProc progress, void* reference);
    // Copies from a card into this folder are work copies of pictures that stay
    // on the card: they are not synced (the copies made from them are).
    void SetScratchFolder(const std::string& folder);

    // Existence and paths.
    int32_t If_IsFile(const std::string& folder, const std::string& file);
    int32_t If_IsFolder(const std::string& folder, int32_t* code);
    int32_t If_IsExistFile(const std::string& folder, const std::string& file);
    std::string Ifl_GetCardFilePath(const std::string& folder, const std::string& file) const;
    // A local file-system path of the picture (a camera picture is copied first).
    int32_t If_GetFullPathFileName(const std::string& folder, const std::string& file, std::string* path);
    // Kind 2 with the path when a complete local copy of the picture exists.
    int32_t Ifl_GetTempStatus(const std::string& folder, const std::string& file, int32_t* kind, std::string* path);
    int32_t If_GetFileSizeTimeStatus(const std::string& folder, const std::string& file, uint32_t* size,
                                     int64_t* time, int32_t* protect, int32_t* hidden);
    int32_t If_GetFileStatus(const std::string& folder, const std::string& file, int32_t* protect, int32_t* hidden);
    int32_t If_GetFileStatus(const std::string& folder, const std::string& file, PictureRecord& record);
    int32_t If_GetFileSizeTime(const std::string& folder, const std::string& file, uint32_t* size, int64_t* time);

    // Thumbnails and information. Without build-from-picture (the CreateThumbnail
    // setting off) a JPEG's own EXIF thumbnail serves where it shows the same picture.
    int32_t If_GetThumbAndCaption(const std::string& folder, const std::string& file,
                                  std::unique_ptr<PictureRecord>& record, int32_t width, int32_t height,
                                  int32_t orientation, const plat::Event* abort, bool buildFromPicture = true);
    int32_t If_GetThumbnail(const std::string& folder, const std::string& file, std::unique_ptr<PictureRecord>& record,
                            int32_t width, int32_t height, bool keepProportions, int32_t orientation);
    int32_t Ifl_GetThumbFilePath(const std::string& folder, const std::string& file, std::string* path);
    int32_t Ifl_GetImageInfo(const std::string& folder, const std::string& file, int32_t* width, int32_t* height);
    static std::unique_ptr<CJqFileLib> OpenImageFile(const std::string& path, int32_t* result);
    static int32_t LoadPictureIntoRecord(const std::string& path, int32_t quarterTurns,
                                         std::unique_ptr<PictureRecord>& record);
    static int32_t MakeNamedRecord(std::unique_ptr<PictureRecord>& record, const std::string& name);
    int32_t Ifl_SetFileInfo(const std::string& folder, const std::string& file, PictureRecord& record, int32_t index);

    // Attributes, deletion, formatting.
    int32_t If_SetProtectStatus(const std::string& folder, const std::string& file, bool set);
    int32_t If_SetHideStatus(const std::string& folder, const std::string& file, bool set);
    int32_t If_DeleteFile(const std::string& folder, const std::string& file);
    int32_t If_DeleteFolder(const std::string& folder);
    int32_t If_FormatCard();

    // Source state.
    int32_t If_IsSessionLost();
    int32_t Ifl_CheckSource(const std::string& folder);
    void Ifl_SetCardAccessFlag(int32_t value);
    CMassStrage* Ifl_GetMassStrage() const { return card_; }

    static int32_t GetErrorStringID(int32_t code, int32_t secondForm);
    static int32_t NormalizeErrorStringID(int32_t code);

    // The thumbnail size rule: the longer side becomes `asked`, the shorter its
    // share, brought to a multiple of 4 (a remainder of 1 dropped, 2 and 3 rounded up).
    static void FitThumbnail(int32_t width, int32_t height, int32_t asked, int32_t* outWidth, int32_t* outHeight);

private:
    bool inScratchFolder(const std::string& path) const;
    bool isCamera() const { return kind_ == kCamera && controller_; }
    int32_t sessionResult(int32_t failure);
    int32_t cameraIds(const std::string& folder, const std::string& file, int32_t* folderId, int32_t* fileId) const;
    std::string localPictureFolder(const std::string& folder) const;
    int32_t cardStatus(const std::string& folder, const std::string& file, uint32_t* size, int64_t* time,
                       int32_t* protect, int32_t* hidden);
    int32_t setAttribute(const std::string& folder, const std::string& file, bool set, uint32_t bit);
    int32_t deleteCardFolder(const std::string& folder);
    void rebuildFileMap(int32_t folderId, const std::vector<std::string>& names, const std::vector<int32_t>& ids);
    int32_t writeCameraThumbFile(int32_t folderId, int32_t fileId, const std::string& path);
    int32_t cameraThumbnail(const std::string& folder, const std::string& file, PictureRecord& record);
    int32_t libraryThumbnail(const std::string& path, const std::string& file, PictureRecord& record, int32_t width,
                             int32_t height, bool keepProportions, int32_t orientation);
    int32_t readThumbPixels(CJqFileLib& lib, const std::string& path, PictureRecord& record, int32_t width,
                            int32_t height, int32_t orientation);

    int32_t kind_ = kCard;
    std::vector<std::string> nameList_;
    std::string cardRoot_;
    std::string pictureRoot_;
    std::string localFolder_;
    CRundleCtrl* controller_ = nullptr;
    CMassStrage* card_ = nullptr;
    // The browser's reader threads list folders and look names up while the
    // window's thread reads the folder list or the transfer marks again: the
    // maps and the marks' name list are shared, under this lock.
    mutable std::mutex mapsLock_;
    std::map<std::string, int32_t> folderMap_;
    std::map<int32_t, std::map<std::string, int32_t>> fileMaps_;
    std::string scratchFolder_;  // see SetScratchFolder
};
