// Lumora, the viewer: start-up, the hidden main frame's event loop, the end.
#include "viewer/shell/LumoraApp.h"

#include "platform/msg/DeviceNotifier.h"
#include "platform/msg/SessionEnd.h"
#include "platform/thread/PictureHeap.h"
#include "viewer/shell/ui/PropDatabase.h"
#include "viewer/sources/UdisksFormatter.h"
#include "viewer/transfer/CatalogLink.h"
#include "viewer/sources/camera/CameraPromptBox.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // a decoded picture's large blocks serve the next picture (see PictureHeap.h)
    plat::keepPictureMemoryInHeap();
    QApplication qtApp(argc, argv);
    // The card source formats through the disk service; camera modules ask
    // their questions in message boxes over our windows.
    InstallUdisksFormatter();
    InstallCameraPromptBox();
    // A catalog file that does not exist yet is made by the catalog program.
    CPropDatabase::SetCatalogMaker([](const std::string& program, const std::string& catalog) {
        return CCatalogLink().CreateCatalog(program, catalog);
    });
    AppEnvironment environment;
    for (int i = 1; i < argc; ++i)
        environment.args.emplace_back(argv[i]);
    CLumoraApp app(std::move(environment));
    if (!app.InitInstance())
        return app.ExitInstance();
    // Until here a signal simply ends the program (a start-up box may be up and
    // nothing needs closing); from now on it ends the session through the frame.
    std::string error;
    if (!plat::installSessionEndHandling(&error))
        std::fprintf(stderr, "Lumora: %s\n", error.c_str());
    // Volumes coming and going reach the main frame as device notifications.
    plat::DeviceNotifier devices;
    if (!devices.start())
        std::fprintf(stderr, "Lumora: device notifications are not available\n");
    const int rc = QApplication::exec();
    devices.stop();
    app.ExitInstance();
    return rc;
}
