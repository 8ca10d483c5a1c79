#include "viewer/browser/view/tests/FakeSource.h"

int32_t FakeSource::FileStatus(const std::string&, const std::string& name, uint32_t* size, int32_t* protect,
                               int32_t* hidden) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = pictures.find(name);
    if (it == pictures.end()) return -99;
    if (it->second.statusResult != 0) return it->second.statusResult;
    *size = it->second.size;
    *protect = it->second.protect;
    *hidden = it->second.hidden;
    return 0;
}

bool FakeSource::IsTransferMarked(const std::string&, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = pictures.find(name);
    return it != pictures.end() && it->second.marked;
}

int32_t FakeSource::GetFileList(const std::string&, std::vector<std::string>& names, const plat::Event* cancel) {
    if (onList)
        if (const int32_t r = onList(cancel); r != 0) return r;
    std::lock_guard<std::mutex> lock(mutex);
    names = listed;
    return listResult;
}

int32_t FakeSource::IsFile(const std::string&, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = pictures.find(name);
    return it != pictures.end() && it->second.exists ? 1 : 0;
}

int32_t FakeSource::GetThumbAndCaption(const std::string&, const std::string& name,
                                       std::unique_ptr<PictureRecord>& record, int32_t width, int32_t height,
                                       int32_t, const plat::Event* cancel, bool buildFromPicture) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        buildFlags.push_back(buildFromPicture);
    }
    if (onThumb)
        if (const int32_t r = onThumb(name, cancel); r != 0) return r;
    std::lock_guard<std::mutex> lock(mutex);
    reads.push_back(name);
    auto it = pictures.find(name);
    if (it == pictures.end()) return -99;
    if (it->second.thumbResult != 0) return it->second.thumbResult;
    if (!record) record = std::make_unique<PictureRecord>();
    record->width = static_cast<uint32_t>(width);
    record->height = static_cast<uint32_t>(height);
    record->blocks.resize(1);
    return 0;
}
