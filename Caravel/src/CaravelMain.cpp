// Caravel, the upload program: takes the pictures the upload server queued, converts them and
// sends them to the album service.
#include "Caravel/src/ui/UploaderApp.h"

#include "platform/thread/PictureHeap.h"

#include <QApplication>

int main(int argc, char** argv)
{
    // a decoded picture's large blocks serve the next picture (see PictureHeap.h)
    plat::keepPictureMemoryInHeap();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // the window's Exit decides
    caravel::CUploaderApp uploader;
    if (!uploader.InitInstance())
        return 0;
    const int code = QApplication::exec();
    uploader.ExitInstance();
    return code;
}
