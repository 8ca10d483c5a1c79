#pragma once
// Dragging pictures out to other programs: the selected pictures are copied
// into the browser's work folder only when a drop target asks for them, once
// per drag, and then offered as files. The copy runs on a worker thread while
// the user-interface thread shows the wait dialog.
#include "platform/shell/FileDragData.h"
#include "platform/thread/Event.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class JobAccess;

struct DragItem {
    std::string file;
    bool selected = false;
    bool hidden = false;
};

struct DragCopyJob {
    JobAccess* access = nullptr;
    std::vector<DragItem> items;
    std::string folder;      // the browser's current folder
    std::string workFolder;  // temp/temp/<folder>, made before the drag
    plat::Event cancel;      // "CANCEL_FILEDROP_EVENT", tested before each picture
};

inline constexpr int32_t kDragCancelled = -96;
inline constexpr int32_t kDragDeviceCheck = -114;

// Copies the selected pictures that still exist into the work folder. A copy
// already there is kept only while it still matches its source (size and
// time), so a picture of another card with the same name is never handed out.
// Copies end read-only, and hidden as their picture is. 0, -96 or the failure.
int32_t DragCopyThreadProc(const DragCopyJob& job);

// Full paths of the selected pictures' copies, in item order.
std::vector<std::filesystem::path> DraggedPaths(const DragCopyJob& job);

// The drop source is the toolkit's drag (platform/shell/FileDrag): it offers a
// copy only, cancels on Escape, and drops where the target takes the copy; the
// browser's readers are stopped for the whole drag (DragPicturesOut).

// The data object of one drag: on the first request, runCopy (which shows the
// wait dialog while the copy job runs and gives its result) is called once;
// after a cancel or a failure every request gets no files. reportFailure gets
// a failure other than a cancel (the browser shows it).
class CImageDataObject : public plat::FileDragData {
public:
    CImageDataObject(DragCopyJob job, std::function<int32_t(const DragCopyJob&)> runCopy,
                     std::function<void(int32_t)> reportFailure);
    bool Cancelled() const { return cancelled_; }

private:
    std::vector<std::filesystem::path> Provide();

    DragCopyJob job_;
    std::function<int32_t(const DragCopyJob&)> runCopy_;
    std::function<void(int32_t)> reportFailure_;
    bool cancelled_ = false;
};
