#include "viewer/browser/picture_viewer/ViewerFrameList.h"

int32_t CViewerFrameList::Register(const std::string& title, plat::WindowHandle frame) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const int32_t key = nextKey_++;
    entries_[key] = Entry{title, frame};
    return key;
}

void CViewerFrameList::Unregister(int32_t key) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    entries_.erase(key);
}

plat::WindowHandle CViewerFrameList::Find(const std::string& title) const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (const auto& [key, entry] : entries_)
        if (entry.title == title) return entry.frame;
    return {};
}

std::vector<plat::WindowHandle> CViewerFrameList::All() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::vector<plat::WindowHandle> all;
    for (const auto& [key, entry] : entries_) all.push_back(entry.frame);
    return all;
}

size_t CViewerFrameList::Count() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return entries_.size();
}
