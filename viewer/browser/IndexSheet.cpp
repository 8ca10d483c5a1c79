#include "viewer/browser/IndexSheet.h"

#include "viewer/browser/LangFormat.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/JqFileLib.h"

#include "platform/gdi/Dib.h"
#include "platform/msg/Messaging.h"
#include "platform/thread/Waitable.h"

#include <cstdio>
#include <filesystem>
#include <new>

namespace fs = std::filesystem;

namespace {

constexpr int32_t kSheetDpi = 200;
constexpr size_t kMaxPath = 260;

int32_t HundredthsToPixels(int64_t hundredthsMm) { return int32_t(hundredthsMm * 2 / 25.4); }

int32_t RotationToOrientation(int32_t rotation) {
    static constexpr int32_t codes[4] = {1, 8, 3, 6};
    return codes[rotation & 3];
}

uint32_t MessageOf(int32_t result) {
    switch (result) {
    case -127: return 61602;
    case -126: return 61600;
    case -125: return 61601;
    case -124: return 61644;
    case -128: return 61602;   // an encoder failure is a failed write to the user
    default: return 61602;
    }
}

}  // namespace

SheetLayout MakeSheetLayout(const plat::gdi::PaperDefaults& paper) {
    SheetLayout l;
    if (!paper.known || paper.paperWidth <= 0 || paper.paperLength <= 0) return l;
    l.pageWidth = HundredthsToPixels(int64_t(paper.paperWidth) * 10);
    l.pageHeight = HundredthsToPixels(int64_t(paper.paperLength) * 10);
    l.marginX = HundredthsToPixels(paper.offsetX);
    l.marginY = HundredthsToPixels(paper.offsetY);
    return l;
}

std::vector<CellPlace> SheetCells(const SheetLayout& l) {
    std::vector<CellPlace> cells;
    const auto fitsAcross = [&](int32_t x) { return x + kSheetCell + l.marginX <= l.pageWidth; };
    const auto fitsDown = [&](int32_t y) { return y + kSheetStepDown <= l.pageHeight - l.marginY; };
    if (!fitsAcross(l.marginX) || !fitsDown(l.marginY)) return cells;
    for (int32_t y = l.marginY;; y += kSheetStepDown) {
        for (int32_t x = l.marginX; fitsAcross(x); x += kSheetStepAcross) cells.push_back({x, y});
        // A further row only when the row after it would still end on the page.
        if (y + 2 * kSheetStepDown > l.pageHeight - 2 * l.marginY) break;
    }
    return cells;
}

int32_t SheetCount(const SheetLayout& layout, int32_t count) {
    const int32_t perSheet = int32_t(SheetCells(layout).size());
    if (perSheet == 0 || count <= 0) return 0;
    return (count + perSheet - 1) / perSheet;
}

std::string SheetPath(const std::string& folder, int32_t n) {
    char name[32];
    std::snprintf(name, sizeof name, "Sheet%d.JPG", n);
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    return path + name;
}

bool SheetBuffer::Allocate(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return false;
    try {
        rgb.assign(size_t(w) * size_t(h) * 3, 255);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

void SheetBuffer::Black(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint8_t* p = At(x, y);
    p[0] = p[1] = p[2] = 0;
}

void CopyThumbIntoCell(SheetBuffer& sheet, const PictureRecord& thumb, const CellPlace& cell) {
    if (thumb.blocks.empty()) return;
    const BitmapRecord& tile = thumb.blocks.front();
    plat::gdi::DibHeader h;
    if (!plat::gdi::readDibHeader(tile.block.data(), tile.block.size(), &h)) return;
    const int32_t w = h.width, ht = h.height;
    const uint32_t stride = plat::gdi::dibStride(uint32_t(w), h.bitCount);
    const uint8_t* bits = tile.block.data() + plat::gdi::dibBitsOffset(h);
    const int32_t left = cell.x + (kSheetCell - w) / 2;
    const int32_t top = cell.y + (kSheetCell - ht) / 2;
    for (int32_t y = 0; y < ht; ++y) {
        const int32_t sy = top + y;
        if (sy < 0 || sy >= sheet.height) continue;
        const uint8_t* row = bits + size_t(ht - 1 - y) * stride;
        for (int32_t x = 0; x < w; ++x) {
            const int32_t sx = left + x;
            if (sx < 0 || sx >= sheet.width) continue;
            uint8_t* d = sheet.At(sx, sy);
            if (h.bitCount == 8) {
                d[0] = d[1] = d[2] = row[x];
            } else {
                d[0] = row[x * 3 + 2];
                d[1] = row[x * 3 + 1];
                d[2] = row[x * 3];
            }
        }
    }
}

void DrawCaption(SheetBuffer& sheet, const plat::gdi::GlyphSource& font, int32_t pixelHeight, const std::string& text,
                 const CellPlace& cell, int32_t lineTop) {
    const std::u32string chars = plat::gdi::decodeUtf8(text);
    std::vector<plat::gdi::GlyphBitmap> glyphs(chars.size());
    int32_t width = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        font.glyph(chars[i], &glyphs[i]);
        width += glyphs[i].cellIncX + 1;
    }
    int32_t pen = cell.x;
    if (width < kSheetCell) pen += (kSheetCell - width) / 2;
    const int32_t baseline = lineTop + pixelHeight;
    const int32_t right = std::min(cell.x + kSheetCell, sheet.width);
    for (const auto& g : glyphs) {
        for (uint32_t gy = 0; gy < g.blackBoxY; ++gy)
            for (uint32_t gx = 0; gx < g.blackBoxX; ++gx) {
                if (!g.bit(gx, gy)) continue;
                const int32_t x = pen + g.originX + int32_t(gx);
                if (x < cell.x || x >= right) continue;
                sheet.Black(x, baseline - g.originY + int32_t(gy));
            }
        pen += g.cellIncX + 1;
    }
}

int32_t WriteSheetJpeg(const SheetBuffer& sheet, const std::string& path) {
    const fs::path target(path);
    const std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".part")).string();
    CJqFileLib lib(std::string{});
    if (!lib.IsLoaded()) return ThumbFile_EncodeFailed;
    if (lib.Initialize() != 0) return ThumbFile_EncodeFailed;
    int32_t result = 0;
    if (lib.NewImage() != 0 || lib.SetImageInfo(sheet.width, sheet.height, 1, JQFL_MODEL_RGB, 1) != 0 ||
        lib.WriteImage(0, 0, sheet.width, sheet.height, uint32_t(sheet.rgb.size()),
                       const_cast<uint8_t*>(sheet.rgb.data())) != 0) {
        result = ThumbFile_EncodeFailed;
    } else if (lib.SaveFile(JQFL_TYPE_JPEG, 2, temporary.c_str()) != 0) {
        result = ThumbFile_WriteFailed;
    }
    lib.CloseFile();
    lib.Terminate();
    std::error_code ec;
    if (result == 0) {
        fs::rename(temporary, target, ec);
        if (ec) result = ThumbFile_WriteFailed;
    }
    if (result != 0) fs::remove(temporary, ec);
    return result;
}

int32_t CheckSheetSpace(uint64_t freeBytes, int64_t existingSize) {
    if (freeBytes >= kSheetMinFree) return 0;
    if (existingSize < 0) return ThumbFile_NoSpace;
    if (uint64_t(existingSize) >= kSheetMinFree) return 0;
    return freeBytes >= kSheetMinFree - uint64_t(existingSize) ? 0 : ThumbFile_NoSpace;
}

CCreateThumbFileThread::CCreateThumbFileThread(Params params) : p_(std::move(params)) {}

CCreateThumbFileThread::~CCreateThumbFileThread() {
    Abandon();
    Join();
}

bool CCreateThumbFileThread::WaitForDialog() {
    while (!abandon_.load()) {
        if (!p_.ready.valid() || plat::waitFor(p_.ready, 200) == plat::kWaitSignalled) {
            if (p_.ready.valid()) p_.ready.reset();
            return true;
        }
    }
    return false;
}

uint32_t CCreateThumbFileThread::Run() {
    // The browser's readers were stopped by the starter on the user-interface
    // thread: stopping them from here could deadlock with a closing viewer.
    JobAccess& access = *p_.access;
    plat::Event libraryInUse = plat::Event::create(plat::Event::Reset::Auto, false, "ACCESS_FILELIB");
    access.SuspendDeviceCheck();
    try {
        const SheetLayout layout = MakeSheetLayout(plat::gdi::defaultPaper());
        const int32_t sheets = SheetCount(layout, SelectedCount(*p_.items));
        if (WaitForDialog()) {
            plat::postMessage(p_.dialog, UM_PROGRESS, uintptr_t(sheets), 0);
            if (sheets == 0 && SelectedCount(*p_.items) > 0) throw ThumbFile_Unusable;   // no cell fits the paper
            WriteSheets(layout, sheets);
        }
    } catch (ThumbFile_Result r) {
        result_ = r;
    } catch (const std::bad_alloc&) {
        result_ = ThumbFile_NoMemory;
    } catch (...) {
        result_ = ThumbFile_Unusable;
    }
    ReportResult();
    plat::postMessage(p_.dialog, UM_WORKER_DONE, 1, 0);
    access.ResumeDeviceCheck();
    libraryInUse.close();
    return 0;
}

void CCreateThumbFileThread::ReportResult() {
    if (result_ == 0 || abandon_.load()) return;
    p_.access->Ask(p_.dialog, LangText(MessageOf(result_)), {}, plat::MessageButtons::Ok,
                   plat::MessageIcon::Exclamation);
}

bool CCreateThumbFileThread::PrepareSheetPath(int32_t n, std::string* path) {
    *path = SheetPath(p_.folder, n);
    if (path->size() > kMaxPath) throw ThumbFile_Unusable;
    std::error_code ec;
    const bool exists = fs::exists(*path, ec);
    if (exists && !overwriteAll_) {
        const OverwriteAnswer a = p_.access->AskOverwrite(p_.dialog, fs::path(*path).filename().string(), true);
        // Only a yes overwrites: any other answer keeps the user's file and ends the run.
        if (a == OverwriteAnswer::Cancel || a == OverwriteAnswer::Skip) return false;
        if (a == OverwriteAnswer::OverwriteAll) overwriteAll_ = true;
    }
    const int64_t existing = exists ? int64_t(fs::file_size(*path, ec)) : -1;
    if (const int32_t r = CheckSheetSpace(p_.access->FreeSpace(p_.folder), existing); r != 0)
        throw ThumbFile_Result(r);
    return true;
}

void CCreateThumbFileThread::WriteSheets(const SheetLayout& layout, int32_t sheets) {
    const int32_t points = LangInt(62202) > 0 ? LangInt(62202) : 9;
    const int32_t pixelHeight = points * 96 / 72;
    const plat::gdi::GlyphSource font(LangText(62573), pixelHeight);
    size_t next = 0;
    for (int32_t n = 1; n <= sheets && next < p_.items->size(); ++n) {
        if (Cancelled()) return;
        std::string path;
        if (!PrepareSheetPath(n, &path)) return;
        SheetBuffer sheet;
        if (!sheet.Allocate(layout.pageWidth, layout.pageHeight)) throw ThumbFile_NoMemory;
        size_t placed = 0;
        next = DrawSheet(sheet, layout, font, pixelHeight, next, &placed);
        if (placed == 0) {
            // Only unreadable pictures were left: no blank sheet, and when not
            // even the first sheet had one the user hears of it.
            if (n == 1) throw ThumbFile_NotFound;
            return;
        }
        if (const int32_t r = WriteSheetJpeg(sheet, path); r != 0) throw ThumbFile_Result(r);
        plat::postMessage(p_.dialog, UM_PROGRESS, uintptr_t(n), 1);
    }
}

size_t CCreateThumbFileThread::DrawSheet(SheetBuffer& sheet, const SheetLayout& layout,
                                         const plat::gdi::GlyphSource& font, int32_t pixelHeight, size_t from,
                                         size_t* placed) {
    const std::vector<CellPlace> cells = SheetCells(layout);
    size_t used = 0;
    size_t i = from;
    for (; i < p_.items->size() && used < cells.size(); ++i) {
        BrowserItem& item = (*p_.items)[i];
        if (!item.selected) continue;
        const int32_t rotation = item.record ? item.record->rotation : 0;
        std::unique_ptr<PictureRecord> thumb;
        if (p_.access->GetThumbnail(p_.sourceFolder, item.fileName, thumb, kSheetCell,
                                    RotationToOrientation(rotation)) != 0 || !thumb)
            continue;   // unreadable: skipped without using a cell
        const CellPlace& cell = cells[used++];
        CopyThumbIntoCell(sheet, *thumb, cell);
        const int32_t line1 = cell.y + kSheetCell + 31 - pixelHeight;
        DrawCaption(sheet, font, pixelHeight, item.fileName, cell, line1);
        if (item.record && item.record->shotInfo && item.record->shotInfo->dateTime) {
            const JqCalendar& c = *item.record->shotInfo->dateTime;
            char date[64];
            std::snprintf(date, sizeof date, "%04d.%02d.%02d %02d:%02d", c.year, c.month, c.day, c.hour, c.minute);
            DrawCaption(sheet, font, pixelHeight, date, cell, line1 + 7 + 27);
        }
    }
    *placed = used;
    return i;
}
