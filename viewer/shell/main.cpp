// Lumora, the viewer: start-up, the hidden main frame's event loop, the end.
#include "viewer/shell/LumoraApp.h"

#include "platform/msg/DeviceNotifier.h"
#include "platform/msg/SessionEnd.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication qtApp(argc, argv);
    std::string error;
    if (!plat::installSessionEndHandling(&error))
        std::fprintf(stderr, "Lumora: %s\n", error.c_str());

    AppEnvironment environment;
    for (int i = 1; i < argc; ++i)
        environment.args.emplace_back(argv[i]);
    CLumoraApp app(std::move(environment));
    if (!app.InitInstance())
        return app.ExitInstance();
    // Volumes coming and going reach the main frame as device notifications.
    plat::DeviceNotifier devices;
    if (!devices.start())
        std::fprintf(stderr, "Lumora: device notifications are not available\n");
    const int rc = QApplication::exec();
    devices.stop();
    app.ExitInstance();
    return rc;
}
