#include "platform/gdi/PrintDocument.h"

#include <QImage>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

using namespace plat::gdi;
namespace fs = std::filesystem;

namespace {
class PrintDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("gdi-print-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    size_t fileCount() const { return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())); }
    PrintTarget pngTarget() const {
        PrintTarget t;
        t.kind = PrintTarget::Kind::PngPages;
        t.name = dir_.string();
        t.dpi = 50;
        return t;
    }
    fs::path dir_;
};

void drawPages(PrintDocument& doc, int pages) {
    for (int i = 0; i < pages; ++i) {
        Surface* s = doc.startPage();
        ASSERT_NE(s, nullptr);
        s->fill(0, 0, 10, 10, 0, 0, 0);
        ASSERT_TRUE(doc.endPage());
    }
}
}  // namespace

TEST_F(PrintDocumentTest, TestPrinterWritesOnePngAPageWhenComplete) {
    auto doc = openPrintDocument(pngTarget());
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->metrics().width, 2100 * 50 / 254);
    ASSERT_TRUE(doc->startDoc());
    drawPages(*doc, 2);
    ASSERT_TRUE(doc->endDoc());
    EXPECT_TRUE(fs::exists(dir_ / "page-001.png"));
    EXPECT_TRUE(fs::exists(dir_ / "page-002.png"));
    EXPECT_EQ(fileCount(), 2u);
    QImage page(QString::fromStdString((dir_ / "page-001.png").string()));
    EXPECT_EQ(page.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(20, 20), qRgb(255, 255, 255));
}

TEST_F(PrintDocumentTest, AbortedOrAbandonedDocumentsLeaveNoOutput) {
    for (bool explicitAbort : {true, false}) {
        auto doc = openPrintDocument(pngTarget());
        ASSERT_TRUE(doc->startDoc());
        drawPages(*doc, 2);
        if (explicitAbort) doc->abortDoc();
        doc.reset();
        EXPECT_EQ(fileCount(), 0u);
    }
    PrintTarget pdf;
    pdf.name = (dir_ / "out.pdf").string();
    auto doc = openPrintDocument(pdf);
    ASSERT_TRUE(doc->startDoc());
    drawPages(*doc, 1);
    doc->abortDoc();
    EXPECT_EQ(fileCount(), 0u);
}

TEST_F(PrintDocumentTest, PdfAppearsWhenTheDocumentEnds) {
    PrintTarget pdf;
    pdf.name = (dir_ / "out.pdf").string();
    pdf.dpi = 100;
    auto doc = openPrintDocument(pdf);
    ASSERT_TRUE(doc->startDoc());
    EXPECT_NEAR(doc->metrics().width, 2100 * 100 / 254, 2);
    drawPages(*doc, 2);
    EXPECT_FALSE(fs::exists(pdf.name));
    ASSERT_TRUE(doc->endDoc());
    ASSERT_TRUE(fs::exists(pdf.name));
    EXPECT_GT(fs::file_size(pdf.name), 100u);
    EXPECT_EQ(fileCount(), 1u);
}

TEST_F(PrintDocumentTest, PaperDefaultsCanBeSetForTests) {
    PaperDefaults letter{true, 2159, 2794, 500, 400};
    setDefaultPaperOverride(&letter);
    EXPECT_EQ(defaultPaper().paperWidth, 2159);
    setDefaultPaperOverride(nullptr);
    PrintTarget chosen;
    setPrintDialogScript([](PrintTarget* t) { t->kind = PrintTarget::Kind::PngPages; return true; });
    EXPECT_TRUE(runPrintDialog(nullptr, &chosen));
    EXPECT_EQ(chosen.kind, PrintTarget::Kind::PngPages);
    setPrintDialogScript({});
}
