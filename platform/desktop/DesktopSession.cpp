#include "platform/desktop/DesktopSession.h"

#include "platform/msg/Messaging.h"
#include "platform/sysroot/SystemRoot.h"

#include <QWidget>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat::desktop {
namespace {

bool fillAddress(const std::string& path, sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, path.c_str(), path.size());
    return true;
}

// The default restore: the receiver's widget window is shown normal and raised.
void restoreWidgetOf(MessageReceiver& receiver) {
    for (QObject* o = &receiver; o; o = o->parent()) {
        if (auto* widget = qobject_cast<QWidget*>(o)) {
            QWidget* window = widget->window();
            if (window->isMinimized() || window->isHidden()) window->showNormal();
            window->raise();
            window->activateWindow();
            return;
        }
    }
}

void stopAtExit() { DesktopSession::instance().stop(); }

}  // namespace

DesktopSession& DesktopSession::instance() {
    static DesktopSession* session = [] {
        auto* s = new DesktopSession;   // lives to the end; stopped at exit
        std::atexit(stopAtExit);
        return s;
    }();
    return *session;
}

bool DesktopSession::startLocked(std::unique_lock<std::mutex>& lock, std::string* error) {
    if (folder_ && folder_->path() == SystemRoot::current().runDir() / "desktop") return true;
    stopLocked(lock);   // the root changed (tests switch roots): start over in the new one
    auto folder = DesktopFolder::open(error);
    if (!folder) return false;
    const pid_t pid = getpid();
    int sock = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        if (error) *error = std::string("cannot make the desktop socket: ") + std::strerror(errno);
        return false;
    }
    int on = 1;
    setsockopt(sock, SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
    sockaddr_un address{};
    fillAddress(folder->socketAddress(pid), &address);
    {
        DesktopFolder::Lock held = folder->lock();
        // A file left by a crashed process with our pid is never trusted: replaced.
        unlink(address.sun_path);
        if (bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (error) *error = "cannot bind the desktop socket in " + folder->path().string() + ": " + std::strerror(errno);
            close(sock);
            return false;
        }
    }
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        if (error) *error = std::string("cannot make the listener's wake-up: ") + std::strerror(errno);
        close(sock);
        return false;
    }
    folder_ = std::move(folder);
    startTime_ = processStartTime(pid);
    socket_ = sock;
    wakeFd_ = wake;
    listener_ = std::thread([this] { listen(); });
    return true;
}

bool DesktopSession::rewriteEntryLocked(std::string* error) {
    ProcessEntry entry;
    entry.pid = getpid();
    entry.startTime = startTime_;
    for (const auto& [id, local] : windows_) entry.windows.push_back(local.info);
    DesktopFolder::Lock held = folder_->lock();
    return folder_->writeEntry(entry, error);
}

bool DesktopSession::add(WindowHandle window, std::string_view title, WindowState state,
                         std::function<void()> restore, std::string* error) {
    std::unique_lock lock(mutex_);
    if (!startLocked(lock, error)) return false;
    Local local;
    local.info.pid = getpid();
    local.info.window = window;
    local.info.title = std::string(title);
    local.info.state = state;
    {
        DesktopFolder::Lock held = folder_->lock();
        local.info.zOrder = folder_->nextZOrder();
    }
    local.restore = std::move(restore);
    windows_[window.id()] = std::move(local);
    if (!rewriteEntryLocked(error)) {
        windows_.erase(window.id());
        return false;
    }
    return true;
}

void DesktopSession::remove(WindowHandle window) {
    std::lock_guard lock(mutex_);
    if (windows_.erase(window.id()) == 0 || !folder_) return;
    rewriteEntryLocked(nullptr);
}

bool DesktopSession::change(WindowHandle window, const std::function<void(TopLevelWindow&)>& edit, bool raise) {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(window.id());
    if (it == windows_.end() || !folder_) return false;
    edit(it->second.info);
    if (raise) {
        DesktopFolder::Lock held = folder_->lock();
        it->second.info.zOrder = folder_->nextZOrder();
    }
    return rewriteEntryLocked(nullptr);
}

bool DesktopSession::deliverBroadcast(uint32_t message, WParam wParam, LParam lParam) {
    std::vector<WindowHandle> targets;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, local] : windows_) targets.push_back(local.info.window);
    }
    for (WindowHandle w : targets) {
        // A window destroyed without leaving the directory is stale: it goes now.
        if (!postMessage(w, message, wParam, lParam)) remove(w);
    }
    return true;
}

bool DesktopSession::deliverPost(uint32_t window, uint32_t message, WParam wParam, LParam lParam) {
    {
        std::lock_guard lock(mutex_);
        if (!windows_.count(window)) return false;
    }
    if (postMessage(WindowHandle(window), message, wParam, lParam)) return true;
    remove(WindowHandle(window));
    return false;
}

bool DesktopSession::deliverRestore(uint32_t window) {
    std::function<void()> restore;
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(window);
        if (it == windows_.end()) return false;
        restore = it->second.restore;
    }
    bool ok = postToWindowThread(WindowHandle(window), [restore](MessageReceiver& r) {
        if (restore) restore();
        else restoreWidgetOf(r);
    });
    if (!ok) {
        remove(WindowHandle(window));
        return false;
    }
    change(WindowHandle(window), [](TopLevelWindow& w) {
        if (w.state == WindowState::Minimized || w.state == WindowState::Hidden) w.state = WindowState::Normal;
    }, true);
    return true;
}

void DesktopSession::handle(const Datagram& d) {
    if (d.magic != Datagram::kMagic) return;
    switch (d.kind) {
    case Datagram::Broadcast: deliverBroadcast(d.message, d.wParam, d.lParam); break;
    case Datagram::Post: deliverPost(d.window, d.message, d.wParam, d.lParam); break;
    case Datagram::Restore: deliverRestore(d.window); break;
    default: break;
    }
}

void DesktopSession::listen() {
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        Datagram d;
        char control[CMSG_SPACE(sizeof(ucred))];
        iovec iov{&d, sizeof d};
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t n = recvmsg(socket_, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (n != static_cast<ssize_t>(sizeof d)) continue;
        // Only this user's processes may talk to our windows.
        bool sameUser = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
                ucred cred{};
                std::memcpy(&cred, CMSG_DATA(c), sizeof cred);
                sameUser = cred.uid == geteuid();
            }
        }
        if (sameUser) handle(d);
    }
}

void DesktopSession::stop() {
    std::unique_lock lock(mutex_);
    stopLocked(lock);
}

void DesktopSession::stopLocked(std::unique_lock<std::mutex>& lock) {
    if (!folder_) return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
    std::thread listener = std::move(listener_);
    lock.unlock();   // the listener may be waiting for this lock to deliver
    if (listener.joinable()) listener.join();
    lock.lock();
    if (!folder_) return;
    {
        DesktopFolder::Lock held = folder_->lock();
        folder_->removeEntry(getpid());
    }
    close(socket_);
    close(wakeFd_);
    socket_ = wakeFd_ = -1;
    windows_.clear();
    folder_.reset();
}

}  // namespace plat::desktop
