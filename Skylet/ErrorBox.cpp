#include "Skylet/ErrorBox.h"

#include "platform/proc/Process.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace skylet {

namespace {

std::mutex g_programLock;
std::filesystem::path g_program;

std::filesystem::path BoxProgram() {
    std::lock_guard<std::mutex> lock(g_programLock);
    return g_program;
}

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

void WriteLine(const std::string& text) {
    const std::string line = "Error: " + text + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    if (const char* log = std::getenv("VOREL_MESSAGE_LOG"); log && *log) {
        int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd >= 0) {
            (void)!write(fd, line.data(), line.size());
            close(fd);
        }
    }
}

}  // namespace

void SetErrorBoxProgram(const std::filesystem::path& program) {
    std::lock_guard<std::mutex> lock(g_programLock);
    g_program = program;
}

bool HasDesktopDisplay() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

void ShowErrorBox(const std::string& text) {
    WriteLine(text);
    const std::filesystem::path program = BoxProgram();
    if (program.empty() || !HasDesktopDisplay()) return;
    // The answer is not wanted: the box goes its own way.
    if (plat::startDetached(program.string(), {kErrorBoxSwitch, text}, nullptr, plat::StdStreams::Null) !=
        plat::ProcResult::Ok)
        WriteLine("Unable to show the error box");
}

}  // namespace skylet
