// Wakely, the device monitor: runs hidden in the background of the session and
// starts or tells the viewer when a camera or a camera card arrives.
#include "monitor/WakelyApp.h"

#include "platform/msg/SessionEnd.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication qtApp(argc, argv);
    // Nothing is ever shown: every failure ends the program quietly.
    if (!plat::installSessionEndHandling())
        return 1;
    CWakelyApp app;
    if (!app.InitInstance()) {
        app.ExitInstance();
        return 1;
    }
    const int rc = QCoreApplication::exec();
    app.ExitInstance();
    return rc;
}
