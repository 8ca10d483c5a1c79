#include "platform/desktop/Desktop.h"

#include "platform/desktop/DesktopSession.h"

#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat {
using desktop::Datagram;
using desktop::DesktopFolder;
using desktop::DesktopSession;

namespace {

enum class SendOutcome { Delivered, NoReceiver, Failed };

// Hands a datagram to process pid's socket, never blocking.
SendOutcome sendDatagram(const DesktopFolder& folder, pid_t pid, const Datagram& d, std::string* error) {
    int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        if (error) *error = std::string("cannot make a socket: ") + std::strerror(errno);
        return SendOutcome::Failed;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = folder.socketAddress(pid);
    std::memcpy(address.sun_path, path.c_str(), std::min(path.size(), sizeof address.sun_path - 1));
    ssize_t n;
    do {
        n = sendto(sock, &d, sizeof d, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } while (n < 0 && errno == EINTR);
    const int err = errno;
    close(sock);
    if (n == static_cast<ssize_t>(sizeof d)) return SendOutcome::Delivered;
    // Nobody bound there: a process that is going or gone, not a receiver.
    if (err == ENOENT || err == ECONNREFUSED) return SendOutcome::NoReceiver;
    if (error) *error = "cannot hand the message to process " + std::to_string(pid) + ": " + std::strerror(err);
    return SendOutcome::Failed;
}

bool titleStartsWith(const std::string& title, std::string_view prefix, TitleCase mode) {
    if (mode == TitleCase::Sensitive) return title.compare(0, prefix.size(), prefix) == 0 && title.size() >= prefix.size();
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()))
        .startsWith(QString::fromUtf8(prefix.data(), static_cast<qsizetype>(prefix.size())), Qt::CaseInsensitive);
}

template <typename Match>
std::optional<TopLevelWindow> findFirst(Match match) {
    std::vector<TopLevelWindow> windows;
    if (!listTopLevelWindows(&windows)) return std::nullopt;
    for (TopLevelWindow& w : windows) {
        if (match(w)) return std::move(w);
    }
    return std::nullopt;
}

bool sendToProcess(const TopLevelWindow& target, Datagram d, std::string* error) {
    auto folder = DesktopFolder::open(error);
    if (!folder) return false;
    SendOutcome outcome = sendDatagram(*folder, target.pid, d, error);
    if (outcome == SendOutcome::NoReceiver && error) *error = "the window's process is gone";
    return outcome == SendOutcome::Delivered;
}

}  // namespace

bool registerTopLevelWindow(WindowHandle window, std::string_view title, WindowState state,
                            std::function<void()> restore, std::string* error) {
    if (!window) {
        if (error) *error = "no window";
        return false;
    }
    return DesktopSession::instance().add(window, title, state, std::move(restore), error);
}

void unregisterTopLevelWindow(WindowHandle window) { DesktopSession::instance().remove(window); }

bool setTopLevelTitle(WindowHandle window, std::string_view title) {
    return DesktopSession::instance().change(window, [&](TopLevelWindow& w) { w.title = std::string(title); }, false);
}

bool setTopLevelState(WindowHandle window, WindowState state) {
    return DesktopSession::instance().change(window, [&](TopLevelWindow& w) { w.state = state; }, false);
}

bool bringTopLevelToFront(WindowHandle window) {
    return DesktopSession::instance().change(window, [](TopLevelWindow&) {}, true);
}

bool listTopLevelWindows(std::vector<TopLevelWindow>* windows, std::string* error) {
    windows->clear();
    auto folder = DesktopFolder::open(error);
    if (!folder) return false;
    for (auto& entry : folder->liveEntries()) {
        for (auto& w : entry.windows) windows->push_back(std::move(w));
    }
    std::stable_sort(windows->begin(), windows->end(),
                     [](const TopLevelWindow& a, const TopLevelWindow& b) { return a.zOrder > b.zOrder; });
    return true;
}

std::optional<TopLevelWindow> findTopLevelByTitlePrefix(std::string_view prefix, TitleCase mode) {
    if (prefix.empty()) return std::nullopt;   // would match every window
    return findFirst([&](const TopLevelWindow& w) { return titleStartsWith(w.title, prefix, mode); });
}

std::optional<TopLevelWindow> findTopLevelByTitle(std::string_view title) {
    return findFirst([&](const TopLevelWindow& w) { return w.title == title; });
}

bool restoreAndRaise(const TopLevelWindow& window, std::string* error) {
    if (window.pid == getpid()) {
        if (DesktopSession::instance().deliverRestore(window.window.id())) return true;
        if (error) *error = "the window is gone";
        return false;
    }
    Datagram d;
    d.kind = Datagram::Restore;
    d.window = window.window.id();
    return sendToProcess(window, d, error);
}

bool postToTopLevel(const TopLevelWindow& window, uint32_t message, WParam wParam, LParam lParam) {
    if (window.pid == getpid()) return DesktopSession::instance().deliverPost(window.window.id(), message, wParam, lParam);
    Datagram d;
    d.kind = Datagram::Post;
    d.window = window.window.id();
    d.message = message;
    d.wParam = wParam;
    d.lParam = lParam;
    return sendToProcess(window, d, nullptr);
}

bool broadcastMessage(uint32_t message, WParam wParam, LParam lParam, std::string* error) {
    auto folder = DesktopFolder::open(error);
    if (!folder) return false;
    Datagram d;
    d.kind = Datagram::Broadcast;
    d.message = message;
    d.wParam = wParam;
    d.lParam = lParam;
    bool all = true;
    const pid_t self = getpid();
    for (const auto& entry : folder->liveEntries()) {
        if (entry.pid == self) {
            DesktopSession::instance().deliverBroadcast(message, wParam, lParam);
            continue;
        }
        if (sendDatagram(*folder, entry.pid, d, error) == SendOutcome::Failed) all = false;
    }
    return all;
}

}  // namespace plat
