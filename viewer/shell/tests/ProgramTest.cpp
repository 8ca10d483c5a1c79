// The whole viewer as a user meets it: the application object with its real
// main frame, picture sources and work windows, in a root of its own, over a
// card of real JPEG pictures in the drive map. The tests go through the real
// windows: the browser opened from the transfer panel and opened first, its
// thumbnails, the built-in viewer, printing, index sheets and the menu bar.
#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/AppWorkWindows.h"
#include "viewer/shell/MainFrame.h"
#include "viewer/shell/common/RegistryNames.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/gdi/PrintDocument.h"
#include "platform/msg/MessageBox.h"
#include "platform/msg/Messaging.h"
#include "platform/shell/ChooserScript.h"
#include "viewer/browser/picture_viewer/BltInFormView.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/view/BrowserWindow.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/shell/ui/AboutDlg.h"
#include "viewer/shell/ui/PropStatus.h"
#include "viewer/sources/JqFileLib.h"
#include "viewer/sources/tests/LibraryFixture.h"

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

namespace fs = std::filesystem;

namespace {

struct CardPicture {
    const char* name;
    int width;
    int height;
};
const CardPicture kPictures[] = {{"VORL0001.JPG", 1200, 800}, {"VORL0002.JPG", 800, 1200}, {"VORL0003.JPG", 1600, 1000}};
constexpr size_t kPictureCount = std::size(kPictures);

class ProgramTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        const fs::path lib = root_.path() / "Common Files" / "Vorel" / "Library";
        fs::create_directories(lib);
        fs::copy_file(JQFL_SO_PATH, lib / "JqFileLib.so", fs::copy_options::overwrite_existing);
        CJqFileLib::SetCommonFilesDir({});
        CJqFileLib::SetWorkFolder({});
        card_ = root_.path() / "card";
        const fs::path folder = card_ / "DCIM" / "100VOREL";
        fs::create_directories(folder);
        for (const CardPicture& p : kPictures)
            LibraryRoot::writeJpeg(folder / p.name, p.width, p.height);
        std::ofstream(card_ / "Vorel001.dsc") << "";
        plat::writeDosAttributes(card_ / "Vorel001.dsc", plat::FileAttr::Hidden);
        ASSERT_TRUE(plat::DriveMap().addManual('E', card_, plat::DriveType::Removable).ok());
    }

    void TearDown() override
    {
        plat::gdi::setPrintDialogScript({});
        plat::ChooserScript::clear();
        if (app_) {
            windows().DestroyAll();
            app_->ExitInstance();
            app_.reset();
        }
        CJqFileLib::SetCommonFilesDir({});
        ShellFixture::TearDown();
    }

    // The real program's application object (its own frame, sources and windows).
    void Start(std::vector<std::string> args)
    {
        AppEnvironment env;
        env.args = std::move(args);
        env.versionCode = [] { return 8; };
        env.hasFreeSpace = [](const std::string&, uint64_t) { return true; };
        env.quit = [this] { ++quits_; };
        app_ = std::make_unique<CLumoraApp>(std::move(env));
        ASSERT_TRUE(app_->InitInstance());
    }

    AppWorkWindows& windows() { return dynamic_cast<AppWorkWindows&>(app_->Windows()); }
    CBrowserWindow* browser() { return windows().Browser(); }

    // Every picture of the card is listed with its thumbnail read.
    bool AllThumbnailsShown()
    {
        CBrowserWindow* b = browser();
        if (!b)
            return false;
        BrowserViewModel& model = b->Frame().View().Model();
        std::lock_guard<std::recursive_mutex> lock(model.ItemLock());
        if (model.Items().size() != kPictureCount)
            return false;
        for (size_t i = 0; i < model.Items().size(); ++i) {
            const BrowserItem& item = model.Items().item(i);
            if (!model.Items().cell(i).placed || !item.record || item.record->blocks.empty())
                return false;
        }
        return true;
    }

    // The centre of item i's thumbnail in the pane's client coordinates.
    QPoint ItemPoint(size_t i)
    {
        BrowserViewModel& model = browser()->Frame().View().Model();
        std::lock_guard<std::recursive_mutex> lock(model.ItemLock());
        const ItemCell& cell = model.Items().cell(i);
        const int half = model.ThumbSize() / 2;
        return QPoint(cell.left + half, cell.top - 15 + half);
    }

    static std::vector<CBltInFrameWnd*> Viewers()
    {
        std::vector<CBltInFrameWnd*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = dynamic_cast<CBltInFrameWnd*>(w); v && v->isVisible())
                out.push_back(v);
        return out;
    }

    fs::path card_;
    std::unique_ptr<CLumoraApp> app_;
};

TEST_F(ProgramTest, PanelThenBrowserShowsEveryThumbnailAndOpensTheViewer)
{
    Start({"-FromWakely", "-E:"});
    ASSERT_TRUE(PumpUntil([&] { return windows().TransferPanel() && app_->targetOpen; }, 30000));
    // The panel's browser button.
    plat::postMessage(app_->MainFrame()->Handle(), UM_OPEN_BROWSER, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return AllThumbnailsShown(); }, 60000)) << (boxes_.empty() ? "" : boxes_[0].text);
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
    CViewerView& view = browser()->Frame().View();
    ASSERT_EQ(view.Tree().topLevelItemCount(), 1);
    EXPECT_EQ(view.Tree().topLevelItem(0)->child(0)->text(0).toStdString(), "100VOREL");

    // A double click on the second picture opens it in the built-in viewer.
    CThumbPaneWnd& pane = view.Pane();
    QTest::mouseClick(&pane, Qt::LeftButton, {}, ItemPoint(1));
    QTest::mouseDClick(&pane, Qt::LeftButton, {}, ItemPoint(1));
    ASSERT_TRUE(PumpUntil([&] { return Viewers().size() == 1 && view.Model().Idle(); }, 30000));
    CBltInFrameWnd* viewer = Viewers().front();
    EXPECT_EQ(browser()->ViewerFrames().Count(), 1u);
    ASSERT_NE(viewer->Picture(), nullptr);
    EXPECT_EQ(viewer->Picture()->width, uint32_t(kPictures[1].width));
    EXPECT_EQ(viewer->Picture()->height, uint32_t(kPictures[1].height));
    EXPECT_NE(viewer->Title().find("VORL0002.JPG"), std::string::npos);

    // Zoom in, then turn it: the rotate buttons came alive with the end of the open.
    const int32_t zoom = viewer->Form()->Zoom();
    viewer->Form()->ZoomIn();
    EXPECT_GT(viewer->Form()->Zoom(), zoom);
    ASSERT_TRUE(PumpUntil([&] { return viewer->Form()->RotateEnabled(); }));
    viewer->Form()->Rotate(true);
    ASSERT_EQ(Viewers().size(), 1u) << (boxes_.empty() ? "" : boxes_[0].text);
    EXPECT_EQ(viewer->Form()->Turns(), 1);
    EXPECT_EQ(viewer->Picture()->width, uint32_t(kPictures[1].height));

    // Closing the browser closes its viewers first.
    QPointer<CBltInFrameWnd> alive(viewer);
    browser()->Frame().close();
    ASSERT_TRUE(PumpUntil([&] { return !alive && Viewers().empty(); }));
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
}

// Browser first: the picture access made with the browser is bound to the card
// once it opens, so the thumbnails come instead of an error that ends the program.
TEST_F(ProgramTest, BrowserFirstWithACardShowsEveryThumbnail)
{
    SetUserDword(kStartUpKey, "StartType", 1);
    Start({"-FromWakely", "-E:"});
    ASSERT_TRUE(PumpUntil([&] { return AllThumbnailsShown(); }, 60000)) << (boxes_.empty() ? "" : boxes_[0].text);
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
    EXPECT_EQ(quits_, 0);
    EXPECT_TRUE(app_->targetOpen);
}


// The simulated camera serves the card folder as a camera: the browser opened
// first shows its pictures once the camera is connected.
TEST_F(ProgramTest, BrowserFirstWithTheSimulatedCameraShowsEveryThumbnail)
{
    const fs::path mods = root_.path() / "Common Files" / "Vorel" / "DornMods";
    fs::create_directories(mods);
    fs::copy_file(SIMCAM_MODULE_PATH, mods / "W310.kx3", fs::copy_options::overwrite_existing);
    std::ofstream(mods / "W310.kx3.conf") << "root=" << card_.string() << "\nmodel=Snapwren310\n";
    SetUserDword(kStartUpKey, "StartType", 1);
    Start({"-FromWakely", "-W310.kx3", "-Snapwren310"});
    ASSERT_TRUE(PumpUntil([&] { return AllThumbnailsShown(); }, 90000)) << (boxes_.empty() ? "" : boxes_[0].text);
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
    EXPECT_TRUE(app_->targetOpen);
    EXPECT_GE(app_->currentIndex, 26);
}

// Each selected picture printed one a page fills the page (at the print
// dialog's resolution), turned as the browser shows it.
TEST_F(ProgramTest, PrintingTheSelectionFillsEachPage)
{
    Start({"-FromWakely", "-E:"});
    ASSERT_TRUE(PumpUntil([&] { return windows().TransferPanel() && app_->targetOpen; }, 30000));
    plat::postMessage(app_->MainFrame()->Handle(), UM_OPEN_BROWSER, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return AllThumbnailsShown(); }, 60000));
    CViewerFrame& frame = browser()->Frame();
    CThumbPaneWnd& pane = frame.View().Pane();
    QTest::mouseClick(&pane, Qt::LeftButton, {}, ItemPoint(0));
    QTest::mouseClick(&pane, Qt::LeftButton, Qt::ShiftModifier, ItemPoint(2));
    ASSERT_EQ(frame.View().Model().Counts().selected, 3);
    frame.OnCommand(32799);   // the selected thumbnails turned clockwise

    const fs::path pages = root_.path() / "pages";
    fs::create_directories(pages);
    plat::gdi::setPrintDialogScript([&](plat::gdi::PrintTarget* target) {
        target->kind = plat::gdi::PrintTarget::Kind::PngPages;
        target->name = pages.string();
        target->dpi = 1200 / 16;   // the page's proportions at a tenth of the cost
        return true;
    });
    ASSERT_TRUE(frame.CommandEnabled(32813));
    frame.OnCommand(32813);
    for (size_t i = 0; i < kPictureCount; ++i) {
        const fs::path file = pages / plat::gdi::pngPageName(int(i) + 1);
        QImage page(QString::fromStdString(file.string()));
        ASSERT_FALSE(page.isNull()) << file;
        // The picture's box: every pixel that is not white.
        QRect box;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (page.pixel(x, y) != qRgb(255, 255, 255))
                    box |= QRect(x, y, 1, 1);
        const bool turned = true;
        const double w = turned ? kPictures[i].height : kPictures[i].width;
        const double h = turned ? kPictures[i].width : kPictures[i].height;
        const bool fillsWidth = box.width() >= page.width() * 97 / 100;
        const bool fillsHeight = box.height() >= page.height() * 97 / 100;
        EXPECT_TRUE(fillsWidth || fillsHeight) << i << ": " << box.width() << "x" << box.height();
        EXPECT_NEAR(double(box.width()) / box.height(), w / h, 0.03) << i;
    }
    EXPECT_FALSE(fs::exists(pages / plat::gdi::pngPageName(int(kPictureCount) + 1)));
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
}

// The index sheet is a picture of the thumbnails in their cells.
TEST_F(ProgramTest, IndexSheetIsAPictureOfTheSelection)
{
    SetUserDword(kStartUpKey, "StartType", 1);
    Start({"-FromWakely", "-E:"});
    ASSERT_TRUE(PumpUntil([&] { return AllThumbnailsShown(); }, 60000));
    CViewerFrame& frame = browser()->Frame();
    CThumbPaneWnd& pane = frame.View().Pane();
    QTest::mouseClick(&pane, Qt::LeftButton, {}, ItemPoint(0));
    QTest::mouseClick(&pane, Qt::LeftButton, Qt::ControlModifier, ItemPoint(2));
    const fs::path sheets = root_.path() / "sheets";
    fs::create_directories(sheets);
    plat::ChooserScript::push(sheets.string());
    ASSERT_TRUE(frame.CommandEnabled(32773));
    frame.OnCommand(32773);
    QImage sheet(QString::fromStdString((sheets / "Sheet1.JPG").string()));
    ASSERT_FALSE(sheet.isNull());
    EXPECT_FALSE(fs::exists(sheets / "Sheet2.JPG"));
    // Cells of 268 pixels from the margins (40, 39), 315 apart: the test
    // pictures are red on the left and blue on the right.
    auto red = [&](int x, int y) { return qRed(sheet.pixel(x, y)) > 180 && qBlue(sheet.pixel(x, y)) < 90; };
    auto blue = [&](int x, int y) { return qBlue(sheet.pixel(x, y)) > 180 && qRed(sheet.pixel(x, y)) < 90; };
    EXPECT_TRUE(red(40 + 60, 39 + 134));
    EXPECT_TRUE(blue(40 + 208, 39 + 134));
    EXPECT_TRUE(red(40 + 315 + 60, 39 + 134));   // the third picture in the second cell
    EXPECT_EQ(sheet.pixel(40 + 2 * 315 + 134, 39 + 134), qRgb(255, 255, 255));   // no third cell
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
}

// With one picture selected and the pane focused, every command the menu bar
// enables runs: dialogs it opens are closed again, questions are declined.
TEST_F(ProgramTest, EveryEnabledMenuCommandRuns)
{
    SetUserDword(kStartUpKey, "StartType", 1);
    Start({"-FromWakely", "-E:"});
    ASSERT_TRUE(PumpUntil([&] { return AllThumbnailsShown(); }, 60000));
    plat::setMessageBoxResponder([this](const plat::MessageBoxRequest& r) {
        boxes_.push_back({r.text, r.icon, r.owner});
        return plat::kAnswerCancel;
    });
    plat::gdi::setPrintDialogScript([](plat::gdi::PrintTarget*) { return false; });
    bool about = false, settings = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        // The job dialogs end with their jobs; the user closes the others.
        if (!modal || !(dynamic_cast<CAboutDlg*>(modal) || dynamic_cast<CPropStatus*>(modal) ||
                        dynamic_cast<QFileDialog*>(modal)))
            return;
        about = about || dynamic_cast<CAboutDlg*>(modal);
        settings = settings || dynamic_cast<CPropStatus*>(modal);
        modal->done(QDialog::Rejected);
    });
    closer.start(50);

    CViewerFrame& frame = browser()->Frame();
    CThumbPaneWnd& pane = frame.View().Pane();
    QTest::mouseClick(&pane, Qt::LeftButton, {}, ItemPoint(0));
    std::vector<QAction*> actions;
    std::function<void(QMenu*)> collect = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->menu()) collect(a->menu());
            else if (!a->isSeparator()) actions.push_back(a);
        }
    };
    for (QAction* top : frame.menuBar()->actions())
        if (top->menu()) collect(top->menu());
    ASSERT_GT(actions.size(), 30u);

    // Leaving the browser is tried last, on its own; a transfer has its own tests.
    const std::set<int32_t> last = {57665, 32839, 32811};
    plat::ChooserScript::push(std::nullopt);   // save: cancelled
    plat::ChooserScript::push(std::nullopt);   // index sheets: cancelled
    std::set<int32_t> ran;
    for (QAction* a : actions) {
        const int32_t command = a->data().toInt();
        if (last.count(command)) continue;
        pane.setFocus();
        if (frame.View().Model().Counts().selected == 0) QTest::mouseClick(&pane, Qt::LeftButton, {}, ItemPoint(0));
        if (!frame.CommandEnabled(command)) continue;
        a->trigger();
        PumpFor(20);
        ran.insert(command);
        ASSERT_TRUE(browser()) << command;
    }
    // Opening, saving, printing, turning, selecting by mark, the sizes, the
    // settings, help and the about box were all enabled and run.
    for (int32_t command : {32829, 32828, 32812, 32813, 32773, 32799, 32800, 32788, 32790, 32792, 32795, 32796,
                            32814, 32818, 32793, 57667, 57664})
        EXPECT_TRUE(ran.count(command)) << command;
    EXPECT_TRUE(about);
    EXPECT_TRUE(settings);
    EXPECT_FALSE(Viewers().empty());   // the open command made a viewer
    closer.stop();

    // Exit ends the browser and, through the main frame, the program.
    frame.OnCommand(57665);
    ASSERT_TRUE(PumpUntil([&] { return quits_ > 0; }, 20000));
}

}  // namespace
