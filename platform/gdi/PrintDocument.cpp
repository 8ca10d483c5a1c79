#include "platform/gdi/PrintDocument.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

namespace plat::gdi {
namespace {

namespace fs = std::filesystem;

std::mutex gScriptLock;
PrintDialogScript gScript;
std::optional<PaperDefaults> gPaper;

std::string partName(const std::string& path) {
    const fs::path p(path);
    return (p.parent_path() / ("." + p.filename().string() + ".part")).string();
}

int32_t tenthMmToPixels(int32_t tenth, int32_t dpi) { return int32_t(int64_t(tenth) * dpi / 254); }
int32_t hiMetricToPixels(int32_t v, int32_t dpi) { return int32_t(int64_t(v) * dpi / 2540); }

// One PNG a page into a folder; pages become visible at endDoc.
class PngPagesDocument final : public PrintDocument {
public:
    explicit PngPagesDocument(const PrintTarget& t) : target_(t) {
        const int32_t w = t.landscape ? t.paperLength : t.paperWidth;
        const int32_t h = t.landscape ? t.paperWidth : t.paperLength;
        m_.dpiX = m_.dpiY = t.dpi;
        m_.offsetX = hiMetricToPixels(t.marginX, t.dpi);
        m_.offsetY = hiMetricToPixels(t.marginY, t.dpi);
        m_.width = tenthMmToPixels(w, t.dpi) - 2 * m_.offsetX;
        m_.height = tenthMmToPixels(h, t.dpi) - 2 * m_.offsetY;
    }
    ~PngPagesDocument() override { if (open_) abortDoc(); }
    PageMetrics metrics() const override { return m_; }
    bool startDoc() override {
        std::error_code ec;
        if (open_ || m_.width <= 0 || m_.height <= 0 || !fs::is_directory(target_.name, ec)) return false;
        open_ = true;
        return true;
    }
    Surface* startPage() override {
        if (!open_ || page_) return nullptr;
        page_ = std::make_unique<ImageSurface>(m_.width, m_.height, m_.dpiX);
        return page_.get();
    }
    bool endPage() override {
        if (!page_) return false;
        const std::string part = partName((fs::path(target_.name) / pngPageName(int(written_.size()) + 1)).string());
        const bool ok = page_->image().save(QString::fromStdString(part), "PNG");
        page_.reset();
        if (!ok) return false;
        written_.push_back(part);
        return true;
    }
    bool endDoc() override {
        if (!open_ || page_) return false;
        open_ = false;
        bool ok = true;
        for (size_t i = 0; i < written_.size(); ++i) {
            std::error_code ec;
            fs::rename(written_[i], fs::path(target_.name) / pngPageName(int(i) + 1), ec);
            ok = ok && !ec;
        }
        written_.clear();
        return ok;
    }
    void abortDoc() override {
        page_.reset();
        for (const auto& f : written_) { std::error_code ec; fs::remove(f, ec); }
        written_.clear();
        open_ = false;
    }

private:
    PrintTarget target_;
    PageMetrics m_;
    bool open_ = false;
    std::unique_ptr<ImageSurface> page_;
    std::vector<std::string> written_;
};

// A printer of the printing system, or a PDF file.
class PrinterDocument final : public PrintDocument {
public:
    explicit PrinterDocument(const PrintTarget& t) : target_(t), printer_(QPrinter::HighResolution) {
        if (t.kind == PrintTarget::Kind::Printer) {
            if (!t.name.empty()) printer_.setPrinterName(QString::fromStdString(t.name));
        } else {
            printer_.setOutputFormat(QPrinter::PdfFormat);
            printer_.setResolution(t.dpi);
            printer_.setPageSize(QPageSize(QSizeF(t.paperWidth / 10.0, t.paperLength / 10.0), QPageSize::Millimeter));
            printer_.setPageOrientation(t.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
            printer_.setPageMargins(QMarginsF(t.marginX / 100.0, t.marginY / 100.0, t.marginX / 100.0, t.marginY / 100.0),
                                    QPageLayout::Millimeter);
            printer_.setOutputFileName(QString::fromStdString(partName(t.name)));
        }
        const QRect page = printer_.pageLayout().paintRectPixels(printer_.resolution());
        m_.width = page.width();
        m_.height = page.height();
        m_.dpiX = m_.dpiY = printer_.resolution();
        m_.offsetX = page.left();
        m_.offsetY = page.top();
    }
    ~PrinterDocument() override { if (open_) abortDoc(); }
    PageMetrics metrics() const override { return m_; }
    bool startDoc() override {
        if (open_ || !printer_.isValid()) return false;
        open_ = true;
        return true;
    }
    Surface* startPage() override {
        if (!open_ || surface_) return nullptr;
        if (pages_ == 0) {
            if (!painter_.begin(&printer_)) return nullptr;
        } else if (!printer_.newPage()) {
            return nullptr;
        }
        surface_ = std::make_unique<Surface>(&painter_, m_);
        return surface_.get();
    }
    bool endPage() override {
        if (!surface_) return false;
        surface_.reset();
        ++pages_;
        return true;
    }
    bool endDoc() override {
        if (!open_ || surface_) return false;
        open_ = false;
        if (pages_ == 0) return true;   // nothing to print
        if (!painter_.end()) return false;
        if (target_.kind == PrintTarget::Kind::Printer) return true;
        std::error_code ec;
        fs::rename(partName(target_.name), target_.name, ec);
        return !ec;
    }
    void abortDoc() override {
        surface_.reset();
        if (painter_.isActive()) {
            printer_.abort();
            painter_.end();
        }
        open_ = false;
        if (target_.kind != PrintTarget::Kind::Printer) {
            std::error_code ec;
            fs::remove(partName(target_.name), ec);
        }
    }

private:
    PrintTarget target_;
    QPrinter printer_;
    QPainter painter_;
    PageMetrics m_;
    bool open_ = false;
    int pages_ = 0;
    std::unique_ptr<Surface> surface_;
};

}  // namespace

std::string pngPageName(int page) {
    char name[32];
    std::snprintf(name, sizeof name, "page-%03d.png", page);
    return name;
}

std::unique_ptr<PrintDocument> openPrintDocument(const PrintTarget& target) {
    if (target.dpi <= 0 || target.paperWidth <= 0 || target.paperLength <= 0) return nullptr;
    if (target.kind == PrintTarget::Kind::PngPages) return std::make_unique<PngPagesDocument>(target);
    if (target.kind == PrintTarget::Kind::PdfFile && target.name.empty()) return nullptr;
    return std::make_unique<PrinterDocument>(target);
}

void setPrintDialogScript(PrintDialogScript script) {
    std::lock_guard lock(gScriptLock);
    gScript = std::move(script);
}

bool runPrintDialog(QWidget* parent, PrintTarget* target) {
    {
        std::lock_guard lock(gScriptLock);
        if (gScript) return gScript(target);
    }
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QPageLayout layout = printer.pageLayout();
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    target->paperWidth = int32_t(mm.width() * 10);
    target->paperLength = int32_t(mm.height() * 10);
    target->landscape = layout.orientation() == QPageLayout::Landscape;
    target->dpi = printer.resolution();
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        target->kind = PrintTarget::Kind::PdfFile;
        target->name = printer.outputFileName().toStdString();
    } else {
        target->kind = PrintTarget::Kind::Printer;
        target->name = printer.printerName().toStdString();
    }
    return true;
}

void setDefaultPaperOverride(const PaperDefaults* paper) {
    std::lock_guard lock(gScriptLock);
    if (paper) gPaper = *paper; else gPaper.reset();
}

PaperDefaults defaultPaper() {
    {
        std::lock_guard lock(gScriptLock);
        if (gPaper) return *gPaper;
    }
    PaperDefaults d;
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) return d;
    const QPageSize size = info.defaultPageSize();
    if (!size.isValid()) return d;
    const QSizeF mm = size.size(QPageSize::Millimeter);
    if (mm.width() <= 0 || mm.height() <= 0) return d;
    d.known = true;
    d.paperWidth = int32_t(mm.width() * 10);
    d.paperLength = int32_t(mm.height() * 10);
    QPrinter printer(info, QPrinter::HighResolution);
    const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Millimeter);
    d.offsetX = int32_t(margins.left() * 100);
    d.offsetY = int32_t(margins.top() * 100);
    if (printer.pageLayout().orientation() == QPageLayout::Landscape) std::swap(d.paperWidth, d.paperLength);
    return d;
}

}  // namespace plat::gdi
