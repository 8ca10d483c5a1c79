#include "platform/com/ComClasses.h"

#include "platform/registry/Registry.h"
#include "platform/sysroot/SystemRoot.h"

#include <cctype>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace fs = std::filesystem;

bool normaliseClassId(std::string_view text, std::string* out) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return false;
    std::string id = "{";
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
        id.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    *out = id + "}";
    return true;
}

namespace {
std::string serverKey(const std::string& id) { return "CLSID\\" + id + "\\LocalServer32"; }
}  // namespace

HResult registerLocalServer(std::string_view classId, const fs::path& program) {
    std::string id;
    if (!normaliseClassId(classId, &id) || program.empty()) return hr::InvalidArg;
    RegKey key;
    if (Registry::create(Hive::ClassesRoot, serverKey(id), &key) != RegResult::Ok) return hr::AccessDenied;
    return key.setString("", program.string()) == RegResult::Ok ? hr::Ok : hr::AccessDenied;
}

HResult unregisterLocalServer(std::string_view classId) {
    std::string id;
    if (!normaliseClassId(classId, &id)) return hr::InvalidArg;
    RegResult r = Registry::deleteTree(Hive::ClassesRoot, "CLSID\\" + id);
    return r == RegResult::Ok || r == RegResult::NotFound ? hr::Ok : hr::AccessDenied;
}

HResult findLocalServer(std::string_view classId, fs::path* program) {
    std::string id;
    if (!normaliseClassId(classId, &id)) return hr::InvalidArg;
    RegKey key;
    std::string path;
    if (Registry::open(Hive::ClassesRoot, serverKey(id), &key) != RegResult::Ok ||
        key.queryString("", &path) != RegResult::Ok || path.empty())
        return hr::ClassNotRegistered;
    *program = path;
    return hr::Ok;
}

fs::path comRunDir() {
    SystemRoot root = SystemRoot::current();
    if (!root.ensureLayout()) return {};
    fs::path dir = root.runDir() / "com";
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return {};
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return {};
    if ((st.st_mode & 0777) != 0700 && chmod(dir.c_str(), 0700) != 0) return {};
    return dir;
}

fs::path classSocketPath(const std::string& id) {
    fs::path dir = comRunDir();
    return dir.empty() ? dir : dir / (id + ".sock");
}

fs::path classLockPath(const std::string& id) {
    fs::path dir = comRunDir();
    return dir.empty() ? dir : dir / (id + ".lock");
}

}  // namespace plat
