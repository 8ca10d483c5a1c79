#include "platform/msg/SessionEnd.h"

#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace plat {
namespace {

int signalPipe[2] = {-1, -1};
std::mutex windowsMutex;
std::vector<WindowHandle> windows;

void onSignal(int signo) {
    const int saved = errno;
    const char byte = static_cast<char>(signo);
    [[maybe_unused]] ssize_t n = write(signalPipe[1], &byte, 1);
    errno = saved;
}

std::vector<WindowHandle> registeredWindows() {
    std::lock_guard lock(windowsMutex);
    return windows;
}

// On the UI thread: ask, then tell.
void endSession() {
    std::vector<WindowHandle> targets = registeredWindows();
    std::erase_if(targets, [](WindowHandle w) { return !isWindow(w); });
    if (targets.empty()) {
        QCoreApplication::quit();
        return;
    }
    bool allAgree = true;
    for (WindowHandle w : targets) {
        if (sendMessage(w, kMsgQueryEndSession, 0, 0) == 0) allAgree = false;
    }
    for (WindowHandle w : targets) sendMessage(w, kMsgEndSession, allAgree ? 1 : 0, 0);
}

void drainPipe() {
    char buffer[64];
    while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
}

}  // namespace

bool installSessionEndHandling(std::string* error) {
    if (signalPipe[0] >= 0) return true;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        if (error) *error = "no application object to take the session's end to";
        return false;
    }
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error) *error = std::string("cannot make the signal pipe: ") + std::strerror(errno);
        signalPipe[0] = signalPipe[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        if (sigaction(signo, &action, nullptr) != 0) {
            if (error) *error = std::string("cannot catch a signal: ") + std::strerror(errno);
            return false;
        }
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [] {
        drainPipe();
        endSession();
    });
    return true;
}

void addSessionEndWindow(WindowHandle window) {
    std::lock_guard lock(windowsMutex);
    if (std::find(windows.begin(), windows.end(), window) == windows.end()) windows.push_back(window);
}

void removeSessionEndWindow(WindowHandle window) {
    std::lock_guard lock(windowsMutex);
    std::erase(windows, window);
}

}  // namespace plat
