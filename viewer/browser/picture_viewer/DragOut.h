#pragma once
// The drag of selected pictures out of the browser: the copy runs behind the
// wait dialog on the first request of a drop target.
#include "viewer/browser/picture_viewer/DragCopy.h"

#include "platform/shell/FileDrag.h"

#include <functional>

class QWidget;

// Runs the copy job on a worker thread while the wait dialog (text 62223, with
// a cancel button that sets the job's cancel event) is shown; its result.
int32_t RunDragCopyWithWaitDialog(const DragCopyJob& job, QWidget* parent);

// The whole drag from the thumbnail pane: "NOT_PERMIT_ACCESS" made anew and
// "CANCEL_FILEDROP_EVENT" made for the job, the long operation announced
// (accessState(0)), the copy-only drag, then the events let go,
// "NOT_PERMIT_ACCESS" set and accessState(1). reportFailure gets a copy failure.
plat::DragResult DragPicturesOut(QWidget* source, DragCopyJob job, std::function<void(int32_t)> accessState,
                                 std::function<void(int32_t)> reportFailure);
