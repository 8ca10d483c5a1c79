#include "platform/sysroot/SystemRoot.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace fs = std::filesystem;

namespace {

std::string envOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool makeFolder(const fs::path& p, std::string* error) {
    std::error_code ec;
    fs::create_directories(p, ec);
    if (ec && !fs::is_directory(p)) {
        if (error) *error = "cannot create " + p.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// A private folder must be a real folder (not a link), owned by us, mode 0700.
bool makePrivateFolder(const fs::path& p, std::string* error) {
    if (!makeFolder(p, error)) return false;
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = p.string() + " is not a folder";
        return false;
    }
    if (st.st_uid != geteuid()) {
        if (error) *error = p.string() + " belongs to another user";
        return false;
    }
    if ((st.st_mode & 0777) != 0700 && chmod(p.c_str(), 0700) != 0) {
        if (error) *error = "cannot make " + p.string() + " private: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

SystemRoot SystemRoot::current() {
    std::string root = envOrEmpty("VOREL_ROOT");
    if (!root.empty()) return SystemRoot(root);
    std::string data = envOrEmpty("XDG_DATA_HOME");
    if (data.empty()) {
        std::string home = envOrEmpty("HOME");
        data = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
    }
    return SystemRoot(fs::path(data) / "vorel");
}

SystemRoot::SystemRoot(fs::path top) : top_(std::move(top)) {}

bool SystemRoot::ensureLayout(std::string* error) const {
    for (const fs::path& p : {top_, registryDir(), programFilesDir(), commonFilesDir(), defaultInstallDir()}) {
        if (!makeFolder(p, error)) return false;
    }
    for (const fs::path& p : {runDir(), tempDir(), keysDir()}) {
        if (!makePrivateFolder(p, error)) return false;
    }
    return true;
}

std::string SystemRoot::tempPath() const {
    if (!makePrivateFolder(tempDir(), nullptr)) return {};
    std::string s = tempDir().string();
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

}  // namespace plat
