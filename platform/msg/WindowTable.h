#pragma once
// Internal to the msg module: the table of live receivers, the per-thread inboxes
// of blocking calls (sends, and work run on the UI thread), and the event types.
#include "platform/msg/MessageReceiver.h"

#include <QEvent>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace plat::detail {

struct ThreadInbox;

// A blocking call handed to another thread. Guarded by tableMutex().
struct Call {
    enum class State { Pending, Running, Done, Failed, Cancelled };
    uint32_t target = 0;   // window id, or 0 for work on the thread itself
    std::function<void(MessageReceiver*)> work;
    State state = State::Pending;
    std::shared_ptr<ThreadInbox> waiter;   // woken when the call ends
};

struct ThreadInbox {
    std::condition_variable wake;   // new call for this thread, or a call of this thread ended
    std::deque<std::shared_ptr<Call>> pending;
};

std::mutex& tableMutex();
std::shared_ptr<ThreadInbox> currentInbox();
std::shared_ptr<ThreadInbox> uiInbox();

// Under tableMutex(): the live receiver of a window id (and its thread's inbox), or null.
MessageReceiver* receiverLocked(uint32_t id, std::shared_ptr<ThreadInbox>* inbox);

WindowHandle addReceiver(MessageReceiver* receiver);
void removeReceiver(WindowHandle handle);

// Runs every call waiting for this thread.
void drainCurrentInbox();
// Blocks until the call ended (true when it ran), serving this thread's own
// inbox meanwhile. A call not yet started when the time runs out is cancelled.
bool waitForCall(const std::shared_ptr<Call>& call, uint32_t timeoutMs);

QEvent::Type messageEventType();
QEvent::Type wakeEventType();
QEvent::Type workEventType();

class MessageEvent : public QEvent {
public:
    MessageEvent(uint32_t m, WParam w, LParam l, std::shared_ptr<void> payload, std::function<void()> dropped)
        : QEvent(messageEventType()), message(m), wParam(w), lParam(l), payload(std::move(payload)),
          dropped(std::move(dropped)) {}
    ~MessageEvent() override {
        if (!delivered && dropped) dropped();
    }
    uint32_t message;
    WParam wParam;
    LParam lParam;
    std::shared_ptr<void> payload;
    std::function<void()> dropped;
    bool delivered = false;
};

class WakeEvent : public QEvent {
public:
    WakeEvent() : QEvent(wakeEventType()) {}
};

class WorkEvent : public QEvent {
public:
    explicit WorkEvent(std::function<void(MessageReceiver&)> w) : QEvent(workEventType()), work(std::move(w)) {}
    std::function<void(MessageReceiver&)> work;
};

}  // namespace plat::detail
