#pragma once
// Test helpers: the one widget application of a test program, and a thread that
// owns a receiver and runs an event loop.
#include "platform/msg/MessageReceiver.h"
#include "platform/thread/Event.h"

#include <QApplication>
#include <QEventLoop>

#include <memory>
#include <thread>

namespace plat::testing {

QApplication& testApp();

class LoopThread {
public:
    // pumping = false: the thread makes its receiver and then blocks (no loop)
    // until release(), to play a receiver that does not answer.
    explicit LoopThread(MessageHandler handler, bool pumping = true);
    ~LoopThread();

    WindowHandle handle() const { return handle_; }
    void release();            // lets a blocked thread go on to its loop
    void destroyReceiver();    // on the thread, and waits for it
    void stop();

private:
    void body(MessageHandler handler, bool pumping);
    std::thread thread_;
    WindowHandle handle_;
    Event ready_ = Event::create(Event::Reset::Manual, false);
    Event go_ = Event::create(Event::Reset::Manual, false);
    QEventLoop* loop_ = nullptr;
    MessageReceiver* receiver_ = nullptr;
};

}  // namespace plat::testing
