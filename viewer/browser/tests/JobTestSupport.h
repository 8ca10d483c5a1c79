#pragma once
// A message owner that records what the jobs post, a temporary folder pair and a
// job access over real files with failures on request.
#include "viewer/browser/JobAccess.h"

#include "platform/msg/MessageReceiver.h"

#include <QCoreApplication>

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <vector>

struct Posted {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

class RecordingOwner {
public:
    RecordingOwner();
    plat::WindowHandle handle() const { return receiver_->handle(); }
    // Serves the event loop until UM_WORKER_DONE came (bounded: a job that hangs
    // fails the test instead of blocking it).
    bool waitForDone();
    std::vector<Posted> posted;
    std::vector<uintptr_t> progress() const;
    uintptr_t doneParam() const;

private:
    std::unique_ptr<plat::MessageReceiver> receiver_;
};

class FileJobAccess : public JobAccess {
public:
    bool IsFile(const std::string& folder, const std::string& file) override;
    int32_t GetFullPath(const std::string& folder, const std::string& file, std::string* path) override;
    int32_t CopyFile(const std::string& sourcePath, const std::string& destination) override;
    int32_t DeleteFile(const std::string& folder, const std::string& file) override;
    int32_t DeleteFolder(const std::string& folder) override;
    int32_t GetThumbnail(const std::string& folder, const std::string& file, std::unique_ptr<PictureRecord>& record,
                         int32_t side, int32_t orientation) override;
    int32_t LastResult() override { return lastResult; }
    bool SuspendDeviceCheck() override { ++suspended; return true; }
    int32_t ResumeDeviceCheck() override { --suspended; return resumeResult; }
    void StopReaderThreads() override { ++readersStopped; }
    uint64_t FreeSpace(const std::string&) override { return freeSpace; }
    int Ask(plat::WindowHandle owner, const std::string& text, const std::string& caption,
            plat::MessageButtons buttons, plat::MessageIcon icon) override;
    OverwriteAnswer AskOverwrite(plat::WindowHandle owner, const std::string& file, bool severalFiles) override;

    // Failures by file name.
    std::map<std::string, int32_t> copyFailures, deleteFailures;
    bool cardGoesOnFailure = false;   // a failing copy also takes its source away
    int32_t folderResult = 0;
    int32_t lastResult = 0;
    int32_t resumeResult = 0;
    int suspended = 0;
    int readersStopped = 0;
    uint64_t freeSpace = UINT64_MAX;
    std::deque<int> answers;                  // message boxes (default OK)
    std::deque<OverwriteAnswer> overwrites;   // overwrite questions (default Cancel)
    std::vector<std::string> asked;           // texts of the boxes
    std::vector<std::pair<std::string, bool>> overwriteAsked;
    // Thumbnails: side x side/2 grey-free colour tiles; names listed here fail.
    std::set<std::string> thumbFailures;
    std::vector<int32_t> orientations;
};

// One widget application for the whole test program (dialogs need it).
void EnsureApplication();

std::filesystem::path MakeTempDir(const std::string& tag);
void WriteFile(const std::filesystem::path& path, const std::string& content);
