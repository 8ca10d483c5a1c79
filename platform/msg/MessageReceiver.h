#pragma once
// A receiver of messages: a QObject that lives on the thread that made it and gets
// a window handle for its life. Messages posted or sent to the handle come back
// to it, on its own thread's event loop, as (message, wParam, lParam) for its
// handler. Make it on the thread that owns the window (a widget's member or child).
#include "platform/msg/WindowHandle.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>

namespace plat {

using MessageHandler = std::function<LResult(uint32_t message, WParam wParam, LParam lParam)>;
// A timer's own procedure, called instead of a timer message.
using TimerCallback = std::function<void(WindowHandle window, uint32_t timerId)>;

class MessageReceiver : public QObject {
public:
    explicit MessageReceiver(MessageHandler handler, QObject* parent = nullptr);
    ~MessageReceiver() override;
    MessageReceiver(const MessageReceiver&) = delete;
    MessageReceiver& operator=(const MessageReceiver&) = delete;

    WindowHandle handle() const { return handle_; }
    void setHandler(MessageHandler handler) { handler_ = std::move(handler); }

    // Calls the handler now, on this thread.
    LResult dispatch(uint32_t message, WParam wParam, LParam lParam);

    // Timers by id, on this receiver's thread only (see plat::setTimer for any thread).
    // Setting an id again replaces its period and procedure.
    void startTimerById(uint32_t timerId, uint32_t periodMs, TimerCallback callback);
    bool stopTimerById(uint32_t timerId);

protected:
    bool event(QEvent* e) override;

private:
    struct Timer {
        int qtId = 0;
        TimerCallback callback;
    };
    void fireTimer(int qtId);

    MessageHandler handler_;
    WindowHandle handle_;
    std::map<uint32_t, Timer> timers_;
};

}  // namespace plat
