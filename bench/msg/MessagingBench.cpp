#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "platform/thread/Event.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <cstdlib>
#include <thread>

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "msg_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance = new QCoreApplication(argc, argv);
    return *instance;
}

// A receiver on its own thread with a running loop.
class Owner {
public:
    Owner() {
        thread_ = std::thread([this] {
            QEventLoop loop;
            plat::MessageReceiver receiver([](uint32_t, plat::WParam w, plat::LParam) -> plat::LResult { return static_cast<plat::LResult>(w); });
            handle_ = receiver.handle();
            loop_ = &loop;
            ready_.set();
            loop.exec();
        });
        plat::waitFor(ready_, plat::kInfinite);
    }
    ~Owner() {
        QMetaObject::invokeMethod(loop_, "quit", Qt::QueuedConnection);
        thread_.join();
    }
    plat::WindowHandle handle() const { return handle_; }

private:
    std::thread thread_;
    plat::WindowHandle handle_;
    QEventLoop* loop_ = nullptr;
    plat::Event ready_ = plat::Event::create(plat::Event::Reset::Manual, false);
};

void BM_CrossThreadSend(benchmark::State& state) {
    app();
    Owner owner;
    for (auto _ : state) benchmark::DoNotOptimize(plat::sendMessage(owner.handle(), plat::kMsgUser, 1, 0));
}
BENCHMARK(BM_CrossThreadSend);

void BM_PostAndHandle(benchmark::State& state) {
    app();
    int handled = 0;
    plat::MessageReceiver receiver([&](uint32_t, plat::WParam, plat::LParam) -> plat::LResult { return ++handled; });
    for (auto _ : state) {
        plat::postMessage(receiver.handle(), plat::kMsgUser, 0, 0);
        QCoreApplication::processEvents();
    }
    benchmark::DoNotOptimize(handled);
}
BENCHMARK(BM_PostAndHandle);

}  // namespace

BENCHMARK_MAIN();
