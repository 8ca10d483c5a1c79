#include "platform/sysroot/Installer.h"

#include <vector>

#include "platform/com/ComClasses.h"
#include "platform/registry/Registry.h"
#include "platform/sysroot/SystemRoot.h"

#include <fstream>
#include <sys/stat.h>

namespace plat {
namespace fs = std::filesystem;

namespace {

const char* const kLumoraKey = "SOFTWARE\\Vorel\\Lumora";
const char* const kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kAppPathKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Lumora.exe";
const char* const kUploaderKey = "Software\\Vorel\\VorelUploader";

std::vector<std::string> splitList(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t semi = s.find(';', start);
        std::string part = s.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        if (!part.empty()) out.push_back(part);
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    return out;
}

bool matchesPattern(const std::string& name, const std::string& pattern) {
    std::size_t star = pattern.find('*');
    if (star == std::string::npos) return name == pattern;
    std::string head = pattern.substr(0, star), tail = pattern.substr(star + 1);
    return name.size() >= head.size() + tail.size() && name.compare(0, head.size(), head) == 0 &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

bool hasExtension(const fs::path& p, const std::vector<std::string>& exts) {
    std::string e = p.extension().string();
    if (!e.empty()) e.erase(0, 1);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& x : exts) {
        if (x == e) return true;
    }
    return false;
}

bool isRegularFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(p, ec));
}

fs::path sourceFromCache(const fs::path& build) {
    std::ifstream f(build / "CMakeCache.txt");
    std::string line;
    const std::string key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    while (std::getline(f, line)) {
        if (line.compare(0, key.size(), key) == 0) return line.substr(key.size());
    }
    return {};
}

bool setString(const RegKey& key, const char* name, const std::string& value, std::ostream& log) {
    RegResult r = key.setString(name, value);
    if (r != RegResult::Ok) log << "error   cannot write " << name << ": " << describe(r) << "\n";
    return r == RegResult::Ok;
}

bool readString(Hive hive, const char* path, const char* name, std::string* value) {
    RegKey key;
    if (Registry::open(hive, path, &key) != RegResult::Ok) return false;
    char buf[1024];
    RegType type = RegType::None;
    if (key.queryString(name, buf, sizeof buf, &type) != RegResult::Ok || type != RegType::String) return false;
    *value = buf;
    return true;
}

bool isFolder(const std::string& p) {
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec);
}

}  // namespace

Installer::Installer(InstallOptions options) : options_(std::move(options)) {
    if (options_.installDir.empty()) options_.installDir = SystemRoot(options_.root).defaultInstallDir();
    if (options_.source.empty() && !options_.build.empty()) options_.source = sourceFromCache(options_.build);
}

bool Installer::normaliseLanguage(std::string* language) {
    std::string up = *language;
    for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* l : {"USA", "JPN", "FRN", "GER", "SPN"}) {
        if (up == l) {
            *language = up;
            return true;
        }
    }
    return false;
}

fs::path Installer::placeDir(InstallPlace place) const {
    SystemRoot root(options_.root);
    switch (place) {
    case InstallPlace::InstallDir: return options_.installDir;
    case InstallPlace::HelpDir: return options_.installDir / "help";
    case InstallPlace::SkyletDir: return root.programFilesDir() / "Vorel" / "Skylet";
    case InstallPlace::SkyletHelpDir: return root.programFilesDir() / "Vorel" / "Skylet" / "help";
    case InstallPlace::QuillbaseDir: return root.programFilesDir() / "Quillbase";
    case InstallPlace::LibraryDir: return root.commonFilesDir() / "Vorel" / "Library";
    case InstallPlace::DornModsDir: return root.commonFilesDir() / "Vorel" / "DornMods";
    }
    return options_.installDir;
}

fs::path Installer::originDir(InstallOrigin origin) const {
    return origin == InstallOrigin::Build ? options_.build : options_.source;
}

int Installer::install(std::ostream& log) {
    if (!normaliseLanguage(&options_.language)) {
        log << "error   unknown language " << options_.language << " (USA, JPN, FRN, GER or SPN)\n";
        return 2;
    }
    std::error_code ec;
    if (!fs::is_directory(options_.build, ec)) {
        log << "error   no build folder " << options_.build << "\n";
        return 2;
    }
    std::string error;
    if (!SystemRoot(options_.root).ensureLayout(&error)) {
        log << "error   " << error << "\n";
        return 1;
    }
    bool ok = true;
    for (InstallPlace p : {InstallPlace::InstallDir, InstallPlace::LibraryDir, InstallPlace::DornModsDir}) {
        fs::create_directories(placeDir(p), ec);
        if (ec) {
            log << "error   cannot create " << placeDir(p) << ": " << ec.message() << "\n";
            return 1;
        }
    }
    // The viewer's working folders: it refuses to start without them. The
    // web-upload folder belongs to installations with the uploader.
    std::vector<std::string> workFolders = {"temp", "Images", "Catalogs"};
    if (options_.uploader) workFolders.push_back("Brovane");
    for (const std::string& name : workFolders) {
        fs::create_directories(options_.installDir / name, ec);
        if (ec) {
            log << "error   cannot create " << (options_.installDir / name) << ": " << ec.message() << "\n";
            return 1;
        }
    }
    for (const InstallItem& item : installManifest()) {
        if (item.uploader && !options_.uploader) continue;
        ok = installItem(item, log) && ok;
    }
    if (!options_.uploader) ok = removeUploader(log) && ok;
    ok = writeMachineValues(log) && ok;
    ok = registerServers(log) && ok;
    if (options_.uploader) ok = writeUploaderValues(log) && ok;
    log << (ok ? "done    " : "failed  ") << options_.root.string() << "\n";
    return ok ? 0 : 1;
}

bool Installer::installItem(const InstallItem& item, std::ostream& log) {
    const fs::path base = originDir(item.origin);
    const fs::path to = placeDir(item.place);
    std::error_code ec;
    if (item.kind == InstallKind::File) {
        for (const std::string& candidate : splitList(item.from)) {
            std::error_code fe;
            if (fs::is_regular_file(base / candidate, fe)) return installFile(base / candidate, to, log);
        }
        log << "absent  " << item.name << " (not in this build)\n";
        return true;
    }
    const fs::path folder = base / item.from;
    if (!fs::is_directory(folder, ec)) {
        log << "absent  " << item.name << " (not in this build)\n";
        return true;
    }
    bool ok = true;
    int count = 0;
    if (item.kind == InstallKind::Pattern) {
        for (const auto& e : fs::directory_iterator(folder, ec)) {
            if (!isRegularFile(e.path()) || !matchesPattern(e.path().filename().string(), item.pattern)) continue;
            ok = installFile(e.path(), to, log) && ok;
            ++count;
        }
    } else {
        const std::vector<std::string> exts = splitList(item.pattern);
        for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!isRegularFile(it->path()) || !hasExtension(it->path(), exts)) continue;
            if (it->path().filename() == "CMakeLists.txt") continue;  // the build's, not a page
            ok = installFile(it->path(), to / fs::relative(it->path().parent_path(), folder), log) && ok;
            ++count;
        }
    }
    if (count == 0) log << "absent  " << item.name << " (none in this build)\n";
    return ok;
}

// Copies into a temporary name beside the target, then renames: a program that
// runs from the old file keeps running, and nobody sees half a file.
bool Installer::installFile(const fs::path& from, const fs::path& toDir, std::ostream& log) {
    std::error_code ec;
    fs::create_directories(toDir, ec);
    const fs::path target = toDir / from.filename();
    const fs::path temp = toDir / ("." + from.filename().string() + ".installing");
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(temp, fs::status(from).permissions(), ec);
    if (!ec) fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp);
        log << "error   cannot install " << target << ": " << ec.message() << "\n";
        return false;
    }
    log << "install " << target.string() << "\n";
    return true;
}

bool Installer::removeUploader(std::ostream& log) {
    std::error_code ec;
    const fs::path dir = placeDir(InstallPlace::SkyletDir);
    if (fs::exists(dir, ec)) {
        fs::remove_all(dir, ec);
        if (ec) {
            log << "error   cannot remove " << dir << ": " << ec.message() << "\n";
            return false;
        }
        log << "remove  " << dir.string() << "\n";
    }
    return succeeded(unregisterLocalServer(kUploadServerClsid));
}

bool Installer::writeMachineValues(std::ostream& log) {
    SystemRoot root(options_.root);
    RegKey lumora, current, appPath;
    RegResult r = Registry::create(Hive::LocalMachine, kLumoraKey, &lumora);
    if (r == RegResult::Ok) r = Registry::create(Hive::LocalMachine, kCurrentVersionKey, &current);
    if (r == RegResult::Ok) r = Registry::create(Hive::LocalMachine, kAppPathKey, &appPath);
    if (r != RegResult::Ok) {
        log << "error   machine registry: " << describe(r) << "\n";
        return false;
    }
    bool ok = setString(lumora, "InstallDir", options_.installDir.string(), log);
    ok = setString(lumora, "Version", kVersion, log) && ok;
    ok = setString(lumora, "Language", options_.language, log) && ok;
    ok = setString(current, "ProgramFilesDir", root.programFilesDir().string(), log) && ok;
    ok = setString(current, "CommonFilesDir", root.commonFilesDir().string(), log) && ok;
    ok = setString(appPath, "", (options_.installDir / "Lumora").string(), log) && ok;
    ok = setString(appPath, "Path", options_.installDir.string(), log) && ok;
    if (ok) log << "values  InstallDir, Version, Language, ProgramFilesDir, CommonFilesDir, App Paths\n";
    return ok;
}

// The class registrations of the local servers that are installed.
bool Installer::registerServers(std::ostream& log) {
    struct Server {
        const char* clsid;
        fs::path program;
    };
    const Server servers[] = {
        {kUploadServerClsid, placeDir(InstallPlace::SkyletDir) / "Skylet"},
        {kCatalogClsid, placeDir(InstallPlace::QuillbaseDir) / "Quillbase"},
    };
    bool ok = true;
    for (const Server& s : servers) {
        if (!isRegularFile(s.program)) continue;
        HResult r = registerLocalServer(s.clsid, s.program);
        if (failed(r)) {
            log << "error   class registration " << s.clsid << ": " << describeHResult(r) << "\n";
            ok = false;
            continue;
        }
        log << "class   " << s.clsid << " -> " << s.program.string() << "\n";
    }
    return ok;
}

bool Installer::writeUploaderValues(std::ostream& log) {
    RegKey key;
    RegResult r = Registry::create(Hive::CurrentUser, kUploaderKey, &key);
    if (r != RegResult::Ok) {
        log << "error   uploader values: " << describe(r) << "\n";
        return false;
    }
    std::string base = options_.albumUrl;
    bool ok = setString(key, "BrovaneURL", base, log);
    ok = setString(key, "PasswordURL", base + "password.html", log) && ok;
    ok = setString(key, "MemberURL", base + "member.html", log) && ok;
    if (ok) log << "values  BrovaneURL " << base << "\n";
    return ok;
}

bool Installer::itemInstalled(const InstallItem& item) const {
    const fs::path to = placeDir(item.place);
    std::error_code ec;
    if (item.kind == InstallKind::File) {
        for (const std::string& candidate : splitList(item.from)) {
            if (isRegularFile(to / fs::path(candidate).filename())) return true;
        }
        return false;
    }
    if (item.kind == InstallKind::Tree) return fs::is_directory(to, ec) && !fs::is_empty(to, ec);
    for (const auto& e : fs::directory_iterator(to, ec)) {
        if (matchesPattern(e.path().filename().string(), item.pattern)) return true;
    }
    return false;
}

int Installer::check(std::ostream& log) {
    bool ok = true;
    auto fail = [&](const std::string& what) {
        log << "FAIL    " << what << "\n";
        ok = false;
    };
    SystemRoot root(options_.root);
    std::error_code ec;
    if (!fs::is_directory(options_.root, ec)) {
        fail("no system root at " + options_.root.string());
        return 1;
    }
    for (const fs::path& p : {root.registryDir(), root.programFilesDir(), root.commonFilesDir(), root.runDir(), root.tempDir()}) {
        struct stat st {};
        if (stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) fail("missing folder " + p.string());
    }
    for (const fs::path& p : {root.runDir(), root.tempDir()}) {
        struct stat st {};
        if (stat(p.c_str(), &st) == 0 && ((st.st_mode & 077) != 0 || st.st_uid != geteuid()))
            fail(p.string() + " is not private to this user");
    }

    std::string installDir, version, language, programFiles, commonFiles, appPath;
    if (!readString(Hive::LocalMachine, kLumoraKey, "InstallDir", &installDir) || !isFolder(installDir))
        fail("InstallDir missing or not a folder");
    else log << "ok      InstallDir " << installDir << "\n";
    if (!readString(Hive::LocalMachine, kLumoraKey, "Version", &version) || version.compare(0, 5, kVersion) != 0)
        fail("Version missing or not " + std::string(kVersion));
    else log << "ok      Version " << version << "\n";
    if (!readString(Hive::LocalMachine, kLumoraKey, "Language", &language) || !normaliseLanguage(&language))
        fail("Language missing or unknown");
    else log << "ok      Language " << language << "\n";
    if (!readString(Hive::LocalMachine, kCurrentVersionKey, "ProgramFilesDir", &programFiles) || !isFolder(programFiles))
        fail("ProgramFilesDir missing or not a folder");
    else log << "ok      ProgramFilesDir " << programFiles << "\n";
    if (!readString(Hive::LocalMachine, kCurrentVersionKey, "CommonFilesDir", &commonFiles) || !isFolder(commonFiles))
        fail("CommonFilesDir missing or not a folder");
    else log << "ok      CommonFilesDir " << commonFiles << "\n";
    if (!readString(Hive::LocalMachine, kAppPathKey, "", &appPath)) fail("App Paths of the viewer missing");
    else log << "ok      App Paths " << appPath << "\n";
    if (!ok) return 1;

    options_.installDir = installDir;
    for (const InstallItem& item : installManifest()) {
        log << (itemInstalled(item) ? "present " : "missing ") << item.name << "\n";
    }
    const fs::path skylet = placeDir(InstallPlace::SkyletDir) / "Skylet";
    if (isRegularFile(skylet)) {
        std::string server;
        std::string key = std::string("CLSID\\") + kUploadServerClsid + "\\LocalServer32";
        if (!readString(Hive::ClassesRoot, key.c_str(), "", &server) || server != skylet.string())
            fail("upload server class not registered for " + skylet.string());
        else log << "ok      upload server class " << server << "\n";
        std::string url;
        if (!readString(Hive::CurrentUser, kUploaderKey, "BrovaneURL", &url)) fail("album service address missing");
        else log << "ok      BrovaneURL " << url << "\n";
    } else {
        log << "note    no upload server installed\n";
    }
    return ok ? 0 : 1;
}

}  // namespace plat
