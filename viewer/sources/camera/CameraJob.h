#pragma once
// What the camera jobs need of their callers: the owner view's window, its
// "ACCESS_FILELIB" event and stop flag, the selected picture items, and the
// picture-access operation that changes one picture.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/msg/WindowHandle.h"
#include "platform/thread/Event.h"

// One picture of the browser's selection, as the job reads and updates it.
struct CameraJobPicture {
    int32_t selected = 0;
    std::string name;
    int32_t readOnly = 0;
    int32_t hidden = 0;
};

struct CameraJobOwner {
    plat::WindowHandle window;          // the browser view
    plat::Event accessFileLib;          // "ACCESS_FILELIB", made by the caller for this job
    std::atomic<int32_t>* stopFlag = nullptr;
};

// Changes one picture's flag (the picture-access object's protect or hide of one
// picture): (folder path, picture name, value) -> result.
using CameraAttributeOperation = std::function<int32_t(const std::string&, const std::string&, int32_t)>;
