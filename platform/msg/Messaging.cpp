#include "platform/msg/Messaging.h"

#include "platform/msg/WindowTable.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

namespace plat {
namespace {

bool postEventTo(WindowHandle window, QEvent* event) {
    std::lock_guard lock(detail::tableMutex());
    MessageReceiver* receiver = detail::receiverLocked(window.id(), nullptr);
    if (!receiver) return false;
    // Posted under the table lock: the receiver cannot be destroyed meanwhile, and
    // whatever is queued when it is destroyed goes with it.
    QCoreApplication::postEvent(receiver, event);
    return true;
}

// The window's receiver when it lives on the calling thread (so it stays alive
// until the caller returns to its loop), else null.
MessageReceiver* receiverOnThisThread(WindowHandle window) {
    auto mine = detail::currentInbox();
    std::shared_ptr<detail::ThreadInbox> theirs;
    std::lock_guard lock(detail::tableMutex());
    MessageReceiver* receiver = detail::receiverLocked(window.id(), &theirs);
    return theirs == mine ? receiver : nullptr;
}

bool postMessageEvent(WindowHandle window, detail::MessageEvent* event) {
    if (postEventTo(window, event)) return true;
    delete event;   // runs its dropped() callback
    return false;
}

bool sendImpl(WindowHandle window, uint32_t message, WParam wParam, LParam lParam, uint32_t timeoutMs,
              LResult* result) {
    auto mine = detail::currentInbox();
    std::shared_ptr<detail::ThreadInbox> theirs;
    std::unique_lock lock(detail::tableMutex());
    MessageReceiver* receiver = detail::receiverLocked(window.id(), &theirs);
    if (!receiver) return false;
    if (theirs == mine) {
        lock.unlock();
        LResult r = receiver->dispatch(message, wParam, lParam);
        if (result) *result = r;
        return true;
    }
    auto call = std::make_shared<detail::Call>();
    call->target = window.id();
    call->waiter = mine;
    // Runs only while this sender still waits (a cancelled call never runs).
    call->work = [message, wParam, lParam, result](MessageReceiver* r) {
        LResult value = r->dispatch(message, wParam, lParam);
        if (result) *result = value;
    };
    theirs->pending.push_back(call);
    theirs->wake.notify_all();
    QCoreApplication::postEvent(receiver, new detail::WakeEvent);
    lock.unlock();
    return detail::waitForCall(call, timeoutMs);
}

}  // namespace

bool isWindow(WindowHandle window) {
    if (!window) return false;
    std::lock_guard lock(detail::tableMutex());
    return detail::receiverLocked(window.id(), nullptr) != nullptr;
}

bool waitForWindow(WindowHandle window, const std::atomic<bool>* abandon, uint32_t limitMs) {
    constexpr uint32_t kStepMs = 200;
    for (uint32_t waited = 0; !isWindow(window); waited += kStepMs) {
        if ((abandon && abandon->load()) || (limitMs != 0 && waited >= limitMs)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    return !(abandon && abandon->load());
}

bool postMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    return postMessageEvent(window, new detail::MessageEvent(message, wParam, lParam, nullptr, {}));
}

bool postMessageWithPayload(WindowHandle window, uint32_t message, WParam wParam, std::shared_ptr<void> payload) {
    LParam lParam = reinterpret_cast<LParam>(payload.get());
    return postMessageEvent(window, new detail::MessageEvent(message, wParam, lParam, std::move(payload), {}));
}

bool postMessageOwned(WindowHandle window, uint32_t message, WParam wParam, LParam lParam,
                      std::function<void()> dropped) {
    return postMessageEvent(window, new detail::MessageEvent(message, wParam, lParam, nullptr, std::move(dropped)));
}

LResult sendMessage(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    LResult result = 0;
    if (!sendImpl(window, message, wParam, lParam, kSendNoTimeout, &result)) return 0;
    return result;
}

bool sendMessageTimeout(WindowHandle window, uint32_t message, WParam wParam, LParam lParam, uint32_t timeoutMs,
                        LResult* result) {
    LResult value = 0;
    bool ok = sendImpl(window, message, wParam, lParam, timeoutMs, &value);
    if (ok && result) *result = value;
    return ok;
}

bool postToWindowThread(WindowHandle window, std::function<void(MessageReceiver&)> work) {
    auto* event = new detail::WorkEvent(std::move(work));
    if (postEventTo(window, event)) return true;
    delete event;
    return false;
}

bool setTimer(WindowHandle window, uint32_t timerId, uint32_t periodMs, TimerCallback callback) {
    if (MessageReceiver* own = receiverOnThisThread(window)) {
        own->startTimerById(timerId, periodMs, std::move(callback));
        return true;
    }
    return postToWindowThread(window, [timerId, periodMs, callback = std::move(callback)](MessageReceiver& r) {
        r.startTimerById(timerId, periodMs, callback);
    });
}

bool killTimer(WindowHandle window, uint32_t timerId) {
    if (MessageReceiver* own = receiverOnThisThread(window)) return own->stopTimerById(timerId);
    return postToWindowThread(window, [timerId](MessageReceiver& r) { r.stopTimerById(timerId); });
}

}  // namespace plat
