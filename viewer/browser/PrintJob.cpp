#include "viewer/browser/PrintJob.h"

#include "viewer/browser/ImageBuffer.h"
#include "viewer/browser/LangFormat.h"
#include "viewer/browser/PictureDrawing.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/JqIfMngResult.h"

#include "platform/msg/Messaging.h"
#include "platform/thread/Waitable.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>

namespace fs = std::filesystem;

namespace {

int32_t RotationToOrientation(int32_t rotation) {
    static constexpr int32_t codes[4] = {1, 8, 3, 6};
    return codes[rotation & 3];
}

// The thumbnail fitted into the cell keeping its proportions, centred along
// the shorter side: offset and size in 0.01 mm.
void FitInCell(uint32_t w, uint32_t h, int32_t* dx, int32_t* dy, int32_t* dw, int32_t* dh) {
    if (w >= h) {
        *dw = kIndexCell;
        *dh = int32_t(int64_t(kIndexCell) * h / std::max(1u, w));
    } else {
        *dh = kIndexCell;
        *dw = int32_t(int64_t(kIndexCell) * w / std::max(1u, h));
    }
    *dx = (kIndexCell - *dw) / 2;
    *dy = (kIndexCell - *dh) / 2;
}

void CentredText(plat::gdi::Surface& page, const std::string& text, int32_t cellX, int32_t y) {
    page.textOut(cellX + (kIndexCell - page.textWidth(text)) / 2, y, text);
}

}  // namespace

std::vector<IndexCell> IndexCells(int32_t pageWidth, int32_t pageHeight) {
    std::vector<IndexCell> cells;
    for (int32_t top = 0; -top + kIndexCaptionRoom <= pageHeight; top -= kIndexStepDown)
        for (int32_t x = 0; x + kIndexCell <= pageWidth; x += kIndexStepAcross) cells.push_back({x, top});
    return cells;
}

int32_t CPrintJob::PageCount() const {
    const int32_t perPage = int32_t(IndexCells(width_, height_).size());
    if (perPage == 0) return 0;
    return std::max<int32_t>(1, (int32_t(entries_.size()) + perPage - 1) / perPage);
}

int32_t CPrintJob::ListFromSelection(const BrowserItemList& items, const std::string& folder, int32_t mode) {
    for (const BrowserItem& item : items) {
        if (!item.selected) continue;
        if (mode == kPrintOneAPage && IsMovieName(item.fileName)) continue;
        PrintEntry e{folder, item.fileName, {}, item.record ? item.record->rotation : 0};
        if (access_.GetFullPath(folder, item.fileName, &e.path) != 0) {
            Record(Err_Print_Library);
            continue;
        }
        entries_.push_back(std::move(e));
    }
    if (entries_.empty() && result_ == 0) Record(Err_Print_Nothing);
    return result_;
}

int32_t CPrintJob::ListFromPath(const std::string& path, int32_t rotation) {
    if (IsMovieName(path)) {
        Record(Err_Print_Nothing);
        return result_;
    }
    const fs::path p(path);
    entries_.push_back({p.parent_path().string(), p.filename().string(), path, rotation});
    return result_;
}

bool CPrintJob::PrintIndexPage(plat::gdi::Surface& page, const std::string& face, double points) {
    page.setMapping(plat::gdi::Mapping::HiMetric);
    page.setFont(face, page.pointsToUnits(points));   // made in the units it is drawn in
    const std::vector<IndexCell> cells = IndexCells(width_, height_);
    size_t used = 0;
    while (next_ < entries_.size() && used < cells.size()) {
        const PrintEntry& e = entries_[next_++];
        std::unique_ptr<PictureRecord> thumb;
        std::error_code ec;
        if (!fs::exists(e.path, ec) ||
            access_.GetThumbAndCaption(e.folder, e.file, thumb, 256, RotationToOrientation(e.rotation)) != 0 ||
            !thumb || thumb->blocks.empty()) {
            Record(Err_Print_Missing);
            continue;
        }
        const IndexCell& cell = cells[used++];
        int32_t dx, dy, dw, dh;
        FitInCell(thumb->blocks[0].width, thumb->blocks[0].height, &dx, &dy, &dw, &dh);
        const BitmapRecord& tile = thumb->blocks[0];
        page.stretchDib(cell.x + dx, cell.y - dy, dw, dh, tile.block.data(), tile.block.size());
        CentredText(page, e.file, cell.x, cell.y - kIndexNameLine);
        if (thumb->shotInfo && thumb->shotInfo->dateTime) {
            const JqCalendar& c = *thumb->shotInfo->dateTime;
            char date[64];
            std::snprintf(date, sizeof date, "%04d.%02d.%02d %02d:%02d", c.year, c.month, c.day, c.hour, c.minute);
            CentredText(page, date, cell.x, cell.y - kIndexDateLine);
        }
    }
    page.setMapping(plat::gdi::Mapping::Pixels);
    if (used == 0) Record(Err_Print_Nothing);
    return used > 0;
}

bool CPrintJob::LoadNextPicture(std::unique_ptr<PictureRecord>* picture) {
    while (next_ < entries_.size()) {
        const PrintEntry& e = entries_[next_++];
        std::error_code ec;
        if (!fs::exists(e.path, ec)) {
            Record(Err_Print_Missing);
            continue;
        }
        CImageBuffer buffer;
        const int32_t r = LoadImageBuffer(buffer, e.path, *picture, e.rotation);
        if (r == 0 && *picture) return true;
        Record(r == 1 ? Err_Print_NoMemory : Err_Print_Unreadable);
    }
    return false;
}

void CPrintJob::PrintOnePicture(plat::gdi::Surface& page, const PictureRecord& picture) {
    // The picture fills the page: a print dialog at 1200 dpi would otherwise
    // leave a camera picture the size of a stamp.
    const double sx = double(width_) / picture.width, sy = double(height_) / picture.height;
    const double scale = std::min(sx, sy);
    const ScaledTiles s = ScaleTiles(picture, scale);
    const int32_t left = (width_ - s.totalWidth) / 2, top = (height_ - s.totalHeight) / 2;
    const std::atomic<bool> always{true};
    DrawPictureTiles(page, picture, always, {0, 0, s.totalWidth, s.totalHeight}, scale, -left, -top);
}

uint32_t PrintErrorMessage(int32_t result, int32_t libraryResult) {
    switch (result) {
    case Err_Print_NoMemory: return 61600;
    case Err_Print_Nothing: return 61644;
    case Err_Print_Missing: return 61639;
    case Err_Print_Unreadable: return 61690;
    case Err_Print_Library: return uint32_t(GetErrorStringID(libraryResult, 1));
    default: return 61602;
    }
}

CPrintThread::CPrintThread(Params params) : p_(std::move(params)) {}

CPrintThread::~CPrintThread() {
    Abandon();
    Join();
}

bool CPrintThread::WaitForDialog() {
    while (!abandon_.load()) {
        if (!p_.ready.valid() || plat::waitFor(p_.ready, 200) == plat::kWaitSignalled) {
            if (p_.ready.valid()) p_.ready.reset();
            return true;
        }
    }
    return false;
}

void CPrintThread::PrintPages(CPrintJob& job) {
    plat::gdi::PrintDocument& doc = *p_.document;
    const std::string face = LangText(62201);
    const double points = LangInt(62202) > 0 ? LangInt(62202) : 9;
    if (!doc.startDoc()) throw Err_Print_Failed;
    int32_t page = 0;
    bool cancelled = false;
    std::unique_ptr<PictureRecord> picture;
    while (job.MorePages()) {
        if (p_.progress->IsCancelled() || abandon_.load()) { cancelled = true; break; }
        if (p_.mode == kPrintOneAPage && !job.LoadNextPicture(&picture)) break;   // resolved before the page
        plat::gdi::Surface* surface = doc.startPage();
        if (!surface) { doc.abortDoc(); throw Err_Print_Failed; }
        const bool drawn = p_.mode == kPrintIndex ? job.PrintIndexPage(*surface, face, points) : true;
        if (p_.mode == kPrintOneAPage) job.PrintOnePicture(*surface, *picture);
        if (!doc.endPage()) { doc.abortDoc(); throw Err_Print_Failed; }
        if (!drawn) break;   // nothing placed: no endless run of empty pages
        plat::postMessage(p_.dialog, UM_PROGRESS, uintptr_t(++page), 1);
    }
    if (cancelled) {
        doc.abortDoc();
    } else if (!doc.endDoc()) {
        throw Err_Print_Failed;
    }
}

uint32_t CPrintThread::Run() {
    // The browser's readers were stopped by the starter on the user-interface thread.
    JobAccess& access = *p_.access;
    plat::Event libraryInUse = plat::Event::create(plat::Event::Reset::Auto, false, "ACCESS_FILELIB");
    access.SuspendDeviceCheck();
    CPrintJob job(access);
    try {
        if (p_.singlePath.empty()) job.ListFromSelection(*p_.items, p_.folder, p_.mode);
        else job.ListFromPath(p_.singlePath, p_.singleTurns);
        if (job.Result() != 0 && job.Entries().empty()) throw Err_Print(job.Result());
        const plat::gdi::PageMetrics m = p_.document->metrics();
        if (p_.mode == kPrintIndex)
            job.SetPageSize(int32_t(int64_t(m.width) * 2540 / m.dpiX), int32_t(int64_t(m.height) * 2540 / m.dpiY));
        else
            job.SetPageSize(m.width, m.height);
        const int32_t total = p_.mode == kPrintIndex ? job.PageCount() : int32_t(job.Entries().size());
        if (WaitForDialog()) {
            plat::postMessage(p_.dialog, UM_PROGRESS, uintptr_t(total), 0);
            if (total == 0) throw Err_Print_Failed;   // not one cell fits the page
            PrintPages(job);
        }
    } catch (Err_Print e) {
        job.Record(e);
    } catch (...) {
        job.Record(Err_Print_Failed);
    }
    result_ = job.Result();
    if (result_ != 0 && !abandon_.load())
        access.Ask(p_.dialog, LangText(PrintErrorMessage(result_, access.LastResult())), {}, plat::MessageButtons::Ok,
                   plat::MessageIcon::Exclamation);
    plat::postMessage(p_.dialog, UM_WORKER_DONE, 0, 0);
    access.ResumeDeviceCheck();
    libraryInUse.close();
    return 0;
}
