#pragma once
// The desktop shared by every process of the suite under one system root: a window
// directory (run/desktop/) where each process lists its top-level windows, hidden
// ones included, with title and state, and one datagram socket per process through
// which other processes post to those windows. Entries of processes that died are
// removed when found.
#include "platform/msg/WindowHandle.h"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

enum class WindowState : uint8_t { Hidden = 0, Normal = 1, Minimized = 2, Maximized = 3 };

struct TopLevelWindow {
    pid_t pid = 0;
    WindowHandle window;   // valid in process pid only
    std::string title;
    WindowState state = WindowState::Hidden;
    uint64_t zOrder = 0;   // larger = more recently raised
};

enum class TitleCase { Sensitive, Insensitive };

// Lists this process's window in the directory (and starts listening for other
// processes). restore (optional) is run on the window's thread when another process
// asks to restore and raise it; without one, the window of the receiver's widget
// ancestor is shown normal and raised. False with a reason when run/ is missing,
// full or not ours.
bool registerTopLevelWindow(WindowHandle window, std::string_view title, WindowState state,
                            std::function<void()> restore = {}, std::string* error = nullptr);
void unregisterTopLevelWindow(WindowHandle window);
bool setTopLevelTitle(WindowHandle window, std::string_view title);
bool setTopLevelState(WindowHandle window, WindowState state);
// Marks the window as the most recent one (activation).
bool bringTopLevelToFront(WindowHandle window);

// Every top-level window of every live process, most recently raised first.
bool listTopLevelWindows(std::vector<TopLevelWindow>* windows, std::string* error = nullptr);

// The most recent window whose title begins with prefix (bytes compared as they
// are, or without regard to case). An empty prefix matches nothing.
std::optional<TopLevelWindow> findTopLevelByTitlePrefix(std::string_view prefix, TitleCase mode);
std::optional<TopLevelWindow> findTopLevelByTitle(std::string_view title);

// Asks the window's process to restore and raise it.
bool restoreAndRaise(const TopLevelWindow& window, std::string* error = nullptr);

// Posts to one window of any process of the desktop.
bool postToTopLevel(const TopLevelWindow& window, uint32_t message, WParam wParam, LParam lParam);

// Posts to every top-level window of every registered process, hidden ones
// included. Succeeds when the message was handed to every live receiver, also when
// there is none; fails (so that the caller retries) when a live receiver could not
// take it.
bool broadcastMessage(uint32_t message, WParam wParam, LParam lParam, std::string* error = nullptr);

}  // namespace plat
