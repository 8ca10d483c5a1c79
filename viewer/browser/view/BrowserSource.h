#pragma once
// What the browser view reads of the current target. The picture-access object
// stands behind it in the program (ImageFileSource); tests give their own.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/thread/Event.h"
#include "viewer/sources/PictureRecords.h"

class CImageFileIf;

class BrowserSource {
public:
    virtual ~BrowserSource() = default;

    virtual bool IsCamera() = 0;
    virtual int32_t GetFolderList(std::vector<std::string>& folders) = 0;
    // Size in bytes, read-only and hidden flags of one picture; a result code.
    virtual int32_t FileStatus(const std::string& folder, const std::string& name, uint32_t* size,
                               int32_t* protect, int32_t* hidden) = 0;
    // Whether folder\name is in the card's transfer mark list.
    virtual bool IsTransferMarked(const std::string& folder, const std::string& name) = 0;
    virtual int32_t GetFileList(const std::string& folder, std::vector<std::string>& names,
                                const plat::Event* cancel) = 0;
    virtual int32_t GetFileNum(const std::string& folder) = 0;
    virtual int32_t IsFile(const std::string& folder, const std::string& name) = 0;   // 1 when it exists
    // buildFromPicture: the CreateThumbnail setting; off lets a picture's own thumbnail serve.
    virtual int32_t GetThumbAndCaption(const std::string& folder, const std::string& name,
                                       std::unique_ptr<PictureRecord>& record, int32_t width, int32_t height,
                                       int32_t orientation, const plat::Event* cancel,
                                       bool buildFromPicture) = 0;
    virtual int32_t CheckSource(const std::string& folder) = 0;
    virtual void SetCardAccessFlag(int32_t value) = 0;
    virtual bool SuspendDeviceCheck() = 0;
    virtual int32_t ResumeDeviceCheck() = 0;   // 0 when the check runs again, -114 when it could not restart
    // Whether a tree item's text names a folder the source can list.
    virtual bool CheckFolderName(const std::string&) { return true; }
    // Whether the folder is still there; a failure of the question in *code.
    virtual bool IsFolder(const std::string&, int32_t* code) { *code = 0; return true; }
    // Whether the folder holds pictures (a failure reads as not).
    virtual bool HasFiles(const std::string&) { return false; }
    // Whether the folder is the source's newest one (where new pictures go).
    virtual bool IsCurrentFolder(const std::string&) { return false; }
    // The status code of a lost camera session; 0 while it holds (and for cards).
    virtual int32_t IsSessionLost() { return 0; }
};

// The browser's source over the program's picture-access object (not owned).
class ImageFileSource : public BrowserSource {
public:
    explicit ImageFileSource(CImageFileIf& files) : files_(files) {}

    bool IsCamera() override;
    int32_t GetFolderList(std::vector<std::string>& folders) override;
    int32_t FileStatus(const std::string& folder, const std::string& name, uint32_t* size, int32_t* protect,
                       int32_t* hidden) override;
    bool IsTransferMarked(const std::string& folder, const std::string& name) override;
    int32_t GetFileList(const std::string& folder, std::vector<std::string>& names,
                        const plat::Event* cancel) override;
    int32_t GetFileNum(const std::string& folder) override;
    int32_t IsFile(const std::string& folder, const std::string& name) override;
    int32_t GetThumbAndCaption(const std::string& folder, const std::string& name,
                               std::unique_ptr<PictureRecord>& record, int32_t width, int32_t height,
                               int32_t orientation, const plat::Event* cancel, bool buildFromPicture) override;
    int32_t CheckSource(const std::string& folder) override;
    void SetCardAccessFlag(int32_t value) override;
    bool SuspendDeviceCheck() override;
    int32_t ResumeDeviceCheck() override;
    bool CheckFolderName(const std::string& folder) override;
    bool IsFolder(const std::string& folder, int32_t* code) override;
    bool HasFiles(const std::string& folder) override;
    bool IsCurrentFolder(const std::string& folder) override;
    int32_t IsSessionLost() override;

private:
    CImageFileIf& files_;
};
