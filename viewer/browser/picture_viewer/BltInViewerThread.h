#pragma once
// The thread objects of the viewer's jobs. The open job runs in the job form
// with a worker and a watcher (the watcher reports to the progress dialog and
// to the browser); the rotate job runs one worker that only loads the picture
// and gives it back to the form, which swaps it in on its own thread.
#include "viewer/browser/JobThreads.h"
#include "viewer/browser/picture_viewer/ViewerJobs.h"

#include "platform/msg/WindowHandle.h"
#include "platform/thread/Event.h"
#include "platform/thread/WorkerThread.h"

#include <functional>
#include <memory>
#include <mutex>

class CBltInViewerThread : public CJobThread {
public:
    // view: the browser view that gets the job's failures.
    explicit CBltInViewerThread(plat::WindowHandle view) : view_(view) {}
    ~CBltInViewerThread() override { Join(); }

    // Progress dialog, stop event and the job (a copy of the browser's state).
    void Setup(plat::WindowHandle progress, plat::Event stop, ViewerOpenJob job);
    // Worker and watcher made and running: 1; 0 when a thread cannot be made.
    int32_t Begin();
    uint32_t Run() override;
    int32_t Result() const { return result_.load(); }

private:
    plat::WindowHandle view_;
    ViewerOpenJob job_;
    std::atomic<int32_t> result_{0};
};

// Posts what the browser shows for an open job's result.
void ReportViewerResult(plat::WindowHandle view, int32_t result);

class CBltInRotateThread {
public:
    CBltInRotateThread(JobAccess* access, std::string title, int32_t turns, plat::WindowHandle waitDialog);
    ~CBltInRotateThread();
    // 1 when the worker runs; 0 when it cannot be made.
    int32_t Start();
    void Join();
    int32_t Result() const { return result_.load(); }
    // The loaded picture once the worker ended (null on failure).
    std::unique_ptr<PictureRecord> TakePicture();

private:
    uint32_t Work();

    JobAccess* access_;
    std::string title_;
    int32_t turns_;
    plat::WindowHandle dialog_;
    plat::Event rotateEvent_;
    std::unique_ptr<plat::WorkerThread> worker_;
    std::mutex lock_;
    std::unique_ptr<PictureRecord> picture_;
    std::atomic<int32_t> result_{0};
};

class CViewerFrameList;

// The open job's host in the program: open viewers are found in the browser's
// frame list and asked on their own thread; new pictures go to the browser
// view as UM_OPEN_VIEWER (wParam a PictureRecord*, lParam a std::string* title,
// both the receiver's to free; freed here when the view is gone).
class BrowserViewerHost : public ViewerOpenHost {
public:
    BrowserViewerHost(CViewerFrameList* frames, plat::WindowHandle view, plat::WindowHandle progress,
                      std::function<bool()> openingRequested)
        : frames_(frames), view_(view), progress_(progress), opening_(std::move(openingRequested)) {}
    bool OpeningRequested() override { return !opening_ || opening_(); }
    bool ShowInOpenViewer(const std::string& title, const std::string& path, int32_t turns,
                          int32_t* answer) override;
    bool HandOverPicture(std::unique_ptr<PictureRecord> record, const std::string& title) override;
    void StepDone(int32_t progress) override;

private:
    CViewerFrameList* frames_;
    plat::WindowHandle view_;
    plat::WindowHandle progress_;
    std::function<bool()> opening_;
};
