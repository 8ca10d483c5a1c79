#include "Skylet/UploadProgram.h"

#include "platform/proc/Process.h"
#include "platform/registry/Registry.h"

#include <sys/stat.h>
#include <unistd.h>

namespace skylet {

namespace {
const char* const kUploaderKey = "Software\\Vorel\\VorelUploader\\";
const char* const kQueuedDataFile = "QueuedDataFile";
const char* const kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
}  // namespace

bool MayStartUploadProgram() {
    bool running = true;
    if (plat::isProgramRunning(kUploadProgramName, &running) != plat::ProcResult::Ok) return false;
    return !running;
}

bool FindUploadProgram(std::filesystem::path* path) {
    path->clear();
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::LocalMachine, kCurrentVersionKey, &key) != plat::RegResult::Ok) return false;
    // The size first, then the value into a buffer of that size; only a string counts.
    plat::RegType type = plat::RegType::None;
    uint32_t size = 0;
    if (key.query("ProgramFilesDir", &type, nullptr, &size) != plat::RegResult::Ok || type != plat::RegType::String)
        return false;
    std::string dir(size + 1, '\0');
    if (key.queryString("ProgramFilesDir", dir.data(), size + 1) != plat::RegResult::Ok) return false;
    dir.resize(dir.find('\0'));
    if (dir.empty()) return false;
    *path = std::filesystem::path(dir) / kUploadProgramPath;
    struct stat st {};
    return stat(path->c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && access(path->c_str(), X_OK) == 0;
}

bool StoreQueuedDataFile(const std::string& queueFile, std::optional<std::string>* previous) {
    previous->reset();
    plat::RegKey key;
    if (plat::Registry::create(plat::Hive::CurrentUser, kUploaderKey, &key) != plat::RegResult::Ok) return false;
    std::string old;
    if (key.queryString(kQueuedDataFile, &old) == plat::RegResult::Ok) *previous = old;
    return key.setString(kQueuedDataFile, queueFile) == plat::RegResult::Ok;
}

bool RestoreQueuedDataFile(const std::optional<std::string>& previous) {
    plat::RegKey key;
    if (plat::Registry::create(plat::Hive::CurrentUser, kUploaderKey, &key) != plat::RegResult::Ok) return false;
    plat::RegResult r = previous ? key.setString(kQueuedDataFile, *previous) : key.deleteValue(kQueuedDataFile);
    return r == plat::RegResult::Ok || r == plat::RegResult::NotFound;
}

bool StartUploadProgram(const std::filesystem::path& program) {
    // The upload program outlives the server and its client: it gets no share of
    // their terminal or pipes.
    return plat::startDetached(program.string(), {}, nullptr, plat::StdStreams::Null) == plat::ProcResult::Ok;
}

}  // namespace skylet
