// Whole transfers from a card folder made a removable drive, through the real
// picture-access object, the image-file library and the file system.
#include "viewer/transfer/TransferCtrl.h"
#include "viewer/transfer/UploadClient.h"
#include "viewer/transfer/CatalogLink.h"
#include "outside/quillbase/CatalogFile.h"
#include "platform/com/ComClasses.h"

#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/fs/FaultPoint.h"
#include "platform/fs/FileOps.h"
#include "platform/msg/MessageBox.h"
#include "platform/msg/MessageReceiver.h"
#include "platform/registry/Registry.h"
#include "platform/sysroot/SystemRoot.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/sources/ImageFileIf.h"
#include "viewer/sources/JqFileLib.h"
#include "viewer/sources/JqIfMngResult.h"
#include "viewer/sources/MassStrage.h"
#include "viewer/sources/tests/LibraryFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <stdexcept>
#include <thread>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

// The JPEG library (which keeps thread-local state) is loaded with the program,
// not only later through the image-file library, so the leak checker can walk
// its threads' storage.
extern "C" {
#include <jpeglib.h>
}
[[maybe_unused]] static const auto kJpegLoaded = &jpeg_std_error;

namespace {

class CardHost : public ImageFileIfHost {
public:
    CMassStrage card;
    std::string local;
    int32_t CurrentDeviceIndex() override { return 4; }
    std::string CurrentCardRoot() override { return "E:"; }
    std::string LocalFolder() override { return local; }
    CRundleCtrl* CameraController() override { return nullptr; }
    CMassStrage* CardSource() override { return &card; }
    bool SuspendDeviceCheck() override { return true; }
    int32_t ResumeDeviceCheck() override { return 0; }
    bool AskFormatCameraCard() override { return false; }
    int32_t RunCameraFormat(CRundleCtrl*) override { return -1; }
    void ShowFormatFailed() override {}
};

// The upload server at its interface seam: records what the client adds.
class RecordingServer : public skylet::IJqUploadServer {
public:
    struct Log {
        std::vector<std::pair<std::string, int32_t>> added;
        int starts = 0;
        std::vector<plat::HResult> addResults;
        plat::HResult startResult = plat::hr::Ok;
    };
    explicit RecordingServer(Log* log) : log_(log) {}
    plat::HResult AddFile(const std::optional<std::string>& path, int32_t owner) override {
        const size_t i = log_->added.size();
        log_->added.emplace_back(path.value_or(""), owner);
        return i < log_->addResults.size() ? log_->addResults[i] : plat::hr::Ok;
    }
    plat::HResult StartUpload() override {
        ++log_->starts;
        return log_->startResult;
    }

private:
    Log* log_;
};

class RunHost : public TransferHost {
public:
    CViewSettings settings;
    CImageFileIf* access = nullptr;
    std::string temp, images, web;
    std::vector<std::string> uploaded;
    RecordingServer::Log server;

    CViewSettings* Settings() override { return &settings; }
    CImageFileIf* PictureAccess() override { return access; }
    std::string TempFolder() override { return temp; }
    std::string ImagesFolder() override { return images; }
    std::string WebUploadFolder() override { return web; }
    bool WebUploadAvailable() override { return true; }
    plat::WindowHandle MainFrame() override { return {}; }
    bool IsClosingTarget() override { return false; }
    int32_t TargetStatus() override { return 0; }
    int AskNoExifQuestion(plat::WindowHandle) override { return 1170; }
    bool UploadFiles(const std::vector<std::string>& paths, int32_t* result,
                     std::vector<std::string>* notQueued) override {
        uploaded = paths;
        UploadClient client([this](std::unique_ptr<skylet::IJqUploadServer>* out) {
            *out = std::make_unique<RecordingServer>(&server);
            return plat::hr::Ok;
        });
        return client.UploadFiles(paths, result, notQueued);
    }
    std::unique_ptr<TransferCatalog> MakeCatalogLink() override {
        return std::make_unique<CCatalogLink>([this](uint32_t id) { return LangText(id); });
    }
    std::string LangText(uint32_t id) override { return id == 62203 ? "Quillbase" : std::string(); }
    std::vector<uint32_t> captionSizes;   // the file size each caption was built with
    int throwAtCaption = 0;               // the caption (1-based) whose building throws
    std::string CaptionText(const PictureRecord& r) override {
        captionSizes.push_back(r.size);
        if (static_cast<int>(captionSizes.size()) == throwAtCaption) throw std::runtime_error("caption");
        return "Taken on a card";
    }
};

class TransferRun : public ::testing::Test {
protected:
    LibraryRoot root;
    fs::path card;
    CardHost cardHost;
    RunHost host;
    std::unique_ptr<CImageFileIf> access;
    std::vector<uint32_t> boxes;   // what each box would have said (its language id)
    std::vector<std::string> boxTexts;
    int filesReported = 0;
    int32_t total = -1;
    int32_t endResult = -1;
    int maxProgress = -1;
    std::vector<int> progressSeen;

    void SetUp() override {
        static int argc = 1;
        static char name[] = "transfer_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);

        card = root.folder("card");
        ASSERT_TRUE(plat::DriveMap().addManual('E', card, plat::DriveType::Removable).ok());
        std::ofstream(card / "Vorel001.dsc").flush();
        plat::writeDosAttributes(card / "Vorel001.dsc", plat::FileAttr::Hidden);
        host.temp = root.folder("Lumora/temp").string();
        host.images = root.folder("Lumora/Images").string();
        host.web = root.folder("Lumora/Brovane").string();
        cardHost.local = root.folder("local").string();
        CImageFileIf::SetHost(&cardHost);

        TransferSettings t;
        t.TransferFile = root.folder("Pictures").string();
        t.SerialNumber = "1";
        t.Thumbnail = 1;
        host.settings.SetTransferSettings(t);
        FileInfoSettings f;
        f.CaptionCopy = 0;
        host.settings.SetFileInfoSettings(f);
        host.settings.CheckLocal = 1;
        host.settings.CheckWeb = 1;
        plat::setMessageBoxResponder([this](const plat::MessageBoxRequest& r) {
            boxes.push_back(static_cast<uint32_t>(std::strtoul(r.text.c_str(), nullptr, 10)));
            boxTexts.push_back(r.text);
            return plat::kAnswerOk;
        });
    }
    void TearDown() override {
        plat::setMessageBoxResponder({});
        CImageFileIf::SetHost(nullptr);
    }

    void picture(const std::string& relative, int w = 64, int h = 48, bool exif = false) {
        fs::create_directories((card / relative).parent_path());
        LibraryRoot::writeJpeg(card / relative, w, h);
        if (exif) {
            ASSERT_TRUE(LibraryRoot::exiftool("-ExifVersion=0230 -Model=Test", card / relative));
        }
    }
    void openSource() {
        access = std::make_unique<CImageFileIf>();
        ASSERT_EQ(0, access->Open());
        host.access = access.get();
    }

    std::function<void(CTransferCtrl&, int)> onFileReport;   // (worker, reports so far)

    int32_t mode = CTransferCtrl::kPanel;

    int32_t runTransfer(bool cancelFirst = false) {
        CTransferCtrl* running = nullptr;
        plat::MessageReceiver dialog([this, &running](uint32_t m, plat::WParam w, plat::LParam l) -> plat::LResult {
            if (m == UM_TRANSFER_TOTAL) total = static_cast<int32_t>(w);
            if (m == UM_TRANSFER_FILE) {
                auto* report = reinterpret_cast<TransferFileReport*>(l);
                EXPECT_GT(report->remaining, 0);
                ++filesReported;
                if (onFileReport && running) onFileReport(*running, filesReported);
            }
            if (m == UM_TRANSFER_PROGRESS) {
                maxProgress = std::max(maxProgress, static_cast<int>(w));
                progressSeen.push_back(static_cast<int>(w));
            }
            if (m == UM_TRANSFER_END) endResult = static_cast<int32_t>(w);
            return 0;
        });
        CTransferCtrl worker(dialog.handle(), &host);
        running = &worker;
        worker.SetMode(mode);
        if (cancelFirst) worker.Cancel();
        EXPECT_TRUE(worker.create());
        EXPECT_TRUE(worker.resume());
        QElapsedTimer clock;
        clock.start();
        while (endResult < 0 && clock.elapsed() < 120000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        worker.waitUntilEnded();
        QCoreApplication::processEvents();
        return endResult;
    }

    std::vector<fs::path> filesBelow(const fs::path& folder) const {
        std::vector<fs::path> out;
        if (!fs::exists(folder)) return out;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file()) out.push_back(e.path());
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::string bytes(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path pictures() const { return host.settings.GetTransferSettings().TransferFile; }
};

TEST_F(TransferRun, CopiesEveryPictureIntoADatedFolderAndHandsWebCopiesOver) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    picture("DCIM/100ABCDE/ABCD0002.JPG");
    picture("DCIM/101ABCDE/ABCD0001.JPG");
    fs::create_directories(fs::path(host.web) / "older");
    std::ofstream(fs::path(host.web) / "older" / "queued.JPG") << "still queued";
    openSource();

    ASSERT_EQ(TransResult_Done, runTransfer());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(3, total);
    EXPECT_EQ(3, filesReported);
    EXPECT_EQ(100, maxProgress);
    // Within a picture the bar only moves forward, through each step's mark.
    for (size_t i = 1; i < progressSeen.size(); ++i) {
        const int a = progressSeen[i - 1], b = progressSeen[i];
        EXPECT_TRUE(b >= a || (a == 100 && b == 0)) << a << " then " << b;
    }
    for (int mark : {0, 30, 50, 70, 90, 100})
        EXPECT_NE(progressSeen.end(), std::find(progressSeen.begin(), progressSeen.end(), mark)) << mark;

    const auto copied = filesBelow(pictures());
    ASSERT_EQ(3u, copied.size());
    const fs::path dated = copied[0].parent_path();
    EXPECT_EQ(15u, dated.filename().string().size());
    std::vector<std::string> names;
    for (const auto& p : copied) names.push_back(p.filename().string());
    // Same names on the card in two folders: the second one gets a counter.
    EXPECT_EQ((std::vector<std::string>{"ABCD0001-1.JPG", "ABCD0001.JPG", "ABCD0002.JPG"}), names);
    EXPECT_EQ(bytes(card / "DCIM/100ABCDE/ABCD0002.JPG"), bytes(dated / "ABCD0002.JPG"));

    ASSERT_EQ(3u, host.uploaded.size());
    ASSERT_EQ(3u, host.server.added.size());
    EXPECT_EQ(1, host.server.starts);
    for (const auto& [path, owner] : host.server.added) EXPECT_EQ(0, owner) << path;
    for (const auto& p : host.uploaded) {
        EXPECT_EQ(fs::path(host.web) / dated.filename(), fs::path(p).parent_path());
        EXPECT_TRUE(fs::exists(p));
    }
    // The work folder is gone, the temp folder and other uploads stay.
    EXPECT_TRUE(fs::exists(host.temp));
    EXPECT_FALSE(fs::exists(fs::path(host.temp) / dated.filename()));
    EXPECT_TRUE(fs::exists(fs::path(host.web) / "older" / "queued.JPG"));
}

TEST_F(TransferRun, NewNamesAndSmallerPicturesStayInsideTheDestination) {
    picture("DCIM/100ABCDE/ABCD0001.JPG", 1200, 800, true);
    picture("DCIM/100ABCDE/ABCD0002.JPG", 200, 100, true);
    openSource();
    TransferSettings t = host.settings.GetTransferSettings();
    t.CreateFile = 1;
    t.Contents = 0;
    t.PrefixSuffix = 0;
    t.PrefixTEXT = "../../up";
    t.SerialNumber = "41";
    host.settings.SetTransferSettings(t);
    host.settings.ImageSize = 2;
    host.settings.CheckWeb = 0;

    ASSERT_EQ(TransResult_Done, runTransfer());
    const auto copied = filesBelow(pictures());
    ASSERT_EQ(2u, copied.size());
    for (const auto& p : copied) EXPECT_EQ(pictures(), p.parent_path().parent_path()) << p;
    EXPECT_EQ(".._.._up_41.JPG", copied[0].filename().string());
    EXPECT_EQ(".._.._up_42.JPG", copied[1].filename().string());
    EXPECT_EQ("43", host.settings.GetTransferSettings().SerialNumber);

    std::set<std::pair<int32_t, int32_t>> sizes;
    for (const auto& p : copied) {
        CJqFileLib lib(p.string());
        ASSERT_EQ(0, lib.Initialize());
        ASSERT_EQ(0, lib.OpenFile());
        int32_t w = 0, h = 0, d = 0, m = 0;
        ASSERT_EQ(0, lib.GetImageInfo(&w, &h, &d, &m));
        sizes.insert({w, h});
        lib.CloseFile();
        lib.Terminate();
    }
    // Scaled to the long side; a smaller picture is not enlarged.
    EXPECT_EQ((std::set<std::pair<int32_t, int32_t>>{{640, 424}, {200, 100}}), sizes);
    EXPECT_TRUE(host.uploaded.empty());
}

TEST_F(TransferRun, AFullDestinationFailsAndLeavesNoHalfWrittenPicture) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    picture("DCIM/100ABCDE/ABCD0002.JPG");
    openSource();
    host.settings.CheckWeb = 0;
    // The destination copies are made from the temporary ones; the second of
    // them finds the disk full.
    std::atomic<int> toDestination{0};
    plat::ScopedFsFault full([&](plat::FsStep step) {
        if (!plat::faultSubject().starts_with(host.temp)) return 0;
        if (step == plat::FsStep::OpenSource) ++toDestination;
        return step == plat::FsStep::WriteTarget && toDestination >= 2 ? ENOSPC : 0;
    });
    EXPECT_EQ(TransResult_Failed, runTransfer());
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(61620u, boxes.back());
    for (const auto& p : filesBelow(pictures())) {
        // whatever stands under a final name is a whole picture
        EXPECT_EQ(bytes(card / "DCIM/100ABCDE" / p.filename()), bytes(p)) << p;
    }
    EXPECT_TRUE(fs::exists(host.temp));
}

// Pictures of one name from two folders, keeping their names: the second is
// named while the first is still being synced on its way to the name, and takes
// the next free one all the same.
TEST_F(TransferRun, ANameStillBeingCommittedIsNotGivenTwice) {
    picture("DCIM/100ABCDE/ABCD0001.JPG", 64, 48);
    picture("DCIM/101ABCDE/ABCD0001.JPG", 80, 60);
    openSource();
    TransferSettings t = host.settings.GetTransferSettings();
    t.CreateFile = 0;
    host.settings.SetTransferSettings(t);
    host.settings.CheckWeb = 0;
    std::atomic<int> syncs{0};
    plat::ScopedFsFault slow([&](plat::FsStep step) {
        if (step == plat::FsStep::SyncTarget && ++syncs == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return 0;
    });
    ASSERT_EQ(TransResult_Done, runTransfer());
    const auto copied = filesBelow(pictures());
    ASSERT_EQ(2u, copied.size());
    const fs::path dated = copied[0].parent_path();
    EXPECT_EQ(bytes(card / "DCIM/100ABCDE/ABCD0001.JPG"), bytes(dated / "ABCD0001.JPG"));
    EXPECT_EQ(bytes(card / "DCIM/101ABCDE/ABCD0001.JPG"), bytes(dated / "ABCD0001-1.JPG"));
}

// The first picture's copy is synced while the second is read; a sync that
// fails there still fails the run, and no copy stands under its final name.
TEST_F(TransferRun, ASyncFailingBehindTheNextPictureFailsTheRun) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    picture("DCIM/100ABCDE/ABCD0002.JPG");
    picture("DCIM/100ABCDE/ABCD0003.JPG");
    openSource();
    host.settings.CheckWeb = 0;
    // The first picture's sync fails only once the pictures behind it have
    // been synced too (or after a while): none of them may stand under its name.
    std::atomic<int> syncs{0};
    plat::ScopedFsFault failing([&](plat::FsStep step) {
        if (step != plat::FsStep::SyncTarget) return 0;
        ++syncs;
        if (plat::faultSubject().find("ABCD0001.JPG") == std::string::npos) return 0;
        for (int i = 0; i < 2000 && syncs.load() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return EIO;
    });
    EXPECT_EQ(TransResult_Failed, runTransfer());
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(61602u, boxes.back());
    EXPECT_TRUE(filesBelow(pictures()).empty());
}

TEST_F(TransferRun, AMissingDestinationFailsWithoutTouchingWorkingFolders) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    std::ofstream(fs::path(host.temp) / "keep.txt") << "x";
    fs::create_directories(fs::path(host.web) / "queued");
    std::ofstream(fs::path(host.web) / "queued" / "keep.JPG") << "x";
    TransferSettings t = host.settings.GetTransferSettings();
    t.TransferFile = (root.top() / "gone").string();
    host.settings.SetTransferSettings(t);

    EXPECT_EQ(TransResult_Failed, runTransfer());
    EXPECT_EQ(std::vector<uint32_t>{61622}, boxes);
    EXPECT_TRUE(fs::exists(fs::path(host.temp) / "keep.txt"));
    EXPECT_TRUE(fs::exists(fs::path(host.web) / "queued" / "keep.JPG"));
    EXPECT_EQ(host.images, host.settings.GetTransferSettings().TransferFile);
}

TEST_F(TransferRun, CancelBeforeTheFirstPictureCopiesNothing) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    EXPECT_EQ(TransResult_Stopped, runTransfer(true));
    EXPECT_TRUE(filesBelow(pictures()).empty());
    EXPECT_TRUE(fs::is_empty(pictures()));
    EXPECT_TRUE(host.uploaded.empty());
}

TEST_F(TransferRun, ARefusedUploadIsReportedAndItsCopiesRemoved) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    host.server.startResult = plat::hr::AccessDenied;   // the upload program runs already
    EXPECT_EQ(TransResult_Failed, runTransfer());
    EXPECT_EQ(1u, boxes.size());
    EXPECT_EQ(1u, filesBelow(pictures()).size());
    EXPECT_TRUE(filesBelow(host.web).empty());
}

TEST_F(TransferRun, CopiesTheServerRefusedAreNotLeftAsIfQueued) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    picture("DCIM/100ABCDE/ABCD0002.JPG");
    openSource();
    host.server.addResults = {plat::hr::Fail, plat::hr::Ok};
    EXPECT_EQ(TransResult_Failed, runTransfer());
    EXPECT_EQ(std::vector<uint32_t>{61602}, boxes);
    EXPECT_EQ(2u, filesBelow(pictures()).size());
    EXPECT_EQ(1u, filesBelow(host.web).size());   // the queued one stays for the upload program
}

TEST_F(TransferRun, PicturesAreAddedToTheChosenCatalog) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    picture("DCIM/100ABCDE/ABCD0002.JPG");
    openSource();
    setenv("QUILLBASE_IDLE_MS", "1500", 1);
    const fs::path program = plat::testing::buildDir() / "outside/quillbase/Quillbase";
    ASSERT_EQ(plat::hr::Ok, plat::registerLocalServer("{3E7C1A50-9B2D-4F61-8A47-5D0C9E2B7F18}", program));
    const std::string catalog = (root.folder("Lumora/Catalogs") / "card.ccf").string();
    ASSERT_EQ(0, CCatalogLink([](uint32_t id) { return id == 62203 ? std::string("Quillbase") : std::string(); })
                     .CreateCatalog(program.string(), catalog));
    DatabaseSettings d;
    d.CheckRegistry = 1;
    d.DataBaseSoft = program.string();
    d.Catalogfile = catalog;
    host.settings.SetDatabaseSettings(d);
    host.settings.CheckWeb = 0;

    ASSERT_EQ(TransResult_Done, runTransfer());
    EXPECT_TRUE(boxes.empty());
    const auto copied = filesBelow(pictures());
    ASSERT_EQ(2u, copied.size());
    auto file = quillbase::CatalogFile::open(catalog);
    ASSERT_TRUE(file);
    auto assets = file->assets();
    std::sort(assets.begin(), assets.end());
    EXPECT_EQ((std::vector<std::string>{copied[0].string(), copied[1].string()}), assets);
}

TEST_F(TransferRun, AnUnknownCatalogProgramStopsTheRunBeforeCopying) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    DatabaseSettings d;
    d.CheckRegistry = 1;
    d.DataBaseSoft = "/opt/other/Shoebox";
    host.settings.SetDatabaseSettings(d);
    EXPECT_EQ(TransResult_Failed, runTransfer());
    EXPECT_EQ(std::vector<uint32_t>{61628}, boxes);
    EXPECT_TRUE(fs::is_empty(pictures()));
}

TEST_F(TransferRun, CancelDuringTheSecondPictureKeepsWhatWasPlaced) {
    for (int i = 1; i <= 4; ++i) picture("DCIM/100ABCDE/ABCD000" + std::to_string(i) + ".JPG");
    openSource();
    onFileReport = [](CTransferCtrl& worker, int reports) {
        if (reports == 2) worker.Cancel();
    };
    EXPECT_EQ(TransResult_Stopped, runTransfer());
    EXPECT_EQ(2, filesReported);
    EXPECT_EQ(2u, filesBelow(pictures()).size());
    EXPECT_TRUE(host.uploaded.empty());
    EXPECT_TRUE(filesBelow(host.web).empty());
    EXPECT_EQ(1u, std::distance(fs::directory_iterator(pictures()), fs::directory_iterator()));
    EXPECT_TRUE(filesBelow(host.temp).empty());  // nor the copies made ahead of pictures never reached
}

TEST_F(TransferRun, MoviesGoToTheDestinationButNeverToTheWeb) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    std::ofstream(card / "DCIM/100ABCDE/ABCD0002.MOV", std::ios::binary) << std::string(5000, 'm');
    LibraryRoot::writeJpeg(card / "DCIM/100ABCDE/ABCD0002.THM", 160, 120);   // the clip's thumbnail
    openSource();
    ASSERT_EQ(TransResult_Done, runTransfer());
    EXPECT_EQ(std::vector<uint32_t>{61673}, boxes);   // some pictures do not go to the web
    const auto copied = filesBelow(pictures());
    ASSERT_EQ(2u, copied.size());
    EXPECT_EQ(std::string(5000, 'm'), bytes(copied[1]));
    ASSERT_EQ(1u, host.uploaded.size());
    EXPECT_EQ("ABCD0001.JPG", fs::path(host.uploaded[0]).filename().string());
}

TEST_F(TransferRun, WebOnlyTransferLeavesTheDestinationAlone) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    host.settings.CheckLocal = 0;
    ASSERT_EQ(TransResult_Done, runTransfer());
    EXPECT_TRUE(fs::is_empty(pictures()));
    ASSERT_EQ(1u, host.uploaded.size());
    EXPECT_EQ(bytes(card / "DCIM/100ABCDE/ABCD0001.JPG"), bytes(host.uploaded[0]));
}

TEST_F(TransferRun, ADestinationOnACdRomIsRefused) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    const fs::path disc = root.folder("disc");
    ASSERT_TRUE(plat::DriveMap().addManual('F', disc, plat::DriveType::CdRom).ok());
    TransferSettings t = host.settings.GetTransferSettings();
    t.TransferFile = disc.string();
    host.settings.SetTransferSettings(t);
    EXPECT_EQ(TransResult_Failed, runTransfer());
    EXPECT_EQ(std::vector<uint32_t>{61680}, boxes);
    EXPECT_TRUE(fs::is_empty(disc));
}

TEST_F(TransferRun, ACameraRequestTakesOnlyTheMarkedPictures) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    picture("DCIM/101ABCDE/ABCD0003.JPG");
    fs::create_directories(card / "MISC");
    std::ofstream(card / "MISC" / "AUTPRINT.MRK")
        << "[HDR]\nGEN REV = 01.00\nGEN CRT = \"X\"\n[JOB]\nPRT PID = 001\nPRT TYP = STD\nVUQ RGN = BGN\n"
           "VUQ VNM = \"Vorel Corporation\" -ATR \"Dezer Evedaziz Edaveda V1.0\"\n[JOB]\nITM PID = 001\n"
           "ITM QTY = 001\nIMG SRC = \"../dcim/101abcde/abcd0003.jpg\"\nVUQ RGN = END\n";
    openSource();
    mode = CTransferCtrl::kCameraRequest;
    ASSERT_EQ(TransResult_Done, runTransfer());
    const auto copied = filesBelow(pictures());
    ASSERT_EQ(1u, copied.size());
    EXPECT_EQ("ABCD0003.JPG", copied[0].filename().string());
}

TEST_F(TransferRun, FileListModes) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    picture("DCIM/100ABCDE/ABCD0002.JPG");
    picture("DCIM/101ABCDE/ABCD0003.JPG");
    openSource();
    CTransFileList builder(access.get());
    std::unique_ptr<TransFileArray> list;
    uint64_t total = 0, largest = 0;

    ASSERT_EQ(0, builder.Build(CTransFileList::kPanel, 0, 1, nullptr, &list, &total, &largest));
    ASSERT_EQ(3u, list->size());
    uint64_t sum = 0, big = 0;
    for (const auto& r : *list) {
        EXPECT_EQ(static_cast<uint64_t>(fs::file_size(card / "DCIM" / r->sourceFolder / r->fileName)), r->size);
        sum += r->size;
        big = std::max(big, r->size);
    }
    EXPECT_EQ(sum, total);
    EXPECT_EQ(big, largest);

    // A camera request without marks on the card lists nothing.
    list.reset();
    EXPECT_EQ(JqIfMngResult_NoPictures, builder.Build(CTransFileList::kCameraRequest, 0, 1, nullptr, &list, &total, &largest));
    EXPECT_EQ(nullptr, list);

    // The browser's selection: unselected items stay out, a vanished picture is left out.
    TransSelection sel{"100ABCDE", {{"ABCD0001.JPG", true, 1}, {"ABCD0002.JPG", false, 0}, {"GONE0009.JPG", true, 0}}};
    ASSERT_EQ(0, builder.Build(CTransFileList::kSelection, 0, 1, &sel, &list, &total, &largest));
    ASSERT_EQ(1u, list->size());
    EXPECT_EQ("ABCD0001.JPG", list->front()->fileName);
    EXPECT_EQ(1, list->front()->rotation);
    for (auto& item : sel.items) item.selected = false;
    list.reset();
    EXPECT_EQ(JqIfMngResult_NoPictures, builder.Build(CTransFileList::kSelection, 0, 1, &sel, &list, &total, &largest));
}

std::string exiftoolRead(const std::string& args, const fs::path& path) {
    const std::string cmd = "exiftool -s3 " + args + " '" + path.string() + "' 2>/dev/null";
    std::string out;
    if (FILE* f = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        while (size_t n = std::fread(buf, 1, sizeof buf, f)) out.append(buf, n);
        ::pclose(f);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

TEST_F(TransferRun, CaptionAndKeywordsGoIntoThePictureOnce) {
    picture("DCIM/100ABCDE/ABCD0001.JPG", 64, 48, true);
    ASSERT_TRUE(LibraryRoot::exiftool("-IPTC:Keywords=sea -IPTC:Keywords=sun", card / "DCIM/100ABCDE/ABCD0001.JPG"));
    openSource();
    host.settings.CheckWeb = 0;
    FileInfoSettings f;
    f.CaptionCopy = 1;
    f.Check[0] = 1;
    f.Keyword[0] = "sea";
    f.Check[1] = 1;
    f.Keyword[1] = "harbour";
    f.Check[2] = 1;
    f.Keyword[2] = "harbour";
    f.Check[3] = 0;
    f.Keyword[3] = "unchecked";
    host.settings.SetFileInfoSettings(f);

    ASSERT_EQ(TransResult_Done, runTransfer());
    const auto copied = filesBelow(pictures());
    ASSERT_EQ(1u, copied.size());
    EXPECT_EQ("sea, sun, harbour", exiftoolRead("-IPTC:Keywords", copied[0]));
    EXPECT_EQ("Taken on a card", exiftoolRead("-IPTC:Caption-Abstract", copied[0]));
    // the card's picture is never changed
    EXPECT_EQ("sea, sun", exiftoolRead("-IPTC:Keywords", card / "DCIM/100ABCDE/ABCD0001.JPG"));
}

// A card with an empty file, a damaged one, one that fails to read half-way and
// a pipe among good pictures: every good picture comes over whole, the bad ones
// are left out and named once at the end, and the run does not read as clean.
TEST_F(TransferRun, PicturesThatCannotBeReadAreNamedAndTheRestComeOver) {
    picture("DCIM/100ABCDE/ABCD0001.JPG", 64, 48);
    std::ofstream(card / "DCIM/100ABCDE/ABCD0002.JPG").flush();                        // 0 bytes
    std::ofstream(card / "DCIM/100ABCDE/ABCD0003.JPG") << "not a picture at all";     // damaged
    picture("DCIM/100ABCDE/ABCD0004.JPG", 80, 60);
    picture("DCIM/100ABCDE/ABCD0005.JPG", 96, 72);                                     // read fails
    picture("DCIM/100ABCDE/ABCD0006.JPG", 32, 24);
    ASSERT_EQ(0, ::mkfifo((card / "DCIM/100ABCDE/ABCD0007.JPG").c_str(), 0644));       // never a picture
    openSource();
    host.settings.CheckWeb = 0;
    // Every read of ABCD0005 from the card fails, as on a worn card.
    plat::ScopedFsFault worn([&](plat::FsStep step) {
        const std::string& file = plat::faultSubject();
        const bool worn = file.starts_with(card.string()) && file.ends_with("ABCD0005.JPG");
        return step == plat::FsStep::ReadSource && worn ? EIO : 0;
    });

    EXPECT_EQ(TransResult_Skipped, runTransfer());
    EXPECT_EQ(6, total);
    const auto copied = filesBelow(pictures());
    std::vector<std::string> names;
    for (const auto& p : copied) {
        names.push_back(p.filename().string());
        EXPECT_EQ(bytes(card / "DCIM/100ABCDE" / p.filename()), bytes(p)) << p;
    }
    EXPECT_EQ((std::vector<std::string>{"ABCD0001.JPG", "ABCD0004.JPG", "ABCD0006.JPG"}), names);
    ASSERT_EQ(std::vector<uint32_t>{61624}, boxes);   // one message, at the end
    for (const char* bad : {"100ABCDE/ABCD0002.JPG", "100ABCDE/ABCD0003.JPG", "100ABCDE/ABCD0005.JPG"})
        EXPECT_NE(std::string::npos, boxTexts[0].find(bad)) << boxTexts[0];
    EXPECT_EQ(std::string::npos, boxTexts[0].find("ABCD0001")) << boxTexts[0];
    EXPECT_EQ(std::string::npos, boxTexts[0].find("ABCD0007")) << boxTexts[0];
    EXPECT_TRUE(filesBelow(host.temp).empty());   // no temporary copy stays
}

// New names count in the camera's order (by name, folder by folder), not in
// the order the file system happens to list a folder.
TEST_F(TransferRun, NewNamesFollowTheCardsOrder) {
    for (const char* name : {"ABCD0003.JPG", "ABCD0001.JPG", "ABCD0004.JPG", "ABCD0002.JPG"})
        picture(std::string("DCIM/101ABCDE/") + name, 40 + name[7] - '0', 30);
    picture("DCIM/100ABCDE/ABCD0009.JPG", 50, 30);
    openSource();
    TransferSettings t = host.settings.GetTransferSettings();
    t.CreateFile = 1;
    t.Contents = 0;
    t.PrefixSuffix = 0;
    t.PrefixTEXT = "TRIP";
    t.SerialNumber = "41";
    host.settings.SetTransferSettings(t);
    host.settings.CheckWeb = 0;

    ASSERT_EQ(TransResult_Done, runTransfer());
    const auto copied = filesBelow(pictures());
    ASSERT_EQ(5u, copied.size());
    const std::vector<std::string> order = {"100ABCDE/ABCD0009.JPG", "101ABCDE/ABCD0001.JPG", "101ABCDE/ABCD0002.JPG",
                                            "101ABCDE/ABCD0003.JPG", "101ABCDE/ABCD0004.JPG"};
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ("TRIP_" + std::to_string(41 + i) + ".JPG", copied[i].filename().string());
        EXPECT_EQ(bytes(card / "DCIM" / order[i]), bytes(copied[i])) << order[i];
    }
}

// The caption tells the picture's real size; a run ended by an unexpected
// failure still keeps the serial numbers it used.
TEST_F(TransferRun, CaptionsCarryTheSizeAndUsedSerialsStayUsed) {
    picture("DCIM/100ABCDE/ABCD0001.JPG", 64, 48, true);
    picture("DCIM/100ABCDE/ABCD0002.JPG", 64, 48, true);
    openSource();
    host.settings.CheckWeb = 0;
    FileInfoSettings f;
    f.CaptionCopy = 1;
    host.settings.SetFileInfoSettings(f);
    TransferSettings t = host.settings.GetTransferSettings();
    t.CreateFile = 1;
    t.Contents = 0;
    t.PrefixSuffix = 0;
    t.PrefixTEXT = "TRIP";
    t.SerialNumber = "41";
    host.settings.SetTransferSettings(t);
    host.throwAtCaption = 2;

    EXPECT_EQ(TransResult_Failed, runTransfer());
    EXPECT_EQ(std::vector<uint32_t>{61602}, boxes);
    ASSERT_EQ(2u, host.captionSizes.size());
    EXPECT_EQ(fs::file_size(card / "DCIM/100ABCDE/ABCD0001.JPG"), host.captionSizes[0]);
    EXPECT_GT(host.captionSizes[0], 0u);
    // what the next start reads
    plat::RegKey key;
    ASSERT_EQ(plat::RegResult::Ok,
              plat::Registry::open(plat::Hive::CurrentUser, "Software\\VOREL\\Lumora\\Settings\\Transfer", &key));
    std::string serial;
    ASSERT_EQ(plat::RegResult::Ok, key.queryString("SerialNumber", &serial));
    EXPECT_EQ("42", serial);
}

// A catalog the settings name but that cannot be opened stops the run before
// anything is copied, with the catalog's own message.
TEST_F(TransferRun, ACatalogThatCannotBeOpenedIsToldBeforeCopying) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    host.settings.CheckWeb = 0;
    struct Case {
        std::string program, catalog;
        uint32_t message;
    } cases[] = {
        {"/opt/gone/Quillbase", "", 61672},                                                   // no catalog named
        {"/opt/gone/Quillbase", root.folder("cat").string() + "/x.ccf", 61628},              // program gone
    };
    std::ofstream(root.folder("cat") / "x.ccf").flush();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program + " " + c.catalog);
        boxes.clear();
        endResult = -1;
        DatabaseSettings d;
        d.CheckRegistry = 1;
        d.DataBaseSoft = c.program;
        d.Catalogfile = c.catalog;
        host.settings.SetDatabaseSettings(d);
        EXPECT_EQ(TransResult_Failed, runTransfer());
        EXPECT_EQ(std::vector<uint32_t>{c.message}, boxes);
        EXPECT_TRUE(fs::is_empty(pictures()));
    }
}

// Old work folders in the web-upload folder are pruned, except those holding a
// picture an upload queue still names: with a web-only transfer it is the only copy.
TEST_F(TransferRun, WebCopiesAQueueStillNamesAreNeverPruned) {
    picture("DCIM/100ABCDE/ABCD0001.JPG");
    openSource();
    host.settings.CheckLocal = 0;
    const fs::path web = host.web;
    for (const char* folder : {"20240101-101010", "20240102-101010", "20240103-101010"}) {
        fs::create_directories(web / folder);
        std::ofstream(web / folder / "ABCD0001.JPG") << folder;
        const struct timespec old[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 48 * 3600, 0}};
        ASSERT_EQ(0, ::utimensat(AT_FDCWD, (web / folder).c_str(), old, 0));
    }
    // one hand-over the upload program has not read yet, one queue it kept
    const fs::path temp = plat::SystemRoot::current().tempPath();
    std::ofstream(temp / "vorelAb12Cd") << "[FileParameters]\nSource1=" << (web / "20240101-101010/ABCD0001.JPG").string()
                                        << "\nOwner1=0\n[General]\nTotalItems=1 \n";
    std::ofstream(temp / "vorel-kept.ini") << "[FileParameters]\nSource1=" << (web / "20240103-101010/ABCD0001.JPG").string()
                                           << "\nOwner1=0\n[General]\nTotalItems=1 \n";

    ASSERT_EQ(TransResult_Done, runTransfer());
    EXPECT_TRUE(fs::exists(web / "20240101-101010/ABCD0001.JPG"));
    EXPECT_FALSE(fs::exists(web / "20240102-101010"));
    EXPECT_TRUE(fs::exists(web / "20240103-101010/ABCD0001.JPG"));
}

// A picture whose caption cannot be written (its IPTC block is damaged) comes
// over unchanged apart from that, and the end of the run names it.
TEST_F(TransferRun, ACaptionThatCannotBeWrittenIsNamedAndThePictureStillComesOver) {
    picture("DCIM/100ABCDE/ABCD0001.JPG", 64, 48, true);
    picture("DCIM/100ABCDE/ABCD0002.JPG", 64, 48, true);
    {
        // a caption dataset that claims more bytes than the block holds
        const uint8_t iim[] = {0x1C, 2, 25, 0, 3, 'a', 'b', 'c', 0x1C, 2, 120, 0x7F, 0xFF, 'x'};
        std::string body("Photoshop 3.0", 14);
        body += std::string("8BIM\x04\x04\0\0", 8);
        body += std::string{0, 0, 0, static_cast<char>(sizeof iim)};
        body.append(reinterpret_cast<const char*>(iim), sizeof iim);
        const size_t len = body.size() + 2;
        const fs::path p = card / "DCIM/100ABCDE/ABCD0002.JPG";
        std::string jpeg = bytes(p);
        jpeg.insert(2, std::string{'\xFF', '\xED', static_cast<char>(len >> 8), static_cast<char>(len & 0xFF)} + body);
        std::ofstream(p, std::ios::binary | std::ios::trunc) << jpeg;
    }
    openSource();
    host.settings.CheckWeb = 0;
    FileInfoSettings f;
    f.CaptionCopy = 1;
    host.settings.SetFileInfoSettings(f);

    ASSERT_EQ(TransResult_Done, runTransfer());
    ASSERT_EQ(2u, filesBelow(pictures()).size());
    ASSERT_EQ(std::vector<uint32_t>{61695}, boxes);
    EXPECT_NE(std::string::npos, boxTexts[0].find("100ABCDE/ABCD0002.JPG")) << boxTexts[0];
    EXPECT_EQ(std::string::npos, boxTexts[0].find("ABCD0001")) << boxTexts[0];
}

TEST(TransferProgress, PositionsWithinAStep) {
    struct Case {
        uint64_t done, total;
        int32_t position, weight, expected;
    } cases[] = {
        {0, 100, 30, 20, 30},
        {50, 100, 30, 20, 40},
        {100, 100, 30, 20, 50},
        {0, 0, 50, 20, 70},            // an empty file: no division by zero
        {3, 7, 0, 30, 12},             // smaller than the weight
        {uint64_t{5} << 32, uint64_t{10} << 32, 70, 20, 80},   // past 4 GiB
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, CTransferCtrl::ProgressPosition(c.done, c.total, c.position, c.weight))
            << c.done << "/" << c.total;
}

}  // namespace
