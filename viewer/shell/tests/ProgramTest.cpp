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
#include "platform/msg/Messaging.h"
#include "platform/shell/ChooserScript.h"
#include "viewer/browser/picture_viewer/BltInFormView.h"
#include "viewer/browser/picture_viewer/BltInFrameWnd.h"
#include "viewer/browser/view/BrowserWindow.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/sources/JqFileLib.h"
#include "viewer/sources/tests/LibraryFixture.h"

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

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

}  // namespace
