#include "viewer/shell/ui/BmpBtnAcquire.h"
#include "viewer/shell/ui/BmpBtnTransfer.h"
#include "viewer/shell/ui/BmpBtnViewer.h"
#include "viewer/art/ButtonBitmaps.h"
#include "viewer/shell/ui/HotButtonSlot.h"
#include "viewer/shell/ui/tests/UiTestSupport.h"

#include "viewer/shell/common/ViewerMessages.h"

#include "platform/msg/MessageReceiver.h"

#include <QCoreApplication>

#include <string>
#include <vector>

namespace {

TEST(ButtonBitmaps, RowsGiveRestingAndHoverPictures)
{
    struct Case {
        int row, state;
        BitmapSet normal, hover;
    };
    const Case cases[] = {
        {0, 0, {408, 410, 408, 0}, {409, 410, 409, 0}},
        {0, 1, {411, 413, 411, 0}, {412, 413, 412, 0}},
        {4, 0, {333, 335, 333, 336}, {334, 335, 334, 336}},
        {4, 7, {333, 335, 333, 336}, {334, 335, 334, 336}},  // an odd state reads as 0
        {30, 0, {}, {}},                                     // outside the table
        {-1, 0, {}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormalPictures(BrowserButtonTable(), c.row, c.state), c.normal) << c.row << "/" << c.state;
        EXPECT_EQ(HoverPictures(BrowserButtonTable(), c.row, c.state), c.hover) << c.row << "/" << c.state;
    }
    EXPECT_EQ(BrowserButtonTable().size(), 30u);
    EXPECT_EQ(PanelButtonTable().size(), 28u);
    EXPECT_EQ(NormalPictures(PanelButtonTable(), 0, 0), (BitmapSet{222, 227, 222, 222}));
}

struct FakeButton : HoverSubject {
    FakeButton(std::string n, std::vector<std::string>* l) : name(std::move(n)), log(l) {}
    void ShowNormalPictures() override { log->push_back(name + ":normal"); }
    void ShowHoverPictures() override { log->push_back(name + ":hover"); }
    void ShowHint(uint32_t id) override { log->push_back(name + ":hint" + std::to_string(id)); }
    std::string name;
    std::vector<std::string>* log;
};

TEST(HotButtonSlot, NextButtonRestsThePreviousFirst)
{
    std::vector<std::string> log;
    FakeButton a("a", &log), b("b", &log);
    HotButtonSlot slot;
    EXPECT_TRUE(slot.Enter(&a, true, 5));
    EXPECT_FALSE(slot.Enter(&a, true, 5));
    EXPECT_TRUE(slot.Enter(&b, true, 6));
    slot.Leave(&a);  // no longer hot: nothing happens
    slot.Leave(&b);
    EXPECT_EQ(log, (std::vector<std::string>{"a:hover", "a:hint5", "a:normal", "b:hover", "b:hint6", "b:normal",
                                             "b:hint0"}));
    EXPECT_EQ(slot.Hot(), nullptr);
}

TEST(HotButtonSlot, InactiveFrameHasNoHover)
{
    std::vector<std::string> log;
    FakeButton a("a", &log);
    HotButtonSlot slot;
    EXPECT_FALSE(slot.Enter(&a, false, 5));
    EXPECT_TRUE(log.empty());
    slot.Enter(&a, true, 5);
    slot.Forget(&a);
    EXPECT_EQ(slot.Hot(), nullptr);
}

using HoverButtons = LangFixture;

TEST_F(HoverButtons, ViewerButtonsPostHintsToTheFrame)
{
    std::vector<std::pair<uint32_t, plat::WParam>> posted;
    plat::MessageReceiver frame([&](uint32_t m, plat::WParam w, plat::LParam) {
        posted.emplace_back(m, w);
        return 0;
    });
    HotButtonSlot slot;
    bool active = true;
    BmpBtnViewer one, two;
    for (BmpBtnViewer* b : {&one, &two}) {
        b->SetFrame(frame.handle(), [&] { return active; });
        b->SetHotSlot(&slot);
    }
    one.LoadBitmapSet(0, 1);
    one.SetTextId(62418);
    two.LoadBitmapSet(4, 0);
    two.SetTextId(62421);

    one.MouseEntered();
    EXPECT_EQ(one.Pictures().normal, 412u);
    two.MouseEntered();
    EXPECT_EQ(one.Pictures().normal, 411u);
    EXPECT_EQ(two.Pictures().normal, 334u);
    two.MouseLeft();
    EXPECT_EQ(two.Pictures().normal, 333u);
    active = false;
    one.MouseEntered();
    EXPECT_FALSE(one.IsHot());
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, (std::vector<std::pair<uint32_t, plat::WParam>>{
                          {UM_SHOW_HINT, 62418}, {UM_SHOW_HINT, 62421}, {UM_SHOW_HINT, 0}}));
}

TEST_F(HoverButtons, DeletedHotButtonIsForgotten)
{
    HotButtonSlot slot;
    auto* b = new BmpBtnViewer;
    b->SetFrame({}, [] { return true; });
    b->SetHotSlot(&slot);
    b->MouseEntered();
    EXPECT_NE(slot.Hot(), nullptr);
    delete b;
    EXPECT_EQ(slot.Hot(), nullptr);
}

TEST_F(HoverButtons, PanelAndTransferButtonsHover)
{
    BmpBtnAcquire acquire;
    acquire.LoadBitmapSet(0, 0);
    acquire.MouseEntered();
    EXPECT_TRUE(acquire.IsHot());
    acquire.MouseLeft();
    EXPECT_EQ(acquire.Pictures(), NormalPictures(PanelButtonTable(), 0, 0));

    BmpBtnTransfer transfer;
    EXPECT_EQ(transfer.Pictures(), (BitmapSet{251, 253, 251, 254}));
    transfer.MouseEntered();
    EXPECT_EQ(transfer.Pictures(), (BitmapSet{252, 253, 252, 254}));
    transfer.setEnabled(false);
    EXPECT_EQ(transfer.ShownPicture(), 254u);
    transfer.MouseLeft();
    EXPECT_FALSE(transfer.IsHot());
    EXPECT_EQ(transfer.Pictures().normal, 251u);
}

}  // namespace
