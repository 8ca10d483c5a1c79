#pragma once
// One QApplication for the whole test program (offscreen, set by the test runner).
#include <QApplication>

namespace shelltest {

inline QApplication* application() {
    static int argc = 1;
    static char name[] = "shell_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

}  // namespace shelltest
