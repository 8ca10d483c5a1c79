#include "QtApp.h"

#include <QMetaObject>

#include <cstdlib>

namespace plat::testing {

QApplication& testApp() {
    static int argc = 1;
    static char name[] = "msg_tests";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);   // headless, also when run by hand
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

LoopThread::LoopThread(MessageHandler handler, bool pumping) {
    testApp();
    thread_ = std::thread([this, handler = std::move(handler), pumping]() mutable { body(std::move(handler), pumping); });
    waitFor(ready_, kInfinite);
}

void LoopThread::body(MessageHandler handler, bool pumping) {
    QEventLoop loop;
    receiver_ = new MessageReceiver(std::move(handler));
    handle_ = receiver_->handle();
    loop_ = &loop;
    ready_.set();
    if (!pumping) waitFor(go_, kInfinite);
    loop.exec();
    delete receiver_;
}

void LoopThread::release() { go_.set(); }

void LoopThread::destroyReceiver() {
    QMetaObject::invokeMethod(
        loop_,
        [this] {
            delete receiver_;
            receiver_ = nullptr;
        },
        Qt::BlockingQueuedConnection);
}

void LoopThread::stop() {
    if (!thread_.joinable()) return;
    go_.set();
    QMetaObject::invokeMethod(loop_, "quit", Qt::QueuedConnection);
    thread_.join();
}

LoopThread::~LoopThread() { stop(); }

}  // namespace plat::testing

