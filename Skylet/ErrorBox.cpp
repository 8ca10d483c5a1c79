#include "Skylet/ErrorBox.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace skylet {

void ShowErrorBox(const std::string& text) {
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

}  // namespace skylet
