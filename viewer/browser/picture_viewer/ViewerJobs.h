#pragma once
// The built-in viewer's two jobs as plain logic: opening the selected pictures
// (in viewer frames, or in the outside movie and still programs) and loading a
// viewer's picture again at a new rotation. The thread objects that run them
// are in BltInViewerThread.h.
#include "viewer/shell/settings/ViewSettings.h"
#include "viewer/sources/PictureRecords.h"

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class JobAccess;

// One browser item as the open job sees it (a copy made before the job starts).
struct ViewerOpenItem {
    std::string file;
    bool selected = false;
    bool movie = false;
    int32_t turns = 0;
};

// Result codes the viewer jobs give.
enum : int32_t {
    kViewerNoLibrary = 6,
    kViewerLibraryFails = 7,
    kViewerCannotShow = 107,
    kViewerNotFound = -99,
    kViewerNoMemory = -117,
    kViewerCameraGone = -111,   // the camera no longer answers
    kViewerNoWorkFolder = -114,
    kViewerNoProgram = -93,
    kViewerNoStillProgram = -94,
    kViewerCannotStart = -95,
    kViewerSessionLost = -111,
};

// What the open job needs from the browser and the desktop.
class ViewerOpenHost {
public:
    virtual ~ViewerOpenHost() = default;
    // The browser still wants viewers (it clears this when it cannot make a frame).
    virtual bool OpeningRequested() = 0;
    // When a viewer frame with this title is open: shows the picture there (on
    // the window's thread), *answer its result, true. False when none is open.
    virtual bool ShowInOpenViewer(const std::string& title, const std::string& path, int32_t turns,
                                  int32_t* answer) = 0;
    // Hands a loaded picture to the browser view, which makes its frame; false
    // when it could not be handed over (the record is freed).
    virtual bool HandOverPicture(std::unique_ptr<PictureRecord> record, const std::string& title) = 0;
    // Reads a picture at quarter turns (the picture buffer's loader by default).
    virtual int32_t LoadPicture(const std::string& path, int32_t turns, std::unique_ptr<PictureRecord>& out);
    // Starts program with one argument; a ViewerJobs result (0, -93, -95).
    virtual int32_t StartProgram(const std::string& program, const std::string& argument);
    // Share of memory still free (0..1).
    virtual double AvailableMemory();
    // One picture done; progress grows by 10 a picture.
    virtual void StepDone(int32_t /*progress*/) {}
};

struct ViewerOpenJob {
    JobAccess* access = nullptr;
    ViewerOpenHost* host = nullptr;
    ViewerSettings settings;
    std::vector<ViewerOpenItem> items;
    std::string folder;
    std::string tempFolder;
    std::function<bool()> cancelled;  // the progress dialog's cancel
};

// Opens the selected pictures; 0 or the first failure.
int32_t ViewerThreadProc(const ViewerOpenJob& job);

// A picture not yet open goes to a new viewer.
int32_t OpenPictureInNewViewer(ViewerOpenHost& host, const std::string& path, int32_t turns,
                               const std::string& title);

// Outside programs; 0 when started.
int32_t LaunchMovieProgram(ViewerOpenHost& host, const std::string& dinamicSoft, const std::string& picture);
int32_t LaunchStillProgram(ViewerOpenHost& host, const std::string& staticSoft, const std::string& picture);

// Free share of memory and swap from /proc/meminfo text ((MemAvailable +
// SwapFree) / (MemTotal + SwapTotal)); 1 when the text says nothing usable.
double MemoryAvailableFromMeminfo(const std::string& meminfo);
// At or below this share the open job stops with -117.
inline constexpr double kViewerMemoryFloor = 0.4;

// The rotate job's work: the picture's local path, loaded at turns. The new
// record is only handed back; the window swaps it in on its own thread.
int32_t RotateThreadProc(JobAccess& access, const std::string& title, int32_t turns,
                         std::unique_ptr<PictureRecord>& out, ViewerOpenHost* loader = nullptr);

// What a failed load of a picture to show becomes: 1 is -117, 6 and 7 stay,
// anything else but 107 and -117 is 107.
int32_t ViewerLoadResult(int32_t loadResult);
