#include "viewer/browser/tests/JobTestSupport.h"

#include "viewer/browser/ImageBuffer.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/thread/Timing.h"

#include <QApplication>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
}  // namespace

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

RecordingOwner::RecordingOwner() {
    EnsureApplication();
    receiver_ = std::make_unique<plat::MessageReceiver>([this](uint32_t m, plat::WParam w, plat::LParam l) {
        posted.push_back({m, w, l});
        return plat::LResult(0);
    });
}

bool RecordingOwner::waitForDone() {
    for (int i = 0; i < 6000; ++i) {
        QCoreApplication::processEvents();
        for (const auto& p : posted)
            if (p.message == UM_WORKER_DONE) return true;
        plat::sleepMs(5);
    }
    return false;
}

std::vector<uintptr_t> RecordingOwner::progress() const {
    std::vector<uintptr_t> out;
    for (const auto& p : posted)
        if (p.message == UM_PROGRESS) out.push_back(p.wParam);
    return out;
}

uintptr_t RecordingOwner::doneParam() const {
    for (const auto& p : posted)
        if (p.message == UM_WORKER_DONE) return p.wParam;
    return 999;
}

bool FileJobAccess::IsFile(const std::string& folder, const std::string& file) {
    return fs::is_regular_file(fs::path(folder) / file);
}
int32_t FileJobAccess::GetFullPath(const std::string& folder, const std::string& file, std::string* path) {
    *path = (fs::path(folder) / file).string();
    return 0;
}
int32_t FileJobAccess::CopyFile(const std::string& sourcePath, const std::string& destination) {
    const auto it = copyFailures.find(fs::path(sourcePath).filename().string());
    if (it != copyFailures.end()) {
        WriteFile(destination, "part");   // a failed copy that leaves a piece behind
        if (cardGoesOnFailure) fs::remove(sourcePath);
        return it->second;
    }
    std::error_code ec;
    fs::copy_file(sourcePath, destination, fs::copy_options::overwrite_existing, ec);
    return ec ? -5 : 0;
}
int32_t FileJobAccess::DeleteFile(const std::string& folder, const std::string& file) {
    const auto it = deleteFailures.find(file);
    if (it != deleteFailures.end()) return it->second;
    std::error_code ec;
    return fs::remove(fs::path(folder) / file, ec) ? 0 : -5;
}
int32_t FileJobAccess::DeleteFolder(const std::string& folder) {
    if (folderResult != 0) return folderResult;
    std::error_code ec;
    fs::remove_all(folder, ec);
    return ec ? -5 : 0;
}
int32_t FileJobAccess::GetThumbnail(const std::string& folder, const std::string& file,
                                    std::unique_ptr<PictureRecord>& record, int32_t side, int32_t orientation) {
    orientations.push_back(orientation);
    if (thumbFailures.count(file) || !IsFile(folder, file)) return -5;
    ImageDescription d{side, side / 2, 1, 3};
    std::vector<uint8_t> pixels(size_t(side) * size_t(side / 2) * 3, 0);   // black
    CImageBuffer buffer;
    return MakePictureRecord(buffer, true, file, d, pixels.size(), pixels.data(), record) == 1 ? 0 : -1;
}
int FileJobAccess::Ask(plat::WindowHandle, const std::string& text, const std::string&, plat::MessageButtons,
                       plat::MessageIcon) {
    asked.push_back(text);
    if (answers.empty()) return plat::kAnswerOk;
    const int a = answers.front();
    answers.pop_front();
    return a;
}
OverwriteAnswer FileJobAccess::AskOverwrite(plat::WindowHandle, const std::string& file, bool severalFiles) {
    overwriteAsked.emplace_back(file, severalFiles);
    if (overwrites.empty()) return OverwriteAnswer::Cancel;
    const OverwriteAnswer a = overwrites.front();
    overwrites.pop_front();
    return a;
}

fs::path MakeTempDir(const std::string& tag) {
    const fs::path dir = fs::temp_directory_path() / ("browser-" + tag + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}
