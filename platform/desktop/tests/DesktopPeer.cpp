// The other process of the cross-process desktop tests: a hidden top-level window
// that writes what reaches it to a file and ends once it got a registered message
// and a restore request (or after 30 s).
//   desktop_peer <title> <message name> <output file>
#include "platform/desktop/Desktop.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/msg/MessageReceiver.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const std::string output = argv[3];
    auto note = [&](const std::string& line) {
        std::ofstream(output, std::ios::app) << line << '\n' << std::flush;
    };
    std::string error;
    const uint32_t number = plat::registerMessage(argv[2], &error);
    if (number == 0) {
        note("error " + error);
        return 3;
    }
    bool gotMessage = false, gotRestore = false;
    auto maybeQuit = [&] {
        if (gotMessage && gotRestore) QCoreApplication::quit();
    };
    plat::MessageReceiver frame([&](uint32_t m, plat::WParam w, plat::LParam l) -> plat::LResult {
        if (m == number) {
            note("message " + std::to_string(w) + " " + std::to_string(l));
            gotMessage = true;
            maybeQuit();
        }
        return 0;
    });
    if (!plat::registerTopLevelWindow(frame.handle(), argv[1], plat::WindowState::Hidden,
                                      [&] {
                                          note("restored");
                                          gotRestore = true;
                                          maybeQuit();
                                      },
                                      &error)) {
        note("error " + error);
        return 4;
    }
    QTimer::singleShot(30000, &app, [] { QCoreApplication::exit(5); });
    return app.exec();
}
