#include "Skylet/ErrorBoxWindow.h"

#include "Skylet/ErrorBox.h"
#include "platform/desktop/WidgetTracking.h"
#include "platform/msg/MessageReceiver.h"
#include "platform/msg/Messages.h"

#include <QApplication>
#include <QMessageBox>

#include <memory>

namespace skylet {

int RunErrorBoxWindow(int argc, char** argv, const std::string& text) {
    if (!HasDesktopDisplay()) return 1;
    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Error"), QString::fromStdString(text),
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    auto receiver = std::make_unique<plat::MessageReceiver>(
        [&box](uint32_t message, plat::WParam, plat::LParam) -> plat::LResult {
            if (message == plat::kMsgClose) box.done(QMessageBox::Cancel);
            return 0;
        },
        &box);
    plat::trackTopLevelWidget(&box, receiver->handle());
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();   // the answer is not used
    return 0;
}

}  // namespace skylet
