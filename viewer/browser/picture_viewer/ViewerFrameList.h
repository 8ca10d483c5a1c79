#pragma once
// The browser's list of open viewer frames, keyed by their title
// ("folder\file"). Worker threads look a frame up and talk to it through its
// window handle; the lock is never held across a message to a window.
#include "platform/msg/WindowHandle.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class CViewerFrameList {
public:
    // A frame's key; 0 is never given.
    int32_t Register(const std::string& title, plat::WindowHandle frame);
    void Unregister(int32_t key);
    // The handle of the frame with this title (an invalid handle when none).
    plat::WindowHandle Find(const std::string& title) const;
    std::vector<plat::WindowHandle> All() const;
    size_t Count() const;

private:
    struct Entry {
        std::string title;
        plat::WindowHandle frame;
    };
    mutable std::recursive_mutex lock_;
    std::map<int32_t, Entry> entries_;
    int32_t nextKey_ = 1;
};
