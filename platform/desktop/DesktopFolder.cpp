#include "platform/desktop/DesktopFolder.h"

#include "platform/sysroot/SystemRoot.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat::desktop {
namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "vorel-desktop 1";

std::string escapeTitle(std::string_view title) {
    std::string out;
    for (char c : title) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string unescapeTitle(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char n = text[++i];
        out += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
    }
    return out;
}

std::string errnoText(const std::string& what, const fs::path& p) {
    return what + " " + p.string() + ": " + std::strerror(errno);
}

// Small whole-file reads and writes with close-on-exec descriptors (a program
// started by another thread meanwhile must not inherit them).
bool readSmallFile(const fs::path& path, std::string* text) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    char buffer[4096];
    text->clear();
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(fd);
            return n == 0;
        }
        text->append(buffer, static_cast<size_t>(n));
    }
}

std::string firstLine(const fs::path& path) {
    std::string text;
    if (!readSmallFile(path, &text)) return {};
    return text.substr(0, text.find('\n'));
}

bool parsePid(const std::string& name, pid_t* pid, const std::string& suffix = ".win") {
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    std::string digits = name.substr(0, name.size() - suffix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) return false;
    *pid = static_cast<pid_t>(std::stol(digits));
    return *pid > 0;
}

}  // namespace

uint64_t processStartTime(pid_t pid) {
    const std::string line = firstLine("/proc/" + std::to_string(pid) + "/stat");
    if (line.empty()) return 0;
    size_t close = line.rfind(')');   // the name may hold blanks and brackets
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    // Field 22 (start time) is the 20th after the name.
    for (int i = 3; i <= 22; ++i) {
        if (!(fields >> field)) return 0;
    }
    return std::strtoull(field.c_str(), nullptr, 10);
}

bool processRunning(pid_t pid) {
    if (pid <= 0) return false;
    const std::string line = firstLine("/proc/" + std::to_string(pid) + "/stat");
    if (line.empty()) return false;
    size_t close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return false;
    const char state = line[close + 2];
    return state != 'Z' && state != 'X';
}

bool processAlive(pid_t pid, uint64_t startTime) {
    if (pid <= 0) return false;
    if (kill(pid, 0) != 0 && errno == ESRCH) return false;
    uint64_t now = processStartTime(pid);
    return now != 0 && now == startTime && processRunning(pid);
}

std::unique_ptr<DesktopFolder> DesktopFolder::open(std::string* error) {
    const fs::path run = SystemRoot::current().runDir();
    struct stat st {};
    if (stat(run.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = "the runtime folder " + run.string() + " is missing: lay out the system root first";
        return nullptr;
    }
    const fs::path dir = run / "desktop";
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error) *error = errnoText("cannot make the window directory", dir);
        return nullptr;
    }
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        if (error) *error = "the window directory " + dir.string() + " is not a folder of this user";
        return nullptr;
    }
    int dirFd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        if (error) *error = errnoText("cannot open", dir);
        return nullptr;
    }
    const fs::path lockPath = dir / "lock";
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0) {
        if (error) *error = errnoText("cannot open the lock file", lockPath);
        close(dirFd);
        return nullptr;
    }
    return std::unique_ptr<DesktopFolder>(new DesktopFolder(dir, dirFd, lockFd));
}

DesktopFolder::DesktopFolder(fs::path path, int dirFd, int lockFd)
    : path_(std::move(path)), dirFd_(dirFd), lockFd_(lockFd) {}

DesktopFolder::~DesktopFolder() {
    close(dirFd_);
    close(lockFd_);
}

std::string DesktopFolder::socketAddress(pid_t pid) const {
    return "/proc/self/fd/" + std::to_string(dirFd_) + "/" + std::to_string(pid) + ".sock";
}

fs::path DesktopFolder::entryPath(pid_t pid) const { return path_ / (std::to_string(pid) + ".win"); }

DesktopFolder::Lock::Lock(int fd) : fd_(fd) {
    while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

DesktopFolder::Lock::~Lock() { flock(fd_, LOCK_UN); }

uint64_t DesktopFolder::nextZOrder() const {
    const fs::path counter = path_ / "zorder";
    const uint64_t value = std::strtoull(firstLine(counter).c_str(), nullptr, 10) + 1;
    int fd = ::open(counter.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        const std::string text = std::to_string(value) + "\n";
        [[maybe_unused]] ssize_t n = write(fd, text.data(), text.size());
        close(fd);
    }
    return value;
}

bool DesktopFolder::writeEntry(const ProcessEntry& entry, std::string* error) const {
    std::ostringstream text;
    text << kHeader << ' ' << entry.pid << ' ' << entry.startTime << '\n';
    for (const TopLevelWindow& w : entry.windows) {
        text << w.window.id() << '\t' << w.zOrder << '\t' << static_cast<int>(w.state) << '\t' << escapeTitle(w.title)
             << '\n';
    }
    const std::string data = text.str();
    const fs::path final = entryPath(entry.pid);
    const fs::path temp = path_ / (std::to_string(entry.pid) + ".win.tmp");
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error) *error = errnoText("cannot write the window directory entry", temp);
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (error) *error = errnoText("cannot write the window directory entry (is run/ full?)", temp);
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (rename(temp.c_str(), final.c_str()) != 0) {
        if (error) *error = errnoText("cannot replace", final);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void DesktopFolder::removeEntry(pid_t pid) const {
    unlink(entryPath(pid).c_str());
    unlink((path_ / (std::to_string(pid) + ".sock")).c_str());
}

bool DesktopFolder::readEntry(pid_t pid, ProcessEntry* entry) const {
    std::string text;
    if (!readSmallFile(entryPath(pid), &text)) return false;
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line)) return false;
    std::istringstream head(line);
    std::string word, version;
    ProcessEntry e;
    if (!(head >> word >> version >> e.pid >> e.startTime) || word + " " + version != kHeader || e.pid != pid) return false;
    while (std::getline(in, line)) {
        size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
        if (a == std::string::npos || b == std::string::npos || c == std::string::npos) continue;
        TopLevelWindow w;
        w.pid = pid;
        w.window = WindowHandle(static_cast<uint32_t>(std::strtoul(line.substr(0, a).c_str(), nullptr, 10)));
        w.zOrder = std::strtoull(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10);
        int state = std::atoi(line.substr(b + 1, c - b - 1).c_str());
        w.state = state >= 0 && state <= 3 ? static_cast<WindowState>(state) : WindowState::Hidden;
        w.title = unescapeTitle(std::string_view(line).substr(c + 1));
        e.windows.push_back(std::move(w));
    }
    *entry = std::move(e);
    return true;
}

std::vector<ProcessEntry> DesktopFolder::liveEntries() const {
    std::vector<ProcessEntry> live;
    std::vector<pid_t> dead;
    std::error_code ec;
    std::vector<pid_t> orphanSockets;
    for (const auto& item : fs::directory_iterator(path_, ec)) {
        pid_t pid = 0;
        const std::string name = item.path().filename().string();
        // A socket whose process crashed before (or without) writing its entry.
        if (parsePid(name, &pid, ".sock")) {
            if (!fs::exists(entryPath(pid)) && !processRunning(pid)) orphanSockets.push_back(pid);
            continue;
        }
        if (!parsePid(name, &pid)) continue;
        ProcessEntry entry;
        if (!readEntry(pid, &entry) || !processAlive(pid, entry.startTime)) {
            dead.push_back(pid);
            continue;
        }
        live.push_back(std::move(entry));
    }
    if (!dead.empty() || !orphanSockets.empty()) {
        Lock held = lock();
        for (pid_t pid : orphanSockets) {
            if (!processRunning(pid)) unlink((path_ / (std::to_string(pid) + ".sock")).c_str());
        }
        for (pid_t pid : dead) {
            // Checked again under the lock: a new process with this pid may have just registered.
            ProcessEntry again;
            if (readEntry(pid, &again) && processAlive(pid, again.startTime)) continue;
            removeEntry(pid);
        }
    }
    return live;
}

}  // namespace plat::desktop
