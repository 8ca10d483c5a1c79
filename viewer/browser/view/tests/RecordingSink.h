#pragma once
// Records what the readers report, as a list of short lines.
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "viewer/browser/view/ReaderThreads.h"

class RecordingSink : public ReaderSink {
public:
    std::vector<std::string> lines;
    ListResult lastList;
    std::mutex mutex;
    std::condition_variable changed;

    void ListReady(uint64_t, ListResult result) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back("list " + std::to_string(result.result) + " " + std::to_string(result.items.size()));
        lastList = std::move(result);
        changed.notify_all();
    }
    void ThumbnailRead(uint64_t, int32_t index, std::unique_ptr<PictureRecord> record) override {
        Add("read " + std::to_string(index) + (record ? "" : " null"));
    }
    void ItemDropped(uint64_t, int32_t index) override { Add("drop " + std::to_string(index)); }
    void ThumbnailMissing(uint64_t, int32_t index) override { Add("placeholder " + std::to_string(index)); }
    void TargetChanged(uint64_t, int32_t status) override { Add("changed " + std::to_string(status)); }
    void RunFinished(uint64_t) override { Add("finished"); }
    void LibraryResult(uint64_t, int32_t kind) override { Add("library " + std::to_string(kind)); }
    void Error(uint64_t, int32_t code) override { Add("error " + std::to_string(code)); }
    void TargetMessage(int32_t textId) override { Add("target " + std::to_string(textId)); }
    void StatusReset(uint64_t) override { Add("status reset"); }

    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }

private:
    void Add(std::string line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(std::move(line));
        changed.notify_all();
    }
};
