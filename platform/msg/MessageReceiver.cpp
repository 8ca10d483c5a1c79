#include "platform/msg/MessageReceiver.h"

#include "platform/msg/Messages.h"
#include "platform/msg/WindowTable.h"

#include <QTimerEvent>

namespace plat {

MessageReceiver::MessageReceiver(MessageHandler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), handle_(detail::addReceiver(this)) {}

MessageReceiver::~MessageReceiver() {
    // Off the table first: from here on posts fail and waiting senders are released;
    // what was queued already is discarded with this object.
    detail::removeReceiver(handle_);
    for (auto& [id, timer] : timers_) killTimer(timer.qtId);
}

LResult MessageReceiver::dispatch(uint32_t message, WParam wParam, LParam lParam) {
    return handler_ ? handler_(message, wParam, lParam) : 0;
}

void MessageReceiver::startTimerById(uint32_t timerId, uint32_t periodMs, TimerCallback callback) {
    stopTimerById(timerId);
    int qtId = QObject::startTimer(static_cast<int>(periodMs == 0 ? 10 : std::min<uint32_t>(periodMs, 0x7FFFFFFF)));
    if (qtId != 0) timers_[timerId] = Timer{qtId, std::move(callback)};
}

bool MessageReceiver::stopTimerById(uint32_t timerId) {
    auto it = timers_.find(timerId);
    if (it == timers_.end()) return false;
    QObject::killTimer(it->second.qtId);
    timers_.erase(it);
    return true;
}

void MessageReceiver::fireTimer(int qtId) {
    for (auto& [id, timer] : timers_) {
        if (timer.qtId != qtId) continue;
        uint32_t timerId = id;
        TimerCallback callback = timer.callback;   // the procedure may kill its own timer
        if (callback) callback(handle_, timerId);
        else dispatch(kMsgTimer, timerId, 0);
        return;
    }
}

bool MessageReceiver::event(QEvent* e) {
    const QEvent::Type type = e->type();
    if (type == detail::messageEventType()) {
        auto* m = static_cast<detail::MessageEvent*>(e);
        m->delivered = true;
        dispatch(m->message, m->wParam, m->lParam);
        return true;
    }
    if (type == detail::wakeEventType()) {
        detail::drainCurrentInbox();
        return true;
    }
    if (type == detail::workEventType()) {
        static_cast<detail::WorkEvent*>(e)->work(*this);
        return true;
    }
    if (type == QEvent::Timer) {
        fireTimer(static_cast<QTimerEvent*>(e)->timerId());
        return true;
    }
    return QObject::event(e);
}

}  // namespace plat
