// Wakely, the device monitor: runs hidden in the background of the session and
// starts or tells the viewer when a camera or a camera card arrives.
#include "monitor/WakelyApp.h"
#include "viewer/shell/CommandLine.h"

#include "platform/msg/SessionEnd.h"

#include <QCoreApplication>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Started for embedding or automation, the monitor would only offer its class
    // objects; nothing on this system calls them, so it ends as the viewer does.
    const ShellCommand command = ParseShellCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (command.embedding || command.automation)
        return 0;
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
