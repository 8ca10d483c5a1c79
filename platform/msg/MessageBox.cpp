#include "platform/msg/MessageBox.h"

#include "platform/msg/UiThread.h"
#include "platform/msg/WindowTable.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <cstdio>
#include <mutex>
#include <vector>

namespace plat {
namespace {

std::mutex responderMutex;
MessageBoxResponder responder;

MessageBoxResponder currentResponder() {
    std::lock_guard lock(responderMutex);
    return responder;
}

// On the UI thread: the window of the owner's widget, if the owner lives here.
QWidget* ownerWidget(WindowHandle owner) {
    std::shared_ptr<detail::ThreadInbox> inbox;
    QObject* o = nullptr;
    {
        std::lock_guard lock(detail::tableMutex());
        o = detail::receiverLocked(owner.id(), &inbox);
    }
    if (!o || inbox != detail::currentInbox()) return nullptr;
    for (; o; o = o->parent()) {
        if (auto* w = qobject_cast<QWidget*>(o)) return w->window();
    }
    return nullptr;
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

std::vector<std::pair<QMessageBox::StandardButton, int>> buttonsOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::OkCancel: return {{QMessageBox::Ok, kAnswerOk}, {QMessageBox::Cancel, kAnswerCancel}};
    case MessageButtons::YesNo: return {{QMessageBox::Yes, kAnswerYes}, {QMessageBox::No, kAnswerNo}};
    case MessageButtons::YesNoCancel:
        return {{QMessageBox::Yes, kAnswerYes}, {QMessageBox::No, kAnswerNo}, {QMessageBox::Cancel, kAnswerCancel}};
    case MessageButtons::Ok: break;
    }
    return {{QMessageBox::Ok, kAnswerOk}};
}

int showOnUiThread(const MessageBoxRequest& request) {
    if (MessageBoxResponder answer = currentResponder()) return answer(request);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return 0;
    QMessageBox box(qtIcon(request.icon), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), QMessageBox::NoButton, ownerWidget(request.owner));
    auto buttons = buttonsOf(request.buttons);
    for (const auto& [button, answer] : buttons) box.addButton(button);
    size_t def = request.defaultButton >= 1 ? static_cast<size_t>(request.defaultButton - 1) : 0;
    if (def < buttons.size()) box.setDefaultButton(buttons[def].first);
    if (request.topmost) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    // Nobody sees a box on a screen-less platform: an unattended run says on its
    // standard error what it is waiting for.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        std::fprintf(stderr, "message box: %s: %s\n", request.caption.c_str(), request.text.c_str());
    const int chosen = box.exec();
    for (const auto& [button, answer] : buttons) {
        if (chosen == button) return answer;
    }
    // Closed without a button: what Escape means for these buttons.
    return request.buttons == MessageButtons::YesNo ? kAnswerNo
           : request.buttons == MessageButtons::Ok  ? kAnswerOk
                                                    : kAnswerCancel;
}

}  // namespace

int showMessageBox(const MessageBoxRequest& request) {
    return runModalOnUiThread([&] { return showOnUiThread(request); }, 0);
}

void setMessageBoxResponder(MessageBoxResponder r) {
    std::lock_guard lock(responderMutex);
    responder = std::move(r);
}

}  // namespace plat
