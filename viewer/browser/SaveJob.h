#pragma once
// Saving the browser's selected pictures into a folder (form A): each copy goes
// to a temporary name in the folder and takes its own name only when complete.
#include "viewer/browser/BrowserItem.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/JobThreads.h"

#include <string>

class CPreductSaveThread : public CJobThread {
public:
    // view: receives UM_ERROR -118 when the worker cannot be made.
    CPreductSaveThread(plat::WindowHandle view, BrowserItemList& items, JobAccess& access);
    ~CPreductSaveThread() override;

    void Setup(plat::WindowHandle owner, plat::Event completion, int32_t* exitSlot);
    int32_t Start(const std::string& sourceFolder, const std::string& destinationFolder);
    uint32_t Run() override;

    // The overwrite question's answers, read by the worker.
    std::atomic<int32_t> overwriteAll{0};
    std::atomic<int32_t> skipThisFile{0};

    // The worker's routine (public for the tests that drive it on their thread).
    int32_t SaveSelected();

private:
    enum class Step { Next, Stop };
    bool AskForRoom(uint32_t size, bool* shortage);
    Step AskAboutTarget(const BrowserItem& item, const std::string& target, bool several);
    Step CopyOne(const BrowserItem& item, const std::string& target, bool shortage, int32_t* result,
                 std::string* pendingFile);
    Step SourceMissing();
    void Progress();

    plat::WindowHandle view_;
    BrowserItemList& items_;
    JobAccess& access_;
    int32_t* exitSlot_ = nullptr;
    std::string source_;
    std::string destination_;
    int32_t position_ = 0;
};

// Destination folder with exactly one "/" at its end.
std::string NormaliseDestination(const std::string& folder);
// True for the root of a mounted file system that holds nothing (the "put in
// another disk" case).
bool IsEmptyMountRoot(const std::string& folder);
// Copies through a temporary name beside target and renames it onto target.
// The copy's result; on failure nothing is left under either name.
int32_t CopyThroughTemporary(JobAccess& access, const std::string& sourcePath, const std::string& target);
