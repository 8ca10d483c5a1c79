#pragma once
// Posting and sending messages to window handles, from any thread.
//
// post: never blocks; the message is queued for the window's thread. A window that
// is gone (or goes before its thread takes the message) never sees it.
// send: on the window's own thread a direct call; from another thread the caller
// blocks until the window's thread has handled it, so pointer parameters need to
// live only for the call. While it waits, the caller still handles what other
// threads send to its own windows (two threads sending to each other do not lock).
#include "platform/msg/MessageReceiver.h"
#include "platform/msg/WindowHandle.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace plat {

inline constexpr uint32_t kSendNoTimeout = 0xFFFFFFFFu;

bool isWindow(WindowHandle window);

// A worker's wait for the window it will report to (a dialog being made on the
// user-interface thread): 200 ms at a time until the window exists, then 200 ms
// more. False when *abandon (may be null) becomes true first, or when limitMs
// (0: no limit) has passed.
bool waitForWindow(WindowHandle window, const std::atomic<bool>* abandon, uint32_t limitMs = 0);

// False when the window is gone (the message is dropped).
bool postMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// A post whose lParam points into payload: the payload lives until the message was
// handled, or dropped because the window went.
bool postMessageWithPayload(WindowHandle window, uint32_t message, WParam wParam,
                            std::shared_ptr<void> payload);

// A post that hands the receiver something to free: when the message cannot be
// delivered (now, or because the window goes first), dropped() is called instead,
// on whichever thread finds out.
bool postMessageOwned(WindowHandle window, uint32_t message, WParam wParam, LParam lParam,
                      std::function<void()> dropped);

// The handler's result; 0 when the window is gone.
LResult sendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// A send with a way out: false when the window is gone, or when the time ran out
// before its thread started on the message (a message being handled is waited for,
// as its pointer parameters must outlive the handler).
bool sendMessageTimeout(WindowHandle window, uint32_t message, WParam wParam, LParam lParam,
                        uint32_t timeoutMs, LResult* result);

// Runs work on the window's thread with its receiver, later (queued like a post).
// False when the window is gone; the work then never runs.
bool postToWindowThread(WindowHandle window, std::function<void(MessageReceiver&)> work);

// Timers of a window, from any thread (applied on the window's thread). Without a
// callback each period posts kMsgTimer (wParam = timerId) to the window.
// A period of 0 is taken as 10 ms. False when the window is gone.
bool setTimer(WindowHandle window, uint32_t timerId, uint32_t periodMs, TimerCallback callback = {});
bool killTimer(WindowHandle window, uint32_t timerId);

}  // namespace plat
