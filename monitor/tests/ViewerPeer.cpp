// A stand-in for the viewer in the monitor's process tests: it lists a hidden
// main window under the viewer's title and writes to $VOREL_PEER_LOG how it was
// started and each device index the monitor broadcasts to it.
#include "platform/desktop/Desktop.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/msg/MessageReceiver.h"
#include "platform/msg/SessionEnd.h"

#include <QCoreApplication>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

void Log(const std::string& line)
{
    if (const char* path = std::getenv("VOREL_PEER_LOG"))
        std::ofstream(path, std::ios::app) << line << std::endl;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    plat::installSessionEndHandling();
    std::string args = "start";
    for (int i = 1; i < argc; ++i)
        args += std::string(" ") + argv[i];
    Log(args);
    const uint32_t message = plat::registerMessage("WakelyToLumoraMessageString");
    plat::MessageReceiver frame([message](uint32_t m, plat::WParam, plat::LParam lParam) -> plat::LResult {
        if (message != 0 && m == message)
            Log("index " + std::to_string(lParam));
        return 0;
    });
    if (!plat::registerTopLevelWindow(frame.handle(), "Lumora Target Supervisor", plat::WindowState::Hidden, [] {}))
        return 2;
    const int rc = QCoreApplication::exec();
    plat::unregisterTopLevelWindow(frame.handle());
    return rc;
}
