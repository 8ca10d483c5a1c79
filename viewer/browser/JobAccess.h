#pragma once
// What the picture jobs ask of the current picture source and of the user. The
// program's one implementation goes to the picture-access object and to message
// boxes on the user-interface thread; tests give their own.
#include "viewer/sources/PictureRecords.h"

#include "platform/msg/MessageBox.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CImageFileIf;

// The overwrite question's answers.
enum class OverwriteAnswer { Overwrite, OverwriteAll, Skip, Cancel };

class JobAccess {
public:
    virtual ~JobAccess() = default;
    // Source.
    virtual bool IsFile(const std::string& folder, const std::string& file) = 0;
    virtual int32_t GetFullPath(const std::string& folder, const std::string& file, std::string* path) = 0;
    virtual int32_t CopyFile(const std::string& sourcePath, const std::string& destination) = 0;
    virtual int32_t DeleteFile(const std::string& folder, const std::string& file) = 0;
    virtual int32_t DeleteFolder(const std::string& folder) = 0;
    virtual int32_t GetThumbnail(const std::string& folder, const std::string& file,
                                 std::unique_ptr<PictureRecord>& record, int32_t side, int32_t orientation) = 0;
    // A thumbnail with the picture's shooting information (for its date).
    virtual int32_t GetThumbAndCaption(const std::string& folder, const std::string& file,
                                       std::unique_ptr<PictureRecord>& record, int32_t side, int32_t orientation) {
        return GetThumbnail(folder, file, record, side, orientation);
    }
    virtual int32_t LastResult() = 0;       // the source's last failure, 0 when none
    virtual bool SuspendDeviceCheck() = 0;
    virtual int32_t ResumeDeviceCheck() = 0;  // 0 when the check runs again, -114 when it could not restart
    virtual void StopReaderThreads() {}
    // The status code of a lost camera session; 0 while it holds (and for cards).
    virtual int32_t SessionLost() { return 0; }
    // Free bytes for a folder (all of them when unknown).
    virtual uint64_t FreeSpace(const std::string& folder) = 0;
    // User.
    virtual int Ask(plat::WindowHandle owner, const std::string& text, const std::string& caption,
                    plat::MessageButtons buttons, plat::MessageIcon icon) = 0;
    // severalFiles: the dialog with all and skip; else an OK/Cancel box.
    virtual OverwriteAnswer AskOverwrite(plat::WindowHandle owner, const std::string& file, bool severalFiles) = 0;
};

// The program's implementation over a picture-access object.
class ImageFileIfJobAccess : public JobAccess {
public:
    explicit ImageFileIfJobAccess(CImageFileIf* source) : source_(source) {}
    bool IsFile(const std::string& folder, const std::string& file) override;
    int32_t GetFullPath(const std::string& folder, const std::string& file, std::string* path) override;
    int32_t CopyFile(const std::string& sourcePath, const std::string& destination) override;
    int32_t DeleteFile(const std::string& folder, const std::string& file) override;
    int32_t DeleteFolder(const std::string& folder) override;
    int32_t GetThumbnail(const std::string& folder, const std::string& file, std::unique_ptr<PictureRecord>& record,
                         int32_t side, int32_t orientation) override;
    int32_t GetThumbAndCaption(const std::string& folder, const std::string& file,
                               std::unique_ptr<PictureRecord>& record, int32_t side, int32_t orientation) override;
    int32_t LastResult() override { return lastResult_; }
    bool SuspendDeviceCheck() override;
    int32_t ResumeDeviceCheck() override;
    uint64_t FreeSpace(const std::string& folder) override;
    int32_t SessionLost() override;
    int Ask(plat::WindowHandle owner, const std::string& text, const std::string& caption,
            plat::MessageButtons buttons, plat::MessageIcon icon) override;
    OverwriteAnswer AskOverwrite(plat::WindowHandle owner, const std::string& file, bool severalFiles) override;
    // The browser's readers, stopped before a job takes the image-file library.
    void SetReaderStop(std::function<void()> stop) { stopReaders_ = std::move(stop); }
    void StopReaderThreads() override { if (stopReaders_) stopReaders_(); }

private:
    std::function<void()> stopReaders_;
    int32_t Note(int32_t result) { if (result != 0) lastResult_ = result; return result; }
    CImageFileIf* source_;
    int32_t lastResult_ = 0;
};
