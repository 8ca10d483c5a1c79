// Caravel, the upload program: takes the pictures the upload server queued, converts them and
// sends them to the album service.
#include "Caravel/src/ui/UploaderApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // the window's Exit decides
    caravel::CUploaderApp uploader;
    if (!uploader.InitInstance())
        return 0;
    const int code = QApplication::exec();
    uploader.ExitInstance();
    return code;
}
