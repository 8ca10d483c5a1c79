// The browser as a user sees it: drawn buttons that light up under the mouse,
// the selected frame, the rubber band, the busy animation, and a window that
// still reaches its last picture after it was made narrower.
#include "viewer/browser/view/InfoEdit.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/browser/view/ViewerView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include <atomic>
#include <set>

#include "viewer/browser/view/tests/FakeSource.h"
#include "viewer/shell/common/ViewTables.h"
#include "viewer/shell/ui/BmpBtnViewer.h"

namespace {

void EnsureApp() {
    static int argc = 1;
    static char name[] = "browser_view_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

bool Bluish(const QColor& c) { return c.blue() > c.red() + 60; }

int VariedPixels(const QImage& image) {
    int varied = 0;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) varied += image.pixel(x, y) != first;
    return varied;
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

class BrowserArt : public ::testing::Test {
protected:
    void Open(int pictures, QSize size) {
        EnsureApp();
        source.folders = {"100ABCDE"};
        for (int i = 0; i < pictures; ++i) {
            const std::string name = "IMG_" + std::to_string(1000 + i) + ".JPG";
            source.pictures[name] = {};
            source.listed.push_back(name);
        }
        ViewerViewServices services;
        services.text = [](uint32_t id) { return id == 62202 ? std::string("9") : "<" + std::to_string(id) + ">"; };
        services.box = [](const BoxDecision&, const std::string&) {};
        ViewSettingsCopy settings;
        settings.thumbSize = 96;
        settings.viewInfo = 0;
        view = std::make_unique<CViewerView>(source, settings, services);
        view->resize(size);
        view->show();
        view->OpenTarget("Card");
    }

    bool Settled() {
        return QTest::qWaitFor([&] {
            BrowserViewModel& m = view->Model();
            return m.Idle() && !m.Readers().Busy() && !m.Items().empty() &&
                   m.Items().cell(m.Items().size() - 1).placed;
        }, 20000);
    }

    // Where cell i is drawn in the pane now.
    QRect CellOnScreen(size_t i) {
        const ItemCell& c = view->Model().Items().cell(i);
        const int side = ThumbSizeToCellSize(view->Model().ThumbSize());
        return QRect(c.left, c.top - view->Pane().ScrollOffset(), side, side);
    }

    FakeSource source;
    std::unique_ptr<CViewerView> view;
};

TEST_F(BrowserArt, ClickedPictureShowsTheSelectedFrameAndTheOthersDoNot) {
    Open(7, QSize(900, 600));
    ASSERT_TRUE(Settled());
    const QRect first = CellOnScreen(0), second = CellOnScreen(1);
    QTest::mouseClick(&view->Pane(), Qt::LeftButton, {}, second.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->Model().Counts().selected == 1; }, 5000));
    const QImage shot = view->Pane().grab().toImage();
    // The frame's edge, left of the thumbnail, halfway down the cell.
    EXPECT_TRUE(Bluish(shot.pixelColor(second.left() + 1, second.center().y())))
        << shot.pixelColor(second.left() + 1, second.center().y()).name().toStdString();
    EXPECT_FALSE(Bluish(shot.pixelColor(first.left() + 1, first.center().y())));
    // Every placed cell has its frame: its edge differs from the pane's colour.
    EXPECT_NE(shot.pixelColor(first.left() + 1, first.center().y()), shot.pixelColor(first.left() - 3, 2));
}

TEST_F(BrowserArt, RubberBandIsDrawnWhileDraggedAndSelectsWhatItCovers) {
    Open(7, QSize(900, 600));
    ASSERT_TRUE(Settled());
    CThumbPaneWnd* pane = &view->Pane();
    const QPoint from(4, 4);
    const QPoint to = CellOnScreen(2).center();
    SendMouse(pane, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(pane, QEvent::MouseMove, to, Qt::LeftButton);
    ASSERT_TRUE(pane->BandShown());
    const QImage during = pane->grab().toImage();
    // The band's edge runs down the left side of the pane, below the first cell's top.
    int bandPixels = 0;
    for (int y = from.y(); y < to.y(); ++y)
        bandPixels += Bluish(during.pixelColor(from.x(), y));
    EXPECT_GT(bandPixels, (to.y() - from.y()) / 4);
    SendMouse(pane, QEvent::MouseButtonRelease, to, Qt::NoButton);
    EXPECT_FALSE(pane->BandShown());
    const BrowserItems& items = view->Model().Items();
    for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(i <= 2, items.item(i).selected != 0) << i;
    const QImage after = pane->grab().toImage();
    EXPECT_FALSE(Bluish(after.pixelColor(from.x(), (from.y() + to.y()) / 2))) << "the band stays on the screen";
    EXPECT_TRUE(Bluish(after.pixelColor(CellOnScreen(2).left() + 1, CellOnScreen(2).center().y())));
}

// A band held below the pane keeps scrolling it, tick by tick, with no mouse
// move; releasing the button ends it and selects what the band covered.
TEST_F(BrowserArt, RubberBandHeldBelowThePaneScrollsOnByItself) {
    Open(40, QSize(900, 500));
    ASSERT_TRUE(Settled());
    CThumbPaneWnd* pane = &view->Pane();
    const int32_t top = pane->ScrollOffset();
    SendMouse(pane, QEvent::MouseButtonPress, QPoint(4, 4), Qt::LeftButton);
    SendMouse(pane, QEvent::MouseMove, QPoint(pane->width() / 2, pane->height() + 20), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->ScrollOffset() >= top + 90; }, 10000))
        << "offset " << pane->ScrollOffset();
    SendMouse(pane, QEvent::MouseButtonRelease, QPoint(pane->width() / 2, pane->height() + 20), Qt::NoButton);
    const int32_t stopped = pane->ScrollOffset();
    QTest::qWait(300);
    EXPECT_EQ(pane->ScrollOffset(), stopped) << "the pane scrolls on after the release";
    EXPECT_GT(view->Model().Counts().selected, 0);
}

TEST_F(BrowserArt, NarrowedWindowStillScrollsToTheLastPicture) {
    Open(60, QSize(1400, 900));
    ASSERT_TRUE(Settled());
    view->resize(650, 455);
    QCoreApplication::processEvents();
    auto* bar = view->findChild<QScrollBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->isEnabled());
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCoreApplication::processEvents();
    const QRect last = CellOnScreen(59);
    const int paneHeight = view->Pane().height();
    EXPECT_GE(last.top(), 0);
    EXPECT_LE(last.bottom(), paneHeight) << "the last picture lies below the reachable range";
    const QImage shot = view->Pane().grab().toImage();
    EXPECT_NE(shot.pixelColor(last.left() + 1, last.center().y()), shot.pixelColor(2, 2))
        << "the last cell is not drawn where it should be";
    // The information box is inside the view at this size too.
    auto* info = view->findChild<CInfoEdit*>();
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->isVisible());
    EXPECT_LE(info->geometry().bottom(), view->height());
    EXPECT_GT(info->height(), 60);
}

TEST_F(BrowserArt, ButtonsHavePicturesThatLightUpUnderTheMouse) {
    Open(3, QSize(900, 600));
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    const int32_t ids[] = {1017, 1075, 1027, 1030, 1033, 1039, 1041, 1044, 1046, 1011, 1004, 1061};
    std::set<qint64> faces;
    for (int32_t id : ids) {
        BmpBtnViewer* button = view->HoverButton(id);
        ASSERT_NE(button, nullptr) << id;
        const QImage face = button->grab().toImage();
        EXPECT_GT(VariedPixels(face), face.width() * face.height() / 8) << "button " << id << " is blank";
        faces.insert(face.cacheKey());
    }
    // Settings and help are always enabled (a disabled button keeps its disabled picture).
    BmpBtnViewer* save = view->HoverButton(1041);
    BmpBtnViewer* print = view->HoverButton(1046);
    const QImage saveResting = save->grab().toImage();
    const QImage printResting = print->grab().toImage();
    save->MouseEntered();
    EXPECT_TRUE(save->IsHot());
    EXPECT_NE(save->grab().toImage(), saveResting);
    print->MouseEntered();   // the next button: the first rests before the second lights up
    EXPECT_FALSE(view->HoverButton(1075)->isEnabled());
    EXPECT_FALSE(save->IsHot());
    EXPECT_EQ(save->grab().toImage(), saveResting);
    EXPECT_NE(print->grab().toImage(), printResting);
    print->MouseLeft();
    EXPECT_EQ(print->grab().toImage(), printResting);
}

TEST_F(BrowserArt, BusyAnimationRunsWhileThePicturesAreRead) {
    std::atomic<bool> release{false};
    source.onThumb = [&](const std::string&, const plat::Event*) {
        while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 0;
    };
    Open(3, QSize(900, 600));
    std::set<int32_t> frames;
    const bool turned = QTest::qWaitFor([&] {
        frames.insert(view->BusyFrameShown());
        return frames.size() >= 3;
    }, 20000);
    release = true;
    EXPECT_TRUE(turned) << "the busy animation stands still";
    ASSERT_TRUE(Settled());
    EXPECT_EQ(1, view->BusyFrameShown());
}

}  // namespace
