#pragma once
// Printing the browser's selection (form B): an index print (many thumbnails a
// page with name and date, laid out in 0.01 mm) or one picture a page, fitted
// to the page. Pages go to the document the print dialog chose; a
// cancelled job aborts it, which leaves no output.
#include "viewer/browser/BrowserItem.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/JobThreads.h"

#include "platform/gdi/PrintDocument.h"

#include <mutex>
#include <string>
#include <vector>

enum Err_Print : int32_t {
    Err_Print_Ok = 0,
    Err_Print_Failed = -123,
    Err_Print_Library = -124,
    Err_Print_Unreadable = -125,
    Err_Print_Missing = -126,
    Err_Print_Nothing = -127,
    Err_Print_NoMemory = -128,
};

enum PrintMode : int32_t { kPrintIndex = 1, kPrintOneAPage = 2 };

inline constexpr int32_t kIndexCell = 3400;
inline constexpr int32_t kIndexStepAcross = 4000;
inline constexpr int32_t kIndexStepDown = 5200;
inline constexpr int32_t kIndexNameLine = 3800;
inline constexpr int32_t kIndexDateLine = 4250;
inline constexpr int32_t kIndexCaptionRoom = 4600;   // cell, both lines and their height

// The progress dialog's shared state: the cancel flag under its own lock.
class CPrintProgressState {
public:
    void SetCancel(int32_t value) { std::lock_guard l(lock_); cancel_ = value; }
    bool IsCancelled() const { std::lock_guard l(lock_); return cancel_ != 0; }
    void Cancel() { SetCancel(1); }
private:
    mutable std::mutex lock_;
    int32_t cancel_ = 0;
};

// One picture to print.
struct PrintEntry {
    std::string folder;
    std::string file;
    std::string path;      // full local path
    int32_t rotation = 0;  // the browser's quarter turns
};

// Cell tops of an index page (x right, y up from the page's top, both 0.01 mm);
// one rule places the cells and counts the pages. Empty when none fits.
struct IndexCell {
    int32_t x = 0;
    int32_t y = 0;
};
std::vector<IndexCell> IndexCells(int32_t pageWidth, int32_t pageHeight);

class CPrintJob {
public:
    explicit CPrintJob(JobAccess& access) : access_(access) {}
    void SetPageSize(int32_t width, int32_t height) { width_ = width; height_ = height; }
    // Pages of the index print; 0 when no cell fits the page.
    int32_t PageCount() const;
    // The list from the selection (mode 2 leaves movies out) or from one path.
    int32_t ListFromSelection(const BrowserItemList& items, const std::string& folder, int32_t mode);
    int32_t ListFromPath(const std::string& path, int32_t rotation = 0);
    const std::vector<PrintEntry>& Entries() const { return entries_; }
    bool MorePages() const { return next_ < entries_.size(); }

    // Draws the next page; false when it drew nothing.
    bool PrintIndexPage(plat::gdi::Surface& page, const std::string& face, double points);
    // Resolves the next picture that can be printed; false when none is left.
    bool LoadNextPicture(std::unique_ptr<PictureRecord>* picture);
    void PrintOnePicture(plat::gdi::Surface& page, const PictureRecord& picture);
    int32_t Result() const { return result_; }
    void Record(int32_t result) { if (result != 0) result_ = result; }

private:
    JobAccess& access_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    size_t next_ = 0;
    std::vector<PrintEntry> entries_;
    int32_t result_ = 0;
};

// The message id that ReportError shows for a result.
uint32_t PrintErrorMessage(int32_t result, int32_t libraryResult);

class CPrintThread : public CJobThreadB {
public:
    struct Params {
        int32_t mode = kPrintIndex;
        plat::WindowHandle dialog;
        plat::Event ready;                     // manual-reset, signalled by the dialog
        CPrintProgressState* progress = nullptr;
        plat::gdi::PrintDocument* document = nullptr;   // the chosen printer, not started
        std::string singlePath;                // empty: the browser's selection
        int32_t singleTurns = 0;               // the viewer's quarter turns of that picture
        std::string folder;                    // the browser's current folder
        const BrowserItemList* items = nullptr;
        JobAccess* access = nullptr;
    };
    explicit CPrintThread(Params params);
    ~CPrintThread() override;
    void Abandon() { abandon_.store(true); }
    uint32_t Run() override;
    int32_t Result() const { return result_; }

private:
    bool WaitForDialog();
    void PrintPages(CPrintJob& job);
    Params p_;
    std::atomic<bool> abandon_{false};
    int32_t result_ = 0;
};
