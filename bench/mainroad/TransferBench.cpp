// The transfer of a card beside `cp -r` + `sync` in one process run: 192
// photographs (Debian's wallpapers in turn, about 200 MB) on a card folder made
// removable drive E:, copied by the viewer's transfer worker into a dated folder
// (each file through a temporary name, synced, renamed and checked) and by
// `cp -r` followed by `sync` into another folder on the same file system.
// Three alternating rounds each; the ratio of the medians.
#include "bench/mainroad/BenchCard.h"
#include "bench/mainroad/MainRoad.h"
#include "platform/thread/PictureHeap.h"

#include "platform/msg/MessageBox.h"
#include "platform/msg/MessageReceiver.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/transfer/TransferCtrl.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr int kPictures = 192;

class BenchHost : public TransferHost {
public:
    CViewSettings settings;
    CImageFileIf* access = nullptr;
    std::string temp, images, web;

    CViewSettings* Settings() override { return &settings; }
    CImageFileIf* PictureAccess() override { return access; }
    std::string TempFolder() override { return temp; }
    std::string ImagesFolder() override { return images; }
    std::string WebUploadFolder() override { return web; }
    bool WebUploadAvailable() override { return false; }
    plat::WindowHandle MainFrame() override { return {}; }
    bool IsClosingTarget() override { return false; }
    int32_t TargetStatus() override { return 0; }
    int AskNoExifQuestion(plat::WindowHandle) override { return 1170; }
    bool UploadFiles(const std::vector<std::string>&, int32_t* result, std::vector<std::string>*) override
    {
        *result = 0;
        return true;
    }
    std::unique_ptr<TransferCatalog> MakeCatalogLink() override { return nullptr; }
    std::string LangText(uint32_t) override { return {}; }
    std::string CaptionText(const PictureRecord&) override { return {}; }
};

// One whole transfer as the panel runs it; its result (0 when every picture arrived).
int32_t Transfer(BenchHost& host)
{
    int32_t end = -1;
    plat::MessageReceiver dialog([&end](uint32_t m, plat::WParam w, plat::LParam) -> plat::LResult {
        if (m == UM_TRANSFER_END)
            end = static_cast<int32_t>(w);
        return 0;
    });
    CTransferCtrl worker(dialog.handle(), &host);
    worker.SetMode(CTransferCtrl::kPanel);
    if (!worker.create() || !worker.resume())
        return -1;
    // the end report is a posted message: wait for events, do not spin
    while (end < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.waitUntilEnded();
    QCoreApplication::processEvents();
    return end;
}

size_t FilesBelow(const fs::path& folder)
{
    size_t n = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        n += e.is_regular_file() ? 1 : 0;
    return n;
}

// Transfers the card made of sources in alternating rounds with cp -r + sync;
// prints the row. False when a transfer failed.
bool Measure(const std::vector<std::string>& sources, const char* kind)
{
    mainroad::BenchCard card;
    card.Fill(sources, kPictures);
    if (!card.Open()) {
        mainroad::MissingRow("transfer of a card", "the card did not open");
        return true;
    }
    BenchHost host;
    host.access = &card.Access();
    host.temp = card.Folder("Lumora/temp").string();
    host.images = card.Folder("Lumora/Images").string();
    host.web = card.Folder("Lumora/Brovane").string();
    host.settings.CheckLocal = 1;
    host.settings.CheckWeb = 0;
    FileInfoSettings info;
    info.CaptionCopy = 0;
    host.settings.SetFileInfoSettings(info);

    const fs::path cpTarget = card.Folder("cp");
    std::vector<double> ours, theirs;
    const int rounds = std::getenv("MAINROAD_ROUNDS") ? std::atoi(std::getenv("MAINROAD_ROUNDS")) : 3;
    for (int round = 0; round < rounds; ++round) {
        const fs::path pictures = card.Folder("Pictures" + std::to_string(round));
        TransferSettings t = host.settings.GetTransferSettings();
        t.TransferFile = pictures.string();
        t.SerialNumber = "1";
        t.Thumbnail = 1;
        host.settings.SetTransferSettings(t);
        std::system("sync");
        double t0 = mainroad::Seconds();
        const int32_t result = Transfer(host);
        ours.push_back(mainroad::Seconds() - t0);
        if (result != 0 || FilesBelow(pictures) != kPictures) {
            std::fprintf(stderr, "the transfer ended with %d and %zu pictures\n", result, FilesBelow(pictures));
            return false;
        }
        const fs::path target = cpTarget / std::to_string(round);
        std::system("sync");
        t0 = mainroad::Seconds();
        const std::string cmd = "cp -r '" + (card.Card() / "DCIM").string() + "' '" + target.string() + "' && sync";
        if (std::system(cmd.c_str()) != 0)
            return false;
        theirs.push_back(mainroad::Seconds() - t0);
        fs::remove_all(pictures);
        fs::remove_all(target);
    }
    const double a = mainroad::Median(ours), b = mainroad::Median(theirs);
    char label[160];
    std::snprintf(label, sizeof label, "transfer of a card (%d JPEGs, %.0f MB, %s), each file synced and checked",
                  kPictures, card.Bytes() / 1e6, kind);
    mainroad::Row(label, "transfer " + mainroad::Ms(a), "cp -r + sync " + mainroad::Ms(b), a / b,
                  mainroad::Goal::AtMost, 1.25);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    // the heap as the programs keep it, for both sides of every row
    plat::keepPictureMemoryInHeap();
    QCoreApplication app(argc, argv);
    const auto photos = mainroad::AllPhotographs();
    if (photos.empty()) {
        mainroad::MissingRow("transfer of a card", "no wallpaper photographs");
        return 0;
    }
    plat::setMessageBoxResponder([](const plat::MessageBoxRequest& r) {
        std::fprintf(stderr, "message box: %s\n", r.text.c_str());
        return plat::kAnswerOk;
    });
    // A camera's card: every picture carries the small EXIF thumbnail cameras
    // write, which the transfer's preview shows. The same photographs without
    // one make the transfer build each preview from the picture.
    std::vector<std::string> cameraFiles;
    {
        mainroad::BenchCard scratch;
        cameraFiles = mainroad::WithOwnExifThumbnails(photos, scratch.Folder("exif-kept"));
        const fs::path keep = fs::temp_directory_path() / "mainroad-transfer-exif";
        fs::create_directories(keep);
        for (std::string& f : cameraFiles) {
            const fs::path to = keep / fs::path(f).filename();
            fs::copy_file(f, to, fs::copy_options::overwrite_existing);
            f = to.string();
        }
    }
    // MAINROAD_TRANSFER=camera or =wallpapers runs one card only (for profiling).
    const std::string only = std::getenv("MAINROAD_TRANSFER") ? std::getenv("MAINROAD_TRANSFER") : "";
    bool ok = true;
    if (only != "wallpapers") {
        if (!cameraFiles.empty())
            ok = Measure(cameraFiles, "camera files with EXIF thumbnails");
        else
            mainroad::MissingRow("transfer of a card of camera files", "exiftool is missing");
    }
    if (only != "camera")
        ok = Measure(photos, "wallpapers without thumbnails: each preview made from the picture") && ok;
    fs::remove_all(fs::temp_directory_path() / "mainroad-transfer-exif");
    plat::setMessageBoxResponder({});
    return ok ? 0 : 1;
}
