#include "viewer/browser/picture_viewer/DragOut.h"

#include "platform/msg/Messaging.h"
#include "platform/thread/WorkerThread.h"
#include "viewer/browser/picture_viewer/ViewerTexts.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/ui/WaitMsgDlg.h"

#include <QPushButton>

namespace {
constexpr uint32_t kTextCopying = 62223;
}

int32_t RunDragCopyWithWaitDialog(const DragCopyJob& job, QWidget* parent) {
    CWaitMsgDlg wait(0, ViewerText(kTextCopying).toStdString(), true, parent);
    std::atomic<int32_t> result{0};
    const plat::WindowHandle dialog = wait.handle();
    plat::WorkerThread worker([&job, &result, dialog]() -> uint32_t {
        result.store(DragCopyThreadProc(job));
        plat::postMessage(dialog, UM_WORKER_DONE, 1, 0);
        return 0;
    });
    if (!worker.create(plat::WorkerThread::Start::Running)) return kDragDeviceCheck;
    if (QPushButton* cancel = wait.CancelButton())
        QObject::connect(cancel, &QPushButton::clicked, [event = job.cancel] { event.set(); });
    wait.DoModal();
    worker.waitUntilEnded();
    return result.load();
}

plat::DragResult DragPicturesOut(QWidget* source, DragCopyJob job, std::function<void(int32_t)> accessState,
                                 std::function<void(int32_t)> reportFailure) {
    plat::Event notPermit = plat::Event::create(plat::Event::Reset::Auto, false, "NOT_PERMIT_ACCESS");
    if (accessState) accessState(0);
    job.cancel = plat::Event::create(plat::Event::Reset::Auto, false, "CANCEL_FILEDROP_EVENT");
    auto* data = new CImageDataObject(
        job, [source, accessState](const DragCopyJob& j) {
            const int32_t r = RunDragCopyWithWaitDialog(j, source);
            if (accessState) accessState(1);
            return r;
        },
        std::move(reportFailure));
    const plat::DragResult result = plat::dragFilesOut(source, data);
    job.cancel.close();
    notPermit.set();
    if (accessState) accessState(1);
    return result;
}
