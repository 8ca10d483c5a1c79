#pragma once
// A folder of pictures in memory, with a scripted result per picture.
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "viewer/browser/view/BrowserSource.h"

struct FakePicture {
    uint32_t size = 1000;
    int32_t protect = 0;
    int32_t hidden = 0;
    bool marked = false;
    int32_t statusResult = 0;
    int32_t thumbResult = 0;
    bool exists = true;
};

class FakeSource : public BrowserSource {
public:
    std::map<std::string, FakePicture> pictures;
    std::vector<std::string> listed;   // what GetFileList gives (order and duplicates kept)
    int32_t listResult = 0;
    int32_t sourceCheck = 0;
    int32_t resumeResult = 0;
    bool camera = false;
    std::atomic<int> suspends{0};
    std::atomic<int> resumes{0};
    std::vector<std::string> reads;    // names whose thumbnail was asked for
    std::vector<bool> buildFlags;      // the build-from-picture flag of each thumbnail request
    std::mutex mutex;
    // Called before a listing or a thumbnail read, outside the lock (to hold a worker).
    std::function<int32_t(const plat::Event*)> onList;
    std::function<int32_t(const std::string&, const plat::Event*)> onThumb;

    std::vector<std::string> folders;
    bool IsCamera() override { return camera; }
    int32_t GetFolderList(std::vector<std::string>& out) override {
        out = folders;
        return 0;
    }
    int32_t FileStatus(const std::string& folder, const std::string& name, uint32_t* size, int32_t* protect,
                       int32_t* hidden) override;
    bool IsTransferMarked(const std::string& folder, const std::string& name) override;
    int32_t GetFileList(const std::string& folder, std::vector<std::string>& names,
                        const plat::Event* cancel) override;
    int32_t GetFileNum(const std::string&) override { return static_cast<int32_t>(listed.size()); }
    int32_t IsFile(const std::string& folder, const std::string& name) override;
    int32_t GetThumbAndCaption(const std::string& folder, const std::string& name,
                               std::unique_ptr<PictureRecord>& record, int32_t width, int32_t height,
                               int32_t orientation, const plat::Event* cancel, bool buildFromPicture) override;
    int32_t CheckSource(const std::string&) override { return sourceCheck; }
    void SetCardAccessFlag(int32_t) override {}
    bool SuspendDeviceCheck() override { ++suspends; return true; }
    int32_t ResumeDeviceCheck() override {
        ++resumes;
        if (onResume) onResume();
        return resumeResult;
    }
    std::function<void()> onResume;   // on the reader's thread
};
