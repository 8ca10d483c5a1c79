#pragma once
// Deleting on the current source (form A): the browser's selected pictures, and
// a whole folder.
#include "viewer/browser/BrowserItem.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/JobThreads.h"

#include <list>
#include <string>

class CRemoveFileThread : public CJobThread {
public:
    CRemoveFileThread(BrowserItemList& items, std::list<std::string>& names, JobAccess& access);
    ~CRemoveFileThread() override;
    using CJobThread::Setup;
    int32_t Start(const std::string& folder);
    uint32_t Run() override;

    // The worker: 1 when every selected picture was deleted, 0 when a delete
    // failed (FailedResult() then holds the source's code).
    int32_t RemoveSelected();
    int32_t FailedResult() const { return failed_.load(); }

private:
    BrowserItemList& items_;
    std::list<std::string>& names_;
    JobAccess& access_;
    std::string folder_;
    std::atomic<int32_t> failed_{0};
};

class CRemoveFolderThread : public CJobThread {
public:
    CRemoveFolderThread(plat::WindowHandle owner, JobAccess& access);
    ~CRemoveFolderThread() override;
    int32_t Start(const std::string& folder);
    uint32_t Run() override;
    // The worker: 1 when the folder was deleted, else 0.
    int32_t RemoveFolder();

private:
    JobAccess& access_;
    std::string folder_;
};
