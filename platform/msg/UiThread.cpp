#include "platform/msg/UiThread.h"

#include "platform/msg/WindowTable.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace plat {

bool isUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool runOnUiThread(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    if (isUiThread()) {
        work();
        return true;
    }
    auto call = std::make_shared<detail::Call>();
    call->waiter = detail::currentInbox();
    call->work = [&work](MessageReceiver*) { work(); };   // runs only while we wait
    auto ui = detail::uiInbox();
    if (!ui) return false;
    {
        std::lock_guard lock(detail::tableMutex());
        ui->pending.push_back(call);
        ui->wake.notify_all();
    }
    QMetaObject::invokeMethod(app, [] { detail::drainCurrentInbox(); }, Qt::QueuedConnection);
    return detail::waitForCall(call, 0xFFFFFFFFu);
}

int runModalOnUiThread(const std::function<int()>& dialog, int failure) {
    int answer = failure;
    if (!runOnUiThread([&] { answer = dialog(); })) return failure;
    return answer;
}

}  // namespace plat
