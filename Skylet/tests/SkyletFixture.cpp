#include "Skylet/tests/SkyletFixture.h"

#include "Skylet/IJqUploadServer.h"
#include "platform/com/ComClasses.h"
#include "platform/proc/Process.h"
#include "platform/registry/Registry.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void SkyletFixture::SetUp() {
    plat::RegKey key;
    ASSERT_EQ(plat::Registry::create(plat::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", &key),
              plat::RegResult::Ok);
    ASSERT_EQ(key.setString("ProgramFilesDir", (root.path() / "Program Files").string()), plat::RegResult::Ok);
    ASSERT_EQ(plat::registerLocalServer(skylet::kJqUploadServerClassId, plat::testing::buildDir() / "Skylet/Skylet"),
              plat::hr::Ok);
    installCaravel();
    setenv("VOREL_MESSAGE_LOG", (root.path() / "messages.log").c_str(), 1);
}

void SkyletFixture::TearDown() {
    holdCaravel(false);
    for (const char* name : {"Skylet", "Caravel"}) {
        for (pid_t p : processesOfRoot(name)) {
            kill(p, SIGTERM);
            waitUntilGone(p);
        }
    }
    unsetenv("VOREL_MESSAGE_LOG");
}

void SkyletFixture::installCaravel() {
    fs::create_directories(caravelPath().parent_path());
    fs::copy_file(plat::testing::buildDir() / "Skylet/fake_caravel", caravelPath(), fs::copy_options::overwrite_existing);
}

void SkyletFixture::holdCaravel(bool hold) {
    if (hold) std::ofstream(root.path() / "caravel-hold") << "hold";
    else fs::remove(root.path() / "caravel-hold");
}

std::vector<std::string> SkyletFixture::caravelRuns(std::size_t atLeast) {
    std::vector<std::string> runs;
    for (int i = 0; i < 1000; ++i) {
        runs.clear();
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(root.path() / "caravel-runs", ec)) {
            if (e.path().extension() != ".tmp") runs.push_back(readText(e.path()));
        }
        if (runs.size() >= atLeast) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return runs;
}

std::optional<std::string> SkyletFixture::queuedDataFile() {
    plat::RegKey key;
    std::string v;
    if (plat::Registry::open(plat::Hive::CurrentUser, "Software\\Vorel\\VorelUploader", &key) != plat::RegResult::Ok ||
        key.queryString("QueuedDataFile", &v) != plat::RegResult::Ok)
        return std::nullopt;
    return v;
}

std::string SkyletFixture::messages() { return readText(root.path() / "messages.log"); }

std::vector<fs::path> SkyletFixture::queueFiles() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(root.path() / "tmp")) {
        if (e.path().filename().string().rfind("vorel", 0) == 0) out.push_back(e.path());
    }
    return out;
}

std::vector<pid_t> SkyletFixture::processesOfRoot(const char* name) {
    std::vector<pid_t> out;
    std::vector<plat::RunningProcess> list;
    plat::listUserProcesses(&list);
    const std::string mark = "VOREL_ROOT=" + root.path().string();
    for (const auto& p : list) {
        if (!plat::isProgramNamed(p, name)) continue;
        std::string env = readText("/proc/" + std::to_string(p.pid) + "/environ");
        std::size_t at = env.find(mark);
        if (at != std::string::npos && (at + mark.size() == env.size() || env[at + mark.size()] == '\0')) out.push_back(p.pid);
    }
    return out;
}

bool SkyletFixture::waitUntilGone(pid_t pid) {
    for (int i = 0; i < 3000 && plat::isProcessAlive(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !plat::isProcessAlive(pid);
}
