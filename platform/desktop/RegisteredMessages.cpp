#include "platform/desktop/RegisteredMessages.h"

#include "platform/msg/Messages.h"
#include "platform/sysroot/SystemRoot.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

// One line per name: "<number>\t<name>".
bool readAll(int fd, std::string* text) {
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text->append(buffer, static_cast<size_t>(n));
    }
}

bool sameName(std::string_view a, std::string_view b) {
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive) == 0;
}

// The number of name in the table, or 0; *highest gets the largest number used.
uint32_t lookUp(const std::string& table, std::string_view name, uint32_t* highest) {
    *highest = 0;
    size_t start = 0;
    while (start < table.size()) {
        size_t end = table.find('\n', start);
        if (end == std::string::npos) end = table.size();
        std::string_view line(table.data() + start, end - start);
        start = end + 1;
        size_t tab = line.find('\t');
        if (tab == std::string_view::npos) continue;
        uint32_t number = static_cast<uint32_t>(std::strtoul(std::string(line.substr(0, tab)).c_str(), nullptr, 10));
        if (number < kFirstRegisteredMessage || number > kLastRegisteredMessage) continue;
        *highest = std::max(*highest, number);
        if (sameName(line.substr(tab + 1), name)) return number;
    }
    return 0;
}

}  // namespace

uint32_t registerMessage(std::string_view name, std::string* error) {
    if (name.empty() || name.find('\n') != std::string_view::npos) {
        if (error) *error = "a message name must be one non-empty line";
        return 0;
    }
    const auto run = SystemRoot::current().runDir();
    struct stat st {};
    if (stat(run.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = "the runtime folder " + run.string() + " is missing: lay out the system root first";
        return 0;
    }
    const auto path = run / "messages";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (error) *error = "cannot open the message table " + path.string() + ": " + std::strerror(errno);
        return 0;
    }
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    std::string table;
    uint32_t number = 0;
    if (!readAll(fd, &table)) {
        if (error) *error = "cannot read the message table " + path.string() + ": " + std::strerror(errno);
    } else {
        uint32_t highest = 0;
        number = lookUp(table, name, &highest);
        if (number == 0) {
            const uint32_t next = highest == 0 ? kFirstRegisteredMessage : highest + 1;
            if (next > kLastRegisteredMessage) {
                if (error) *error = "no message numbers left in " + path.string();
            } else {
                // A torn last line (a writer that crashed) is closed first.
                std::string line = (!table.empty() && table.back() != '\n') ? "\n" : "";
                line += std::to_string(next) + "\t" + std::string(name) + "\n";
                if (pwrite(fd, line.data(), line.size(), static_cast<off_t>(table.size())) == static_cast<ssize_t>(line.size()) &&
                    fsync(fd) == 0) {
                    number = next;
                } else {
                    if (error) *error = "cannot write the message table " + path.string() + " (is run/ full?): " + std::strerror(errno);
                    if (ftruncate(fd, static_cast<off_t>(table.size())) != 0) {
                        // the partial line is closed by the next writer
                    }
                }
            }
        }
    }
    flock(fd, LOCK_UN);
    close(fd);
    return number;
}

}  // namespace plat
