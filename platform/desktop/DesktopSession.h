#pragma once
// Internal to the desktop module: this process's part of the desktop. It keeps the
// process's top-level windows, writes them to its entry in the window directory,
// and listens on the process's datagram socket for posts, broadcasts and restore
// requests from other processes (a thread of its own hands them to the windows).
#include "platform/desktop/DesktopFolder.h"

#include <map>
#include <mutex>
#include <thread>

namespace plat::desktop {

class DesktopSession {
public:
    static DesktopSession& instance();

    bool add(WindowHandle window, std::string_view title, WindowState state, std::function<void()> restore,
             std::string* error);
    void remove(WindowHandle window);
    bool change(WindowHandle window, const std::function<void(TopLevelWindow&)>& edit, bool raise);

    // What arrives from other processes, or from this one.
    bool deliverBroadcast(uint32_t message, WParam wParam, LParam lParam);
    bool deliverPost(uint32_t window, uint32_t message, WParam wParam, LParam lParam);
    bool deliverRestore(uint32_t window);

    void stop();   // at exit: the listener ends and the entry goes

private:
    struct Local {
        TopLevelWindow info;
        std::function<void()> restore;
    };
    DesktopSession() = default;
    bool startLocked(std::unique_lock<std::mutex>& lock, std::string* error);
    void stopLocked(std::unique_lock<std::mutex>& lock);
    bool rewriteEntryLocked(std::string* error);
    void listen();
    void handle(const Datagram& d);

    std::mutex mutex_;
    std::unique_ptr<DesktopFolder> folder_;
    std::map<uint32_t, Local> windows_;
    uint64_t startTime_ = 0;
    int socket_ = -1;
    int wakeFd_ = -1;
    std::thread listener_;
};

}  // namespace plat::desktop
