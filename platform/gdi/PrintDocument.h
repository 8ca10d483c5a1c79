#pragma once
// Printed documents: pages drawn on a Surface go to a CUPS printer, to a PDF
// file, or (the test printer) to one PNG file a page. A document that is aborted
// or destroyed before endDoc() leaves no output: files are written under
// temporary names and renamed only when the document is complete.
#include "platform/gdi/Surface.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace plat::gdi {

struct PrintTarget {
    enum class Kind { Printer, PdfFile, PngPages };
    Kind kind = Kind::PdfFile;
    std::string name;               // printer name (empty: the default), PDF path, or folder of pages
    int32_t dpi = 300;
    int32_t paperWidth = 2100;      // 0.1 mm
    int32_t paperLength = 2970;     // 0.1 mm
    bool landscape = false;
    int32_t marginX = 0;            // unprintable margin, 0.01 mm (file targets)
    int32_t marginY = 0;
};

class PrintDocument {
public:
    virtual ~PrintDocument() = default;
    virtual PageMetrics metrics() const = 0;
    virtual bool startDoc() = 0;
    virtual Surface* startPage() = 0;   // null on failure; valid until endPage()
    virtual bool endPage() = 0;
    virtual bool endDoc() = 0;
    virtual void abortDoc() = 0;
};

// Null when the target cannot be opened.
std::unique_ptr<PrintDocument> openPrintDocument(const PrintTarget& target);

// Names of the PNG pages the test printer writes: page-001.png, page-002.png ...
std::string pngPageName(int page);

// The print dialog: false when the user cancels. Tests script it instead.
bool runPrintDialog(QWidget* parent, PrintTarget* target);
using PrintDialogScript = std::function<bool(PrintTarget*)>;
void setPrintDialogScript(PrintDialogScript script);   // empty: the real dialog

// The default printer's paper: width and length in 0.1 mm (already swapped for
// landscape) and the unprintable margins in 0.01 mm. known is false when no
// printer answers (the caller uses its own defaults). Tests can set it.
struct PaperDefaults {
    bool known = false;
    int32_t paperWidth = 0;
    int32_t paperLength = 0;
    int32_t offsetX = 0;
    int32_t offsetY = 0;
};
PaperDefaults defaultPaper();
void setDefaultPaperOverride(const PaperDefaults* paper);   // null: ask the printing system

}  // namespace plat::gdi
