// The browser's card and camera operations in the program: the application
// with its real picture sources and work windows, a folder card as drive E: and
// the simulated camera, driven through the view's commands as a user would,
// with the message boxes answered here.
#include "viewer/shell/tests/ShellTestSupport.h"

#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/msg/Messaging.h"
#include "viewer/browser/view/ThumbPaneWnd.h"
#include "viewer/browser/view/ViewerFrame.h"
#include "viewer/shell/AppWorkWindows.h"
#include "viewer/shell/SourceTargetParts.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/UdisksFormatter.h"
#include "viewer/sources/camera/tests/CameraTestSupport.h"
#include "viewer/transfer/CardJobFile.h"

#include <QApplication>
#include <QTreeWidget>

#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

class CardAndCameraOps : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        const fs::path library = root_.path() / "Common Files" / "Vorel" / "Library";
        fs::create_directories(library);
        fs::copy_file(JQFL_SO_PATH, library / "JqFileLib.so", fs::copy_options::overwrite_existing);
        InstallUdisksFormatter();
        // Every box is recorded; a question is answered by the table (OK otherwise).
        plat::setMessageBoxResponder([this](const plat::MessageBoxRequest& r) {
            asked_.push_back(r.text);
            if (onBox_) onBox_(r);
            for (const auto& [id, answer] : answers_)
                if (IsText(r.text, id)) return answer;
            return plat::kAnswerOk;
        });
        realSources_ = true;
        app_ = StartApp();
        windows_.emplace(*app_);
    }
    void TearDown() override
    {
        if (windows_) windows_->DestroyAll();
        PumpFor(50);
        windows_.reset();
        if (app_) app_->ExitInstance();
        app_.reset();
        CMassStrage::SetDriveFormatter({});
        ShellFixture::TearDown();
    }

    SourceTargetParts& Parts() { return dynamic_cast<SourceTargetParts&>(app_->Parts()); }

    // The browser over the current target, its first folder listed with every thumbnail.
    // The browser over the folder card put in as E:, card index 4.
    CViewerView& OpenCardBrowser()
    {
        app_->currentIndex = 4;
        app_->targetRecord.SetName("E:");
        app_->targetOpen = true;
        EXPECT_TRUE(Parts().CreateCardSource());
        return OpenBrowser();
    }
    CViewerView& OpenBrowser()
    {
        EXPECT_TRUE(Parts().CreatePictureAccess());
        EXPECT_TRUE(windows_->OpenBrowser(false));
        CViewerView* view = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* frame = dynamic_cast<CViewerFrame*>(w); frame && frame->isVisible()) view = &frame->View();
        EXPECT_NE(view, nullptr);
        plat::postMessage(windows_->BrowserView(), UM_TARGET_OPENED, 0, app_->currentIndex);
        Settle(*view);
        return *view;
    }
    // Until the list is read and its thumbnail run has ended.
    static void Settle(CViewerView& view)
    {
        EXPECT_TRUE(PumpUntil([&view] {
            BrowserViewModel& m = view.Model();
            return !m.Folder().empty() && m.Idle() && !m.Items().empty();
        }, 30000));
    }
    void SelectAll(CViewerView& view)
    {
        view.Pane().setFocus();
        view.Pane().SelectAll();
        view.Model().RecountSelection(false);
    }
    // Whether a box shows language text id (a "%s" in it stands for anything).
    static bool IsText(const std::string& shown, uint32_t id)
    {
        const std::string text = UsaText(id);
        const size_t at = text.find("%s");
        if (at == std::string::npos) return !text.empty() && shown == text;
        const std::string before = text.substr(0, at), after = text.substr(at + 2);
        return shown.size() >= before.size() + after.size() && shown.compare(0, before.size(), before) == 0 &&
               shown.compare(shown.size() - after.size(), after.size(), after) == 0;
    }
    // Every box shown since the last clear, for a failure's message.
    std::string Shown() const
    {
        std::string all = "boxes shown:";
        for (const std::string& a : asked_) all += "\n  " + a;
        return all;
    }
    bool Asked(uint32_t id) const
    {
        for (const std::string& a : asked_)
            if (IsText(a, id)) return true;
        return false;
    }

    std::unique_ptr<CLumoraApp> app_;
    std::optional<AppWorkWindows> windows_;
    std::vector<std::string> asked_;
    std::map<uint32_t, int> answers_;
    std::function<void(const plat::MessageBoxRequest&)> onBox_;
};

// A folder made drive E: with two picture folders of real JPEGs.
class FolderCard {
public:
    explicit FolderCard(const fs::path& top) : card_(top / "card")
    {
        for (const char* folder : {"100ABCDE", "101ABCDE"})
            for (int i = 1; i <= 3; ++i) Write(std::string("DCIM/") + folder + "/ABCD000" + std::to_string(i) + ".JPG");
        std::ofstream(card_ / "Vorel001.dsc").close();
        plat::writeDosAttributes(card_ / "Vorel001.dsc", plat::FileAttr::Hidden);
        plat::DriveMap().addManual('E', card_, plat::DriveType::Removable);
    }
    uint32_t Attributes(const std::string& relative) const
    {
        plat::DosAttributes a;
        plat::readDosAttributes(card_ / relative, &a);
        return a.bits;
    }
    const fs::path& path() const { return card_; }

private:
    void Write(const std::string& relative)
    {
        fs::create_directories((card_ / relative).parent_path());
        std::ofstream(card_ / relative, std::ios::binary) << camtest::MakeJpegBytes(64, 48);
    }
    fs::path card_;
};

TEST_F(CardAndCameraOps, ProtectHideRemoveAndFormatOnAFolderCard)
{
    FolderCard card(root_.path());
    CViewerView& view = OpenCardBrowser();
    const std::string shown = view.Model().Folder();   // the tree's first folder
    ASSERT_TRUE(shown == "100ABCDE" || shown == "101ABCDE") << shown;
    const std::string other = shown == "100ABCDE" ? "101ABCDE" : "100ABCDE";
    const std::string dir = "DCIM/" + shown + "/";
    ASSERT_EQ(view.Model().Items().size(), 3u);

    // protect: every selected picture, its mark and its file
    SelectAll(view);
    view.SetAttribute(1, true);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(card.Attributes(dir + "ABCD000" + std::to_string(i) + ".JPG") & plat::FileAttr::ReadOnly);
        EXPECT_EQ(view.Model().Items().item(size_t(i - 1)).record->protect, 1);
    }
    // hide one picture that has gone behind the browser's back: the others still change
    fs::remove(card.path() / dir / "ABCD0002.JPG");
    answers_[61643] = plat::kAnswerCancel;   // "the picture could not be found": leave the list
    view.SetAttribute(2, true);
    EXPECT_TRUE(Asked(61643));
    EXPECT_TRUE(card.Attributes(dir + "ABCD0001.JPG") & plat::FileAttr::Hidden);
    EXPECT_TRUE(card.Attributes(dir + "ABCD0003.JPG") & plat::FileAttr::Hidden);
    EXPECT_EQ(view.Model().Items().item(2).record->hidden, 1);
    EXPECT_EQ(view.Model().Items().item(1).record->hidden, 0);

    // remove the other folder: asked with its name first, then gone from card and tree
    asked_.clear();
    view.RemoveFolder(other);
    ASSERT_FALSE(asked_.empty());
    EXPECT_NE(asked_[0].find(other), std::string::npos) << asked_[0];
    EXPECT_FALSE(fs::exists(card.path() / "DCIM" / other));
    EXPECT_TRUE(view.Tree().findItems(QString::fromStdString(other), Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    // declined: nothing happens
    answers_[61636] = plat::kAnswerCancel;
    asked_.clear();
    view.RemoveFolder(shown);
    EXPECT_TRUE(Asked(61636));   // it holds protected pictures
    EXPECT_TRUE(fs::exists(card.path() / dir / "ABCD0001.JPG"));

    // a folder is no removable medium: refused, told why, nothing erased
    asked_.clear();
    view.FormatCard();
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].rfind("Drive E: was not formatted: ", 0), 0u) << asked_[0];
    EXPECT_TRUE(fs::exists(card.path() / dir / "ABCD0001.JPG"));
    EXPECT_TRUE(app_->targetOpen);
    Settle(view);
    EXPECT_EQ(view.Model().Items().size(), 2u);
}

TEST_F(CardAndCameraOps, CameraTransferRequestIsAnsweredWhileTheBrowserIsOpen)
{
    FolderCard card(root_.path());
    CViewerView& view = OpenCardBrowser();
    CCardJobFile job(4);
    fs::create_directories(fs::path(job.OrderPath()).parent_path());
    std::ofstream(job.OrderPath(), std::ios::binary) << CCardJobFile::kTransfer << "\r\n";

    // the camera hears "waiting" while the user is asked; Cancel answers "canceled"
    std::string replyWhileAsked;
    onBox_ = [&](const plat::MessageBoxRequest& r) {
        if (r.text == UsaText(61670)) job.ReadStatus(CCardJobFile::kReply, &replyWhileAsked);
    };
    answers_[61670] = plat::kAnswerCancel;
    plat::postMessage(windows_->BrowserView(), UM_TRANSFER_REQUEST, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return Asked(61670); }));
    PumpFor(50);
    EXPECT_EQ(replyWhileAsked, std::string(CCardJobFile::kWaiting) + "\r\n");
    std::string reply;
    ASSERT_TRUE(job.ReadStatus(CCardJobFile::kReply, &reply));
    EXPECT_EQ(reply, std::string(CCardJobFile::kCanceled) + "\r\n");
    (void)view;
}

class CameraOps : public CardAndCameraOps {
protected:
    void SetUp() override
    {
        card_.MakeStandard();
        card_.WriteConfig();
        CardAndCameraOps::SetUp();
        MessageIdRecord record;
        record.SetName(camtest::kBuiltinPath);
        record.SetCapability("Snapwren310");
        bool created = false;
        ASSERT_EQ(Parts().OpenCameraController(record, "Lumora 4", "Lumora 4", &created), 0);
        app_->currentIndex = kFirstCameraIndex;
        app_->targetRecord = record;
        app_->targetOpen = true;
    }

    camtest::CameraCard card_;
    camtest::CameraSetup setup_{card_};
};

TEST_F(CameraOps, ProtectAndHideThroughTheCamera)
{
    CViewerView& view = OpenBrowser();
    ASSERT_EQ(view.Model().Folder(), "100TEST");
    const size_t count = view.Model().Items().size();
    ASSERT_GE(count, 3u);
    SelectAll(view);
    view.SetAttribute(1, true);
    view.SetAttribute(2, true);
    CImageFileIf& files = *Parts().PictureAccess();
    for (size_t i = 0; i < count; ++i) {
        const BrowserItem& item = view.Model().Items().item(i);
        int32_t p = 0, h = 0;
        ASSERT_EQ(files.If_GetFileStatus("100TEST", item.fileName, &p, &h), 0) << item.fileName;
        EXPECT_EQ(p, 1) << item.fileName;
        EXPECT_EQ(h, 1) << item.fileName;
        EXPECT_EQ(item.record->protect, 1);
        EXPECT_EQ(item.record->hidden, 1);
    }
    EXPECT_TRUE(asked_.empty()) << asked_.front();
}

TEST_F(CameraOps, FormatErasesTheCameraCardOnlyAfterTheQuestion)
{
    CViewerView& view = OpenBrowser();
    const fs::path picture = card_.PathOf("100TEST", "IMG_0001.JPG");
    ASSERT_TRUE(fs::exists(picture));

    answers_[61633] = plat::kAnswerCancel;
    view.FormatCard();
    EXPECT_TRUE(Asked(61633)) << Shown();
    EXPECT_TRUE(fs::exists(picture));
    EXPECT_TRUE(app_->targetOpen) << Shown();
    Settle(view);   // the pictures are read again
    EXPECT_FALSE(view.Model().Items().empty());

    answers_.erase(61633);
    asked_.clear();
    view.FormatCard();
    EXPECT_TRUE(Asked(61633)) << Shown();
    EXPECT_FALSE(fs::exists(picture)) << Shown();
    EXPECT_TRUE(Asked(61668)) << Shown();      // what was done
    EXPECT_FALSE(Asked(61686)) << Shown();     // no failure
    EXPECT_FALSE(app_->targetOpen);
}

}  // namespace
