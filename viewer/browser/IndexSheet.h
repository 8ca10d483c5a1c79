#pragma once
// Index sheets: the selected pictures as page-sized JPEG files "Sheet<n>.JPG",
// a grid of 268-pixel thumbnails at 200 dots per inch with each picture's name
// and date drawn under it from glyph bitmaps. One layout rule both places the
// cells and counts the sheets; every pixel write is clipped to the sheet.
#include "viewer/browser/BrowserItem.h"
#include "viewer/browser/JobAccess.h"
#include "viewer/browser/JobThreads.h"

#include "platform/gdi/PrintDocument.h"
#include "platform/gdi/Surface.h"

#include <cstdint>
#include <string>
#include <vector>

// Results, thrown by value inside the job and shown at its end.
enum ThumbFile_Result : int32_t {
    ThumbFile_Ok = 0,
    ThumbFile_Unusable = -123,     // path, device or page unusable
    ThumbFile_NotFound = -124,
    ThumbFile_NoSpace = -125,
    ThumbFile_NoMemory = -126,
    ThumbFile_WriteFailed = -127,
    ThumbFile_EncodeFailed = -128,
};

inline constexpr int32_t kSheetCell = 268;
inline constexpr int32_t kSheetStepAcross = 268 + 47;
inline constexpr int32_t kSheetStepDown = 268 + 31 + 7 + 47 + 2 * 27;   // 407
inline constexpr uint64_t kSheetMinFree = 1048576;

struct SheetLayout {
    int32_t pageWidth = 1653;
    int32_t pageHeight = 2338;
    int32_t marginX = 40;
    int32_t marginY = 39;
};

struct CellPlace {
    int32_t x = 0;
    int32_t y = 0;   // top of the cell, rows counted from the top of the sheet
};

// The default printer's paper at 200 dpi; A4 with margins 40 / 39 when the
// printer gives no usable size.
SheetLayout MakeSheetLayout(const plat::gdi::PaperDefaults& paper);
// The cells of one sheet in filling order (empty when not even one fits).
std::vector<CellPlace> SheetCells(const SheetLayout& layout);
// Sheets for count pictures; 0 when no cell fits.
int32_t SheetCount(const SheetLayout& layout, int32_t count);
// folder + "/Sheet<n>.JPG" with a single separator.
std::string SheetPath(const std::string& folder, int32_t n);

// The sheet's pixels: rows top-down, R,G,B.
struct SheetBuffer {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
    bool Allocate(int32_t w, int32_t h);   // white; false when memory runs out
    void Black(int32_t x, int32_t y);      // clipped
    uint8_t* At(int32_t x, int32_t y) { return rgb.data() + (size_t(y) * size_t(width) + size_t(x)) * 3; }
};

// Copies a one-tile thumbnail centred into the cell (grey widened to three
// equal channels); clipped to the sheet.
void CopyThumbIntoCell(SheetBuffer& sheet, const PictureRecord& thumb, const CellPlace& cell);
// Draws text black from glyph bitmaps in the line whose top is lineTop,
// centred in the cell when narrower than it, never outside the cell's width.
void DrawCaption(SheetBuffer& sheet, const plat::gdi::GlyphSource& font, int32_t pixelHeight, const std::string& text,
                 const CellPlace& cell, int32_t lineTop);
// Writes the sheet as a JPEG through the image-file library, under a temporary
// name renamed onto path when complete. 0, -127 (the file could not be
// written) or -128 (the picture could not be encoded).
int32_t WriteSheetJpeg(const SheetBuffer& sheet, const std::string& path);
// The 1 MiB rule: 0 or -125. existingSize: the size of the sheet being replaced
// (-1 when none).
int32_t CheckSheetSpace(uint64_t freeBytes, int64_t existingSize);

// The index-sheet job (form B). Reports to the print progress dialog.
class CCreateThumbFileThread : public CJobThreadB {
public:
    struct Params {
        plat::WindowHandle dialog;
        plat::Event ready;                 // manual-reset, signalled by the dialog
        std::string folder;                // where the sheets go
        std::string sourceFolder;          // the browser's current folder
        BrowserItemList* items = nullptr;
        JobAccess* access = nullptr;
        const std::atomic<int32_t>* cancel = nullptr;   // the dialog's cancel flag
    };
    explicit CCreateThumbFileThread(Params params);
    ~CCreateThumbFileThread() override;
    void Abandon() { abandon_.store(true); }
    uint32_t Run() override;
    int32_t Result() const { return result_; }

private:
    bool WaitForDialog();
    bool Cancelled() const { return abandon_.load() || (p_.cancel && p_.cancel->load() != 0); }
    void WriteSheets(const SheetLayout& layout, int32_t sheets);
    bool PrepareSheetPath(int32_t n, std::string* path);
    size_t DrawSheet(SheetBuffer& sheet, const SheetLayout& layout, const plat::gdi::GlyphSource& font,
                     int32_t pixelHeight, size_t from, size_t* placed);
    void ReportResult();

    Params p_;
    std::atomic<bool> abandon_{false};
    bool overwriteAll_ = false;
    int32_t result_ = 0;
};
